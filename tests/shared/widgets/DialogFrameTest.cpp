#include "shared/core/Colors.h"
#include "shared/widgets/BottomLine.h"
#include "shared/widgets/WhiteTop.h"

#include <QFontMetrics>
#include <QImage>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

const QRgb Untouched = qRgb(1, 2, 3);

QRgb Rgb(TColor color)
{
    return ColorToArgb(color);
}

// Renders the widget alone onto a background no painter uses, so unpainted pixels show.
QImage Render(QWidget& widget, int width)
{
    QFont font = widget.font();
    font.setStyleStrategy(QFont::NoAntialias);
    widget.setFont(font);
    widget.resize(width, 60);
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Untouched);
    widget.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

// The bounding box of the pixels of one colour.
QRect Ink(const QImage& image, QRgb color, QRect within = {})
{
    if (within.isNull())
        within = image.rect();
    QRect box;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            if (image.pixel(x, y) == color)
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

TEST(DialogFrameTest, HeightStaysSixtyAtRunTimeAndInLayouts)
{
    QWidget dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* top = new TWhiteTop;
    auto* bottom = new TBottomLine;
    layout->addWidget(top, 1);
    layout->addWidget(bottom, 1);
    dialog.resize(300, 400);
    dialog.show();
    for (QWidget* w : {static_cast<QWidget*>(top), static_cast<QWidget*>(bottom)}) {
        EXPECT_EQ(w->height(), 60);
        w->resize(200, 80);
        EXPECT_EQ(w->height(), 60);
        w->setGeometry(0, 0, 200, 80);
        EXPECT_EQ(w->height(), 60);
    }
}

TEST(DialogFrameTest, WhiteTopPaintsFillTextsAndShadowRule)
{
    TWhiteTop top;
    top.SetTitle(QStringLiteral("MMMM"));
    top.SetMsg(QStringLiteral("MMMM"));
    QPalette palette = top.palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    top.setPalette(palette);
    const QImage image = Render(top, 320);

    // The rule covers the whole width on the second row from the bottom; the rest is white.
    EXPECT_EQ(Ink(image, Rgb(clBtnShadow)), QRect(0, 58, 320, 1));
    EXPECT_EQ(image.pixel(0, 59), Rgb(clWhite));
    EXPECT_EQ(Ink(image, Untouched), QRect());

    // The title in its own colour, the message in the text colour; the title bold.
    const QRect title = Ink(image, Rgb(clMaroon));
    const QRect msg = Ink(image, qRgb(0, 0, 255));
    ASSERT_FALSE(msg.isEmpty());
    EXPECT_GT(title.width(), msg.width());
    EXPECT_GT(msg.left(), title.left()); // the message is indented under the title

    // A new font reaches both texts and the title stays bold; a new title colour repaints it.
    QFont big = top.font();
    big.setPixelSize(QFontMetrics(top.font()).height() + 4);
    top.setFont(big);
    top.SetTitleColor(clGreen);
    const QImage larger = Render(top, 320);
    EXPECT_EQ(Ink(larger, Rgb(clMaroon)), QRect());
    const QRect bigTitle = Ink(larger, Rgb(clGreen));
    const QRect bigMsg = Ink(larger, qRgb(0, 0, 255));
    EXPECT_GT(bigTitle.width(), title.width());
    EXPECT_GT(bigMsg.width(), msg.width());
    EXPECT_GT(bigTitle.width(), bigMsg.width());
}

TEST(DialogFrameTest, BottomLineEtchesRuleAroundEmbossedTitle)
{
    for (const QString& title : {QString(), QStringLiteral("www.example.com")}) {
        SCOPED_TRACE(title.toStdString());
        TBottomLine line;
        line.SetTitle(title);
        const QImage image = Render(line, 300);
        const QFontMetrics metrics(line.font());
        const int textWidth = title.isEmpty() ? 0 : metrics.horizontalAdvance(title);
        const int y = (metrics.ascent() + metrics.descent()) / 2 + 1;
        const int gapEnd = 16 + textWidth + 4;

        for (const auto& [row, color] : {std::pair{y, Rgb(clBtnShadow)}, std::pair{y + 1, Rgb(clBtnHighlight)}}) {
            for (int x = 0; x < 300; ++x) {
                const bool inGap = x >= 12 && x < gapEnd;
                if (!inGap) {
                    ASSERT_EQ(image.pixel(x, row), color) << x;
                } else if (title.isEmpty()) {
                    ASSERT_EQ(image.pixel(x, row), Untouched) << x;
                }
            }
        }
        // Below the rule and its caption the parent shows through.
        EXPECT_EQ(Ink(image, Untouched, QRect(0, metrics.height() + 2, 300, 58 - metrics.height())),
                  QRect(0, metrics.height() + 2, 300, 58 - metrics.height()));
        if (title.isEmpty())
            continue;
        // The title is embossed in the gap: shadow text with a highlight copy one pixel right.
        const QRect gap(12, 0, gapEnd - 12, 60);
        const QRect shadow = Ink(image, Rgb(clBtnShadow), gap);
        ASSERT_FALSE(shadow.isEmpty());
        EXPECT_GT(Ink(image, Rgb(clBtnHighlight), gap).left(), shadow.left());
    }
}
