#pragma once
// The licence agreement the user accepted when installing, with a button that copies it.

#include <QDialog>

class TBottomLine;
class TWhiteTop;
class QPlainTextEdit;
class QPushButton;

class TEULAForm : public QDialog {
    Q_OBJECT
public:
    explicit TEULAForm(QWidget* owner = nullptr);

    // The licence text built into the program.
    static QString LicenceText();
    void CopyButtonClick();

    TWhiteTop* WhiteTop = nullptr;
    QPlainTextEdit* EULAMemo = nullptr;
    TBottomLine* BottomLine = nullptr;
    QPushButton* CopyButton = nullptr;
    QPushButton* CloseButton = nullptr;
};

void ShowEULA(QWidget* owner = nullptr);
