#pragma once
// The advanced payoff dialog: a branch payoff as a plain value, as benefit minus cost, or read
// from a workbook. The way it was made is kept in the node's payoff source through its prefix
// ("Income-Cost: 1000:300", "Import: Excel(...)"), so that the dialog opens the same way again.

#include "app/forms/ImportExternal.h"

#include <QDialog>
#include <QString>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TDecTree;
class TDecTreeNode;

struct TEditPayoffResult {
    bool Accepted = false;
    qint64 Payoff = 0; // money, × 10000
    QString Source;
};

class TEditPayoffForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditPayoffForm(QWidget* owner = nullptr);

    int Digits = 0;
    // The import dialog on the current reference; its default runs ExecuteImportExternal.
    std::function<TImportExternalResult(const QString& formula, int digits)> ChooseImport;

    // Fills the controls from a stored source and payoff.
    void Fill(const QString& source, qint64 payoff);
    // The payoff and source of the checked mode, for OK; what was filled when nothing was edited.
    TEditPayoffResult Result() const;

    void PayoffRadioButtonModeClick();
    void NumberEditChange(QObject* sender);
    void ImportChooseButtonClick();
    void AdvancedButtonClick();

    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QGroupBox* PayoffModeGroupBox = nullptr;
    QLineEdit* DirectEdit = nullptr;
    QLabel* DirectPanel = nullptr;
    QLineEdit* PayoffEdit = nullptr;
    QLineEdit* CostEdit = nullptr;
    QLabel* DiffResultPanel = nullptr;
    QLineEdit* ImportEdit = nullptr;
    QPushButton* ImportChooseButton = nullptr;
    QLabel* ImportResultPanel = nullptr;
    QLineEdit* AdvancedEdit = nullptr;
    QPushButton* AdvancedButton = nullptr;
    QLabel* AdvancedResultPanel = nullptr;
    QLabel* MinusPanel = nullptr;
    QRadioButton* ValueRadioButton = nullptr;
    QRadioButton* BenefitCostRadioButton = nullptr;
    QRadioButton* ImportRadioButton = nullptr;
    QRadioButton* AdvancedRadioButton = nullptr;

private:
    QString Fixed(qint64 money) const;
    QString Grouped(qint64 money) const;
    void SetResultPanel(QLabel* panel, bool valid, qint64 money);
    // Fixed-form benefit and cost from a value: a positive one is the benefit, else the cost.
    void SplitIntoBenefitAndCost(qint64 money);
    bool FillBenefitAndCost(const QString& data, qint64 payoff);
    bool FUpdating = false;
    // What Fill was given, and whether the user has changed anything since.
    QString FFilledSource;
    qint64 FFilledPayoff = 0;
    bool FEdited = false;
};

// Reads a money amount typed in the user's locale; false for text that is not a number or
// does not fit the money range.
bool ReadMoney(const QString& text, qint64& money);

// Runs the dialog on a payoff source and payoff with Digits decimals. On Cancel only
// result.Accepted is set (false).
void EditPayoffAdvanced(const QString& source, int digits, TEditPayoffResult& result, qint64 payoff,
                        QWidget* owner = nullptr);
// The main window's advanced payoff edit of a node: the dialog, then on OK one undo step that
// sets the node's payoff and source, and a recalculation.
void EditNodePayoffAdvanced(TDecTree* tree, TDecTreeNode* node, QWidget* owner = nullptr);

// How EditPayoffAdvanced shows the form: QDialog::exec unless a test drives it. Answers the
// runner installed before; an empty runner brings exec back.
using TEditPayoffRunner = std::function<int(TEditPayoffForm& form)>;
TEditPayoffRunner SetEditPayoffRunner(TEditPayoffRunner runner);
