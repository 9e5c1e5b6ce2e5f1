#pragma once
// The header and footer bands of this program's dialogs, made the same way for every dialog.

#include <QString>

class QWidget;

QWidget* CreateWhiteTop(QWidget* parent, const QString& title, const QString& message);
void SetWhiteTopMsg(QWidget* whiteTop, const QString& message);
QString WhiteTopMsg(const QWidget* whiteTop);
QWidget* CreateBottomLine(QWidget* parent, const QString& title);
