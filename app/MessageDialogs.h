#pragma once
// The program's questions and notices: a message box of a type with a set of buttons, answered
// by the button chosen. Every box of the main window goes through MessageDlg, so a test can
// answer them (SetMessageDlgHook) and nothing modal ever waits for a user who isn't there.

#include <QString>
#include <functional>

class QWidget;

enum class TMsgDlgType { Warning, Error, Information, Confirmation };

// Buttons, combined as a set.
enum TMsgDlgButton : int { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
constexpr int mbYesNo = mbYes | mbNo;
constexpr int mbYesNoCancel = mbYes | mbNo | mbCancel;

// The answer; closing the box without a button answers Cancel (or OK when it has only OK).
enum class TModalResult { OK, Cancel, Yes, No };

using TMessageDlgHook =
    std::function<TModalResult(QWidget* parent, const QString& text, TMsgDlgType type, int buttons)>;

// Shows the box (or asks the hook). Texts may hold CR line breaks; they are shown as breaks.
TModalResult MessageDlg(QWidget* parent, const QString& text, TMsgDlgType type, int buttons);
// Replaces the message boxes by the hook; an empty hook brings the boxes back. Answers the
// hook that was installed before.
TMessageDlgHook SetMessageDlgHook(TMessageDlgHook hook);

// What went wrong with a file, for the user, always naming the file: the failure ("Error saving
// file: "), the file, then two line breaks and the reason when there is one.
QString FileErrorText(const QString& failure, const QString& fileName, const QString& reason);
// That text in an error box with OK.
void ShowFileError(QWidget* parent, const QString& failure, const QString& fileName, const QString& reason);
