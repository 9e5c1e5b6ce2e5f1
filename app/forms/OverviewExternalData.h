#pragma once
// The overview of the document's imported payoffs: every one read again from its workbook and
// shown next to the stored value; OK writes the values read into the nodes as one undo step.

#include <QDialog>
#include <QString>
#include <functional>

class TBottomLine;
class TWhiteTop;
class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class TDecTree;
class TDecTreeNode;

class TOverviewExternalDataForm : public QDialog {
    Q_OBJECT
public:
    explicit TOverviewExternalDataForm(QWidget* owner = nullptr);

    TDecTree* Tree = nullptr; // not owned
    // The document's path; a workbook not at its stored path is looked for in its folder.
    QString FileName;

    // Reads every imported payoff again and lists it, depth first.
    void RefreshExternalData();
    // Writes every readable row whose value differs into its node (one undo step before the
    // first; none when nothing differs), then recalculates.
    void ApplyExternalData();

    TWhiteTop* WhiteTop = nullptr;
    QTreeWidget* OverviewListView = nullptr;
    QGroupBox* SummaryGroupBox = nullptr;
    QLabel* SummaryLinesLabel = nullptr;
    QLabel* SummaryChangedLabel = nullptr;
    QPushButton* RefreshButton = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
    TBottomLine* BottomLine = nullptr;

protected:
    bool event(QEvent* event) override;

private:
    void AddExternalDataRows(TDecTreeNode* root, int& changed);
};

// Shows the overview modally for the tree and applies it on OK.
void ShowExternalDataOverview(TDecTree* tree, const QString& fileName, QWidget* owner = nullptr);

// How ShowExternalDataOverview shows the form: QDialog::exec unless a test drives it. Answers
// the runner installed before; an empty runner brings exec back.
using TOverviewExternalDataRunner = std::function<int(TOverviewExternalDataForm& form)>;
TOverviewExternalDataRunner SetOverviewExternalDataRunner(TOverviewExternalDataRunner runner);
