// Every writer of a file the user keeps, on a file system filled up to its last block: the save
// fails with the system's reason, the old file stays byte for byte, no temporary file is left,
// and a document stays modified. Each writer with a content below and above the 16 KB that a
// buffered file holds before it writes anything.
#include "app/ExportBitmap.h"
#include "app/StyleCommands.h"
#include "app/document/DocumentWriter.h"
#include "app/document/SavedStyle.h"

#include "Component/control/DecTree.h"
#include "support/MainWindowHarness.h"
#include "support/TmpfsMount.h"
#include "support/TreeBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

enum class TWriter { Document, Bmp, Jpeg, Gif, Emf, Wmf, ExportedStyle, UserStyle };

// Cells of many colours, so that no format packs the picture into a few bytes.
void Paint(TCanvas& canvas, int width, int height)
{
    for (int y = 0; y < height; y += 8)
        for (int x = 0; x < width; x += 8) {
            canvas.Brush.Color = TColor((uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u) & 0xFFFFFF);
            canvas.FillRect(QRect(x, y, 8, 8));
        }
}

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct TFullDiskCase {
    TWriter Writer;
    bool Large;
    const char* FileName;
};

std::string CaseName(const ::testing::TestParamInfo<TFullDiskCase>& info)
{
    static const char* const names[] = {"Document", "Bmp", "Jpeg", "Gif", "Emf", "Wmf", "ExportedStyle", "UserStyle"};
    return std::string(names[int(info.param.Writer)]) + (info.param.Large ? "Large" : "Small");
}

class FullDiskTest : public ::testing::TestWithParam<TFullDiskCase> {};

} // namespace

TEST_P(FullDiskTest, TheSaveFailsWithTheReasonAndTheOldFileStays)
{
    const TFullDiskCase c = GetParam();
    TTmpfsMount disk;
    if (!disk.SkipReason().isEmpty())
        GTEST_SKIP() << disk.SkipReason().toStdString();
    TMainWindowHarness harness;
    TMainForm& form = *harness.Form;
    SetMessageDlgHook([&harness](QWidget*, const QString& text, TMsgDlgType type, int buttons) {
        harness.Shown.push_back({text, type});
        // Yes to replacing a style; No to saving when the window closes.
        return buttons == mbOK ? TModalResult::OK : buttons == mbYesNo ? TModalResult::Yes : TModalResult::No;
    });
    const QString userFolder = disk.Path(QStringLiteral("user"));
    const QString target = c.Writer == TWriter::UserStyle ? userFolder + QStringLiteral("/Mine.qdns") : disk.Path(c.FileName);
    const int side = c.Large ? 400 : 40;
    const TPaintPicture paint = [side](TCanvas& canvas) { Paint(canvas, side, side); };
    const QString description(c.Large ? 20000 : 10, QLatin1Char('d'));
    if (c.Large)
        for (int i = 0; i < 40; ++i)
            testtree::AddEnd(form.GetTree()->Root(), 1, i)->Caption = QStringLiteral("option %1").arg(i);

    // The same content written where there is room: its size is on the side of 16 KB the case is about.
    QTemporaryDir roomy;
    const QString sample = roomy.filePath(c.FileName);
    TDecTree& tree = *form.GetTree();
    if (c.Writer == TWriter::Document)
        ASSERT_TRUE(SaveDocument(tree.Document(), tree.StyleStates(), sample));
    else if (c.Writer == TWriter::ExportedStyle || c.Writer == TWriter::UserStyle)
        WriteStyleDocument(*form.StyleCommands->WriteStyleFile(QStringLiteral("Mine"), description, QString()), sample);
    else
        WritePictureFile(sample, side, side, paint);
    EXPECT_EQ(QFileInfo(sample).size() > 16384, c.Large) << QFileInfo(sample).size();

    // The old file: an earlier style where a style goes, some bytes elsewhere.
    QDir().mkpath(userFolder);
    const QByteArray old = "<StyleStates Name=\"old\"><!--" + QByteArray(2000, 'o') + "--></StyleStates>\n";
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    }
    form.StyleCommands->SetManager(std::make_unique<TStyleManager>(disk.Path(QStringLiteral("none")), userFolder));
    form.StyleCommands->ExecuteSaveStyleDialog = [&](bool showFileName) {
        return TSaveStyleDialogResult{true, QStringLiteral("Mine"), description, QString(), showFileName ? target : QString()};
    };
    form.ExecuteSaveDialog = [&](const QString&) { return target; };
    SetSavePictureDialogHook([&](QWidget*, const QString&, int, const QString&) { return target; });
    form.GetTree()->UndoManager().SaveState(QStringLiteral("Edit Title"));
    form.GetTree()->Root()->Caption = QStringLiteral("changed");
    ASSERT_TRUE(disk.Fill(c.Large ? 8192 : 0));
    harness.Shown.clear();

    switch (c.Writer) {
    case TWriter::Document: form.FileSaveAsMenuItem->trigger(); break;
    case TWriter::ExportedStyle: form.FileExportStyleMenuItem->trigger(); break;
    case TWriter::UserStyle: form.StylesSaveCurrentStyleMenuItem->trigger(); break;
    default: ExportPicture(side, side, paint, &form); break;
    }
    SetSavePictureDialogHook({});

    ASSERT_FALSE(harness.Shown.empty());
    EXPECT_TRUE(harness.Shown.back().first.contains(QLatin1String("No space left on device")))
        << harness.Shown.back().first.toStdString();
    EXPECT_EQ(Bytes(target), old);
    QStringList left = QDir(QFileInfo(target).path()).entryList(QDir::Files | QDir::Hidden);
    left.removeAll(QStringLiteral(".filler"));
    EXPECT_EQ(left, QStringList{QFileInfo(target).fileName()}) << "a temporary file was left";
    if (c.Writer == TWriter::Document) {
        // Still modified: Save stays on, the caption keeps its mark, and closing asks.
        EXPECT_TRUE(form.FileSaveMenuItem->isEnabled());
        harness.Shown.clear();
        form.close();
        ASSERT_EQ(harness.Shown.size(), 1u);
        EXPECT_EQ(harness.Shown[0].first, QStringLiteral("Do you want to save the changes?"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryWriter, FullDiskTest,
    ::testing::Values(TFullDiskCase{TWriter::Document, false, "tree.qdn"}, TFullDiskCase{TWriter::Document, true, "tree.qdn"},
                      TFullDiskCase{TWriter::Bmp, false, "p.bmp"}, TFullDiskCase{TWriter::Bmp, true, "p.bmp"},
                      TFullDiskCase{TWriter::Jpeg, false, "p.jpg"}, TFullDiskCase{TWriter::Jpeg, true, "p.jpg"},
                      TFullDiskCase{TWriter::Gif, false, "p.gif"}, TFullDiskCase{TWriter::Gif, true, "p.gif"},
                      TFullDiskCase{TWriter::Emf, false, "p.emf"}, TFullDiskCase{TWriter::Emf, true, "p.emf"},
                      TFullDiskCase{TWriter::Wmf, false, "p.wmf"}, TFullDiskCase{TWriter::Wmf, true, "p.wmf"},
                      TFullDiskCase{TWriter::ExportedStyle, false, "s.qdns"},
                      TFullDiskCase{TWriter::ExportedStyle, true, "s.qdns"},
                      TFullDiskCase{TWriter::UserStyle, false, "Mine.qdns"}, TFullDiskCase{TWriter::UserStyle, true, "Mine.qdns"}),
    CaseName);
