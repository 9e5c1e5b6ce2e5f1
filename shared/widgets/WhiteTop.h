#pragma once
// The white header band of a dialog: a bold title and a one-line explanation on white, with a
// shadow rule along its bottom. Painted on its own, always 60 pixels high; the dialog's layout
// puts it at the top.

#include "shared/core/NullableColor.h"

#include <QString>
#include <QWidget>

class TWhiteTop : public QWidget {
    Q_OBJECT
public:
    static constexpr int FixedHeight = 60;

    explicit TWhiteTop(QWidget* parent = nullptr);

    const QString& Title() const { return FTitle; }
    void SetTitle(const QString& title);
    const QString& Msg() const { return FMsg; }
    void SetMsg(const QString& msg);
    // The title's colour; the explanation keeps the widget's own text colour.
    TColor TitleColor() const { return FTitleColor; }
    void SetTitleColor(TColor color);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString FTitle;
    QString FMsg;
    TColor FTitleColor;
};
