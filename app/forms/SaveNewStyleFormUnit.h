#pragma once
// The "Save Style" dialog: a style's name, author and description, and, when exporting, the
// file to write.

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

struct TSaveStyleDialogResult {
    bool Ok = false;
    QString Name;
    QString Description;
    QString Author;
    QString FileName;
};

class TSaveNewStyleForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int MaxNameLength = 70;

    explicit TSaveNewStyleForm(QWidget* owner = nullptr);

    // Shows or hides the file row; the dialog closes up the space it leaves.
    void SetShowFileName(bool show);
    // OK is possible with a name and, while the file row shows, a file name.
    void UpdateOkButton();
    // The browse button's work: the chosen path goes into the file row, and an empty name
    // takes the chosen file's name.
    void BrowseButtonClick();
    // The trimmed texts; Ok as given.
    TSaveStyleDialogResult Result(bool ok) const;

    // The file dialog behind the browse button: the chosen path, empty when cancelled.
    std::function<QString()> ExecuteBrowseDialog;

    QLabel* FilenameLabel = nullptr;
    QLineEdit* FilenameEdit = nullptr;
    QToolButton* BrowseButton = nullptr;
    QLineEdit* NameEdit = nullptr;
    QLineEdit* AuthorEdit = nullptr;
    QPlainTextEdit* DescriptionMemo = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
};

// Runs the dialog modally over owner.
TSaveStyleDialogResult ExecuteSaveStyleDialog(QWidget* owner, bool showFileName);
