#pragma once
// The white header band of a dialog: a bold title and a one-line explanation on white, with a
// shadow rule along its bottom. Painted on its own, always 60 pixels high; the dialog's layout
// puts it at the top and keeps it wide enough for both texts.

#include "shared/core/NullableColor.h"

#include <QString>
#include <QWidget>

class TWhiteTop : public QWidget {
    Q_OBJECT
public:
    static constexpr int FixedHeight = 60;
    // Where the title and the message start, and the white kept right of the longer one.
    static constexpr int TitleLeft = 16;
    static constexpr int MsgLeft = 30;
    static constexpr int RightMargin = 12;

    explicit TWhiteTop(QWidget* parent = nullptr);

    const QString& Title() const { return FTitle; }
    void SetTitle(const QString& title);
    const QString& Msg() const { return FMsg; }
    void SetMsg(const QString& msg);
    // The title's colour; the explanation keeps the widget's own text colour.
    TColor TitleColor() const { return FTitleColor; }
    void SetTitleColor(TColor color);

    // As wide as the title and the message need, so that a dialog's layout shows them whole.
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString FTitle;
    QString FMsg;
    TColor FTitleColor;
};
