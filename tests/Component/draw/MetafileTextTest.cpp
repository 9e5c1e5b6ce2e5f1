#include "Component/draw/MetafileCanvas.h"

#include <gtest/gtest.h>

// WMF text goes out in the Western Windows code page: the euro sign of a payoff, typographic
// quotes and dashes keep their bytes there; what the code page lacks becomes '?'.
TEST(MetafileTextTest, WmfTextUsesTheWindowsCodePage)
{
    const struct {
        QString Text;
        QByteArray Bytes;
    } cases[] = {
        {QStringLiteral("1,234.50 \u20AC"), QByteArray("1,234.50 \x80")},
        {QStringLiteral("\u201CGo\u201D \u2013 caf\u00E9"), QByteArray("\x93Go\x94 \x96 caf\xE9")},
        {QStringLiteral("A\u4E2DB"), QByteArray("A?B")},
    };
    for (const auto& c : cases) {
        TMetafileCanvas canvas(200, 50, TMetafileKind::Windows);
        canvas.TextOut(5, 5, c.Text);
        EXPECT_TRUE(canvas.Finish().contains(c.Bytes)) << c.Text.toStdString();
    }
}
