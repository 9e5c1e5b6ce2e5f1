#include "app/MessageDialogs.h"

#include "app/AppStrings.h"

#include <QMessageBox>

namespace {

TMessageDlgHook& Hook()
{
    static TMessageDlgHook hook;
    return hook;
}

QString ShownText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

TModalResult ShowBox(QWidget* parent, const QString& text, TMsgDlgType type, int buttons)
{
    QMessageBox box(parent);
    box.setWindowTitle(AppStrings::ProductName);
    // File names, captions and reader errors are shown as written, never taken for markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(ShownText(text));
    switch (type) {
    case TMsgDlgType::Warning: box.setIcon(QMessageBox::Warning); break;
    case TMsgDlgType::Error: box.setIcon(QMessageBox::Critical); break;
    case TMsgDlgType::Information: box.setIcon(QMessageBox::Information); break;
    case TMsgDlgType::Confirmation: box.setIcon(QMessageBox::Question); break;
    }
    QMessageBox::StandardButtons standard;
    if (buttons & mbYes)
        standard |= QMessageBox::Yes;
    if (buttons & mbNo)
        standard |= QMessageBox::No;
    if (buttons & mbOK)
        standard |= QMessageBox::Ok;
    if (buttons & mbCancel)
        standard |= QMessageBox::Cancel;
    if (standard == QMessageBox::StandardButtons())
        standard = QMessageBox::Ok;
    box.setStandardButtons(standard);
    const int answer = box.exec();
    // The window it was asked from takes the keys again: not every desktop gives it back its
    // focus, and the next Esc or Enter would reach nothing.
    if (parent && parent->isVisible())
        parent->window()->activateWindow();
    switch (answer) {
    case QMessageBox::Yes: return TModalResult::Yes;
    case QMessageBox::No: return TModalResult::No;
    case QMessageBox::Ok: return TModalResult::OK;
    default: return buttons == mbOK ? TModalResult::OK : TModalResult::Cancel;
    }
}

} // namespace

TModalResult MessageDlg(QWidget* parent, const QString& text, TMsgDlgType type, int buttons)
{
    if (Hook())
        return Hook()(parent, text, type, buttons);
    return ShowBox(parent, text, type, buttons);
}

TMessageDlgHook SetMessageDlgHook(TMessageDlgHook hook)
{
    TMessageDlgHook old = std::move(Hook());
    Hook() = std::move(hook);
    return old;
}

QString FileErrorText(const QString& failure, const QString& fileName, const QString& reason)
{
    return reason.isEmpty() ? failure + fileName : failure + fileName + QStringLiteral("\r\r") + reason;
}

void ShowFileError(QWidget* parent, const QString& failure, const QString& fileName, const QString& reason)
{
    MessageDlg(parent, FileErrorText(failure, fileName, reason), TMsgDlgType::Error, mbOK);
}
