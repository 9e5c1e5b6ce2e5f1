// Every writer of a file the user keeps, on a file system filled up to its last block (the large
// contents with 8 KB left, so that a write gets part of the way): the save fails with the
// system's reason, the old file stays byte for byte, no temporary file is left, and a document
// stays modified. Each writer with a content below and above the 16 KB a buffered file holds
// before it writes anything: about 10 KB and 40 KB for documents, 2 KB and 20 KB for a style,
// a picture of 40 and of 400 pixels a side.
#include "app/ExportBitmap.h"
#include "app/StyleCommands.h"

#include "Component/control/DecTree.h"
#include "shared/widgets/RecentFileList.h"
#include "support/MainWindowHarness.h"
#include "support/TmpfsMount.h"
#include "support/TreeBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

// Saving a style into the user's folder goes through the same writer as the export.
enum class TWriter { Document, Bmp, Jpeg, Gif, Emf, Wmf, Style };
const char* const FileNames[] = {"tree.qdn", "p.bmp", "p.jpg", "p.gif", "p.emf", "p.wmf", "s.qdns"};
const char* const WriterNames[] = {"Document", "Bmp", "Jpeg", "Gif", "Emf", "Wmf", "Style"};

void PrintTo(TWriter writer, std::ostream* out)
{
    *out << WriterNames[int(writer)];
}

// Cells of many colours, so that no format packs the picture into a few bytes.
void Paint(TCanvas& canvas, int side)
{
    for (int y = 0; y < side; y += 8)
        for (int x = 0; x < side; x += 8) {
            canvas.Brush.Color = TColor((uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u) & 0xFFFFFF);
            canvas.FillRect(QRect(x, y, 8, 8));
        }
}

class FullDiskTest : public ::testing::TestWithParam<std::tuple<TWriter, bool>> {};

} // namespace

TEST_P(FullDiskTest, TheSaveFailsWithTheReasonAndTheOldFileStays)
{
    const auto [writer, large] = GetParam();
    TTmpfsMount disk;
    if (!disk.SkipReason().isEmpty())
        GTEST_SKIP() << disk.SkipReason().toStdString();
    TMainWindowHarness harness;
    TMainForm& form = *harness.Form;
    const QString fileName = QString::fromLatin1(FileNames[int(writer)]);
    const QString target = disk.Path(fileName);
    const int side = large ? 400 : 40;
    const TPaintPicture paint = [side](TCanvas& canvas) { Paint(canvas, side); };
    const QString description(large ? 20000 : 10, QLatin1Char('d'));
    TDecTree& tree = *form.GetTree();
    for (int i = 0; large && i < 40; ++i)
        testtree::AddEnd(tree.Root(), 1, i)->Caption = QStringLiteral("option %1").arg(i);

    const QByteArray old = "<StyleStates Name=\"old\"><!--" + QByteArray(2000, 'o') + "--></StyleStates>\n";
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    file.close();
    form.StyleCommands->ExecuteSaveStyleDialog = [&](bool) {
        return TSaveStyleDialogResult{true, QStringLiteral("Mine"), description, QString(), target};
    };
    form.ExecuteSaveDialog = [&](const QString&) { return target; };
    SetSavePictureDialogHook([&](QWidget*, const QString&, int, const QString&) { return target; });
    tree.UndoManager().SaveState(QStringLiteral("Edit Title"));
    tree.Root()->Caption = QStringLiteral("changed");
    const QString title = form.windowTitle();
    ASSERT_TRUE(disk.Fill(large ? 8192 : 0));
    harness.Shown.clear();

    switch (writer) {
    case TWriter::Document: form.FileSaveAsMenuItem->trigger(); break;
    case TWriter::Style: form.FileExportStyleMenuItem->trigger(); break;
    default: ExportPicture(side, side, paint, &form); break;
    }
    SetSavePictureDialogHook({});

    ASSERT_FALSE(harness.Shown.empty());
    EXPECT_TRUE(harness.Shown.back().first.contains(QLatin1String("No space left on device")))
        << harness.Shown.back().first.toStdString();
    // Each says which file it could not write.
    EXPECT_TRUE(harness.Shown.back().first.contains(target)) << harness.Shown.back().first.toStdString();
    if (writer != TWriter::Document && writer != TWriter::Style) { // stopped at the write that failed
        EXPECT_TRUE(harness.Shown.back().first.startsWith(
            "Error exporting picture: " + target + "\r\rThe picture could not be written: "));
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)); // the file now at that name
    EXPECT_EQ(file.readAll(), old);
    QStringList left = QDir(QFileInfo(target).path()).entryList(QDir::Files | QDir::Hidden);
    left.removeAll(QStringLiteral(".filler"));
    EXPECT_EQ(left, QStringList{fileName}) << "a temporary file was left";
    if (writer == TWriter::Document) {
        // Still modified and still without a name: Save stays on, and closing asks.
        EXPECT_TRUE(harness.Shown.back().first.startsWith("Error saving file: " + target + "\r\r"));
        EXPECT_TRUE(form.FileSaveMenuItem->isEnabled());
        EXPECT_EQ(form.windowTitle(), title);
        EXPECT_TRUE(form.RecentFileList->Files().isEmpty());
        harness.Shown.clear();
        form.close();
        ASSERT_EQ(harness.Shown.size(), 1u);
        EXPECT_EQ(harness.Shown[0].first, QStringLiteral("Do you want to save the changes?"));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, FullDiskTest,
                         ::testing::Combine(::testing::Values(TWriter::Document, TWriter::Bmp, TWriter::Jpeg, TWriter::Gif,
                                                              TWriter::Emf, TWriter::Wmf, TWriter::Style),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<FullDiskTest::ParamType>& info) {
                             return std::string(WriterNames[int(std::get<0>(info.param))]) +
                                    (std::get<1>(info.param) ? "Large" : "Small");
                         });
