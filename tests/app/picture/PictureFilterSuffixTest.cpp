#include "app/ExportBitmap.h"

#include <gtest/gtest.h>

// A name typed without extension takes the extension of the type chosen in the save dialog;
// "All files" keeps the default GIF.
TEST(PictureFilterSuffixTest, EachTypeGivesItsOwnExtension)
{
    const QStringList filters = PictureFileFilter().split(QStringLiteral(";;"));
    const QStringList expected = {"bmp", "jpg", "jpeg", "gif", "emf", "wmf", "gif"};
    ASSERT_EQ(filters.size(), expected.size());
    for (qsizetype i = 0; i < filters.size(); ++i) {
        EXPECT_EQ(PictureFilterSuffix(filters[i]), expected[i]) << filters[i].toStdString();
        EXPECT_NO_THROW(PictureFormatOf(QStringLiteral("tree.") + expected[i]));
    }
}
