#pragma once
// The error window: every error that no command expected is shown here with its class name,
// its message and the stack where it was raised, and the program goes on.

#include <QDialog>
#include <QString>
#include <functional>

class TBottomLine;
class TWhiteTop;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TErrorForm : public QDialog {
    Q_OBJECT
public:
    explicit TErrorForm(QWidget* owner = nullptr);

    // Fills the window and shows it modally. The trace is resolved to names only now: that is
    // slow, and most errors are never looked at this closely.
    void ShowExceptionForm(const QString& className, const QString& message, const std::function<QString()>& trace);

    TWhiteTop* WhiteTop = nullptr;
    QLineEdit* ExceptionNameEdit = nullptr;
    QLineEdit* DescriptionEdit = nullptr;
    QPlainTextEdit* StackTraceMemo = nullptr;
    TBottomLine* BottomLine = nullptr;
    QPushButton* OKButton = nullptr;
};

// The one error window of the program, made on first use and freed with the application.
TErrorForm& ErrorForm();
