#include "Component/control/DecTree.h"
#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"
#include "app/PrintFormUnit.h"
#include "app/Settings.h"
#include "app/TreePictures.h"
#include "app/picture/PictureFile.h"
#include "bench/support/RandomTree.h"
#include "shared/core/MemorySettingsStore.h"

#include <QApplication>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A4 at 100 dpi; margins unlike on every side and in their sums across and down, in hundredths
// of a millimetre or thousandths of an inch.
const QSizeF Paper(210 / 25.4 * 100, 297 / 25.4 * 100);
constexpr double Dpi = 100;
constexpr TMarginsRect Margins = TMarginsRect::Make(1000, 1500, 2500, 3000);

QRect InkBounds(const QImage& image)
{
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((row[x] & 0xFFFFFF) != 0xFFFFFF)
                ink |= QRect(x, y, 1, 1);
    }
    return ink;
}

QImage RenderPage(TDecTree& tree, bool metric, bool lines)
{
    QImage page(Paper.toSize(), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    RenderTreePage(painter, Paper, QSizeF(Dpi, Dpi), tree, Margins, metric, lines);
    return page;
}

// Records what the preview asked for.
struct TCountingPrintable : IPrintableForm {
    std::vector<bool> Lines;
    std::vector<TMarginsRect> Margins;
    void PaintForPrinting(QPrinter& printer, const TMarginsRect& margins, bool showMarginLines) override
    {
        QPainter painter(&printer);
        painter.drawRect(10, 10, 100, 100);
        Lines.push_back(showMarginLines);
        Margins.push_back(margins);
    }
    QWidget* GetForm() override { return nullptr; }
};

} // namespace

// The picture of the tree, its laid-out bounds with the border on both axes, is scaled alike on
// both axes to fill the width or the height inside the margins, from the top-left margin corner.
TEST(PrintFormTest, TreeFillsTheMarginsWithItsShapeKept)
{
    struct Case {
        const char* Name;
        bool Wide;
        bool Metric;
    };
    for (const Case c : {Case{"wide", true, true}, Case{"tall", false, true}, Case{"tall, inches", false, false}}) {
        TDecTree tree;
        if (c.Wide) {
            tree.Document().SetRoot(MakeChain(tree.Document(), 30, ntDecision));
        } else {
            auto root = MakeNode(&tree.Document(), nullptr, ntChance, 100, 0);
            for (int i = 0; i < 60; ++i)
                root->Children.Add(MakeNode(&tree.Document(), root.get(), ntDecision, 0, i));
            tree.Document().SetRoot(std::move(root));
        }
        tree.Recalculate();
        const QRect ink = InkBounds(RenderPage(tree, c.Metric, false));
        ASSERT_FALSE(ink.isEmpty()) << c.Name;
        const double unit = (c.Metric ? 1 / 2540.0 : 1 / 1000.0) * Dpi;
        const QRectF inside(QPointF(Margins.Left * unit, Margins.Top * unit),
                            QPointF(Paper.width() - Margins.Right * unit, Paper.height() - Margins.Bottom * unit));
        const QSizeF picture(tree.Root()->BoundsRect.Width + 2 * tree.BorderSize,
                             tree.Root()->BoundsRect.Height + 2 * tree.BorderSize);
        const double scale = c.Wide ? inside.width() / picture.width() : inside.height() / picture.height();
        const QRect drawn = InkBounds(PaintPictureImage(int(picture.width()), int(picture.height()),
                                                        [&](TCanvas& canvas) { tree.PaintToCanvas(canvas); }));
        const double slack = 2 + scale;
        EXPECT_NEAR(ink.left(), inside.left() + drawn.left() * scale, slack) << c.Name;
        EXPECT_NEAR(ink.top(), inside.top() + drawn.top() * scale, slack) << c.Name;
        EXPECT_NEAR(ink.right(), inside.left() + drawn.right() * scale, slack) << c.Name;
        EXPECT_NEAR(ink.bottom(), inside.top() + drawn.bottom() * scale, slack) << c.Name;
        // Asked for, the margin lines are grey across the page on all four margins.
        const QImage lined = RenderPage(tree, c.Metric, true);
        for (const QPoint at : {QPoint(int(inside.left()), 2), QPoint(2, int(inside.top())), QPoint(int(inside.right()), 2),
                                QPoint(2, int(inside.bottom()))})
            EXPECT_EQ(lined.pixelColor(at), QColor(0x80, 0x80, 0x80)) << c.Name << " " << at.x() << "," << at.y();
    }
}

TEST(PrintFormTest, SetupRendersAgainAndPrintingDropsTheLines)
{
    QTemporaryDir dir;
    TCountingPrintable printable;
    TPrintForm form;
    form.Printable = &printable;
    form.SetMargins(TMarginsRect::Make(1000, 1500, 2000, 2500));
    form.RenderPages(true);
    ASSERT_FALSE(printable.Margins.empty());
    EXPECT_EQ(printable.Margins.back(), TMarginsRect::Make(1000, 1500, 2000, 2500));

    form.PageSetupDialog = [&form](QPrinter&, QWidget*) {
        form.SetMargins(TMarginsRect::Make(500, 500, 500, 500));
        return true;
    };
    printable.Lines.clear();
    form.SetupToolButtonClick();
    ASSERT_FALSE(printable.Margins.empty());
    EXPECT_EQ(printable.Margins.back(), TMarginsRect::Make(500, 500, 500, 500));
    EXPECT_EQ(printable.Lines, std::vector<bool>({true}));

    const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    form.PrintDialog = [pdf](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    };
    printable.Lines.clear();
    form.PrintToolButtonClick();
    // The preview without lines, the printed page without lines, the preview with lines again.
    EXPECT_EQ(printable.Lines, std::vector<bool>({false, false, true}));
    EXPECT_GT(QFileInfo(pdf).size(), 0);
}

TEST(PrintFormTest, PrintLayoutRoundTripsThroughTheSettings)
{
    auto previous = TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
    QStringList warnings;
    SetMessageDlgHook([&](QWidget*, const QString& text, TMsgDlgType, int) {
        warnings << text;
        return TModalResult::OK;
    });
    TDecTree tree;
    tree.Document().SetRoot(MakeChain(tree.Document(), 3, ntDecision));
    tree.Recalculate();

    // Without a printer only the warning, and the layout stays.
    SetPrinterListHook([] { return false; });
    PrintTree(nullptr, tree);
    EXPECT_EQ(warnings, QStringList{QStringLiteral("No printer is currently installed in the system.")});
    EXPECT_EQ(TSettings().PageMargins, TSettings::DefaultPageMargins);

    SetPrinterListHook([] { return true; });
    for (const bool landscape : {true, false}) {
        const TMarginsRect chosen = TMarginsRect::Make(1200, 1300, 1400, landscape ? 1500 : 1600);
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<TPrintForm*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            form->SetMargins(chosen);
            form->Printer().setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
            form->accept();
        });
        PrintTree(nullptr, tree);
        const TSettings settings;
        EXPECT_EQ(settings.PageMargins, chosen) << landscape;
        EXPECT_EQ(settings.Landscape, landscape);
    }
    SetPrinterListHook({});
    SetMessageDlgHook({});
    TSettingsStore::SetApplication(std::move(previous));
}
