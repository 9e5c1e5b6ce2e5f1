#pragma once
// The node comment editor: a resizable dialog with one multi-line text.

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

class TCommentForm : public QDialog {
    Q_OBJECT
public:
    explicit TCommentForm(QWidget* owner = nullptr);

    QPlainTextEdit* CommentMemo = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

    // Comments keep Windows line breaks (CR LF) in the model and in documents; the editor
    // shows and gives them back as such.
    void SetCommentText(const QString& text);
    QString CommentText() const;
};

struct TCommentResult {
    bool Changed = false;
    QString Text;
};

// Shows the editor modally with text. OK reports Changed with the edited text, even when it is
// the same; any other way of closing reports no change.
TCommentResult EditComment(const QString& text, QWidget* owner = nullptr);
