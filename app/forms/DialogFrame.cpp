#include "app/forms/DialogFrame.h"

#include <QLabel>

QWidget* CreateWhiteTop(QWidget* parent, const QString& title, const QString& message)
{
    auto* label = new QLabel(parent);
    label->setProperty("title", title);
    SetWhiteTopMsg(label, message);
    return label;
}

void SetWhiteTopMsg(QWidget* whiteTop, const QString& message)
{
    auto* label = static_cast<QLabel*>(whiteTop);
    label->setProperty("msg", message);
    label->setText(QStringLiteral("<b>%1</b><br>%2").arg(label->property("title").toString().toHtmlEscaped(),
                                                         message.toHtmlEscaped()));
}

QString WhiteTopMsg(const QWidget* whiteTop)
{
    return whiteTop->property("msg").toString();
}

QWidget* CreateBottomLine(QWidget* parent, const QString& title)
{
    return new QLabel(title, parent);
}
