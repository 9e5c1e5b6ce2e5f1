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
    // OK's check of the file row, when it shows: a typed name without the ".qdns" ending gets it; an
    // existing file is replaced only when it is a style file and the user agrees (once, here or
    // in the browse dialog). False keeps the dialog open.
    bool CheckFileName();
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

private:
    // The file the browse dialog chose after asking whether to replace it.
    QString FConfirmedFileName;
};

// Runs the dialog modally over owner.
TSaveStyleDialogResult ExecuteSaveStyleDialog(QWidget* owner, bool showFileName);
