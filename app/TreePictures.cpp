#include "app/TreePictures.h"

#include "Component/control/DecTree.h"
#include "Component/draw/PainterCanvas.h"
#include "Component/draw/RecordingCanvas.h"
#include "app/ExportBitmap.h"
#include "app/MainFormUnit.h"
#include "app/PrintFormUnit.h"
#include "app/Settings.h"
#include "shared/core/Exceptions.h"

#include <QPainter>
#include <QPrinter>

#include <limits>
#include <memory>

QSize TreePictureSize(const TDecTree& tree)
{
    if (!tree.Root())
        return QSize(2 * tree.BorderSize, 2 * tree.BorderSize);
    const TRectangle& bounds = tree.Root()->BoundsRect;
    return QSize(bounds.Width + 2 * tree.BorderSize, bounds.Height + 2 * tree.BorderSize);
}

void CopyTreePicture(TDecTree& tree)
{
    const QSize size = TreePictureSize(tree);
    // The clipboard draws when it is read, perhaps long after the tree has changed: it draws
    // the tree as it is now, recorded.
    auto drawing = std::make_shared<TRecordingCanvas>();
    tree.PaintToCanvas(*drawing);
    CopyPictureToClipboard(size.width(), size.height(), [drawing](TCanvas& canvas) { drawing->Replay(canvas); });
}

void ExportTreePicture(TDecTree& tree, QWidget* parent)
{
    const QSize size = TreePictureSize(tree);
    ExportPicture(size.width(), size.height(), [&tree](TCanvas& canvas) { tree.PaintToCanvas(canvas); }, parent);
}

void RenderTreePage(QPainter& painter, const QSizeF& paperSize, const QSizeF& dpi, TDecTree& tree,
                    const TMarginsRect& margins, bool metric, bool showMarginLines)
{
    const double unitsPerInch = metric ? 2540.0 : 1000.0;
    auto X = [&](double v) { return v * dpi.width() / unitsPerInch; };
    auto Y = [&](double v) { return v * dpi.height() / unitsPerInch; };
    if (showMarginLines) {
        QPen pen(QColor(0x80, 0x80, 0x80), 0, Qt::DashLine);
        pen.setCosmetic(true);
        painter.setPen(pen);
        const double l = X(margins.Left), t = Y(margins.Top);
        const double r = paperSize.width() - X(margins.Right), b = paperSize.height() - Y(margins.Bottom);
        painter.drawLine(QPointF(l, 0), QPointF(l, paperSize.height()));
        painter.drawLine(QPointF(r, 0), QPointF(r, paperSize.height()));
        painter.drawLine(QPointF(0, t), QPointF(paperSize.width(), t));
        painter.drawLine(QPointF(0, b), QPointF(paperSize.width(), b));
        painter.setPen(QPen(Qt::black));
    }
    const QSize tree96 = TreePictureSize(tree);
    // The available area and the tree in inches, so that one scale holds on both axes even when
    // the printer's resolution differs between them.
    const double availableW = (paperSize.width() - X(margins.HorizontalSum())) / dpi.width();
    const double availableH = (paperSize.height() - Y(margins.VerticalSum())) / dpi.height();
    if (availableW <= 0 || availableH <= 0 || tree96.isEmpty())
        return;
    const double pageRatio = availableW / availableH;
    const double treeRatio = double(tree96.width()) / tree96.height();
    const double inchesPerUnit = treeRatio > pageRatio ? availableW / tree96.width() : availableH / tree96.height();
    painter.save();
    painter.translate(X(margins.Left), Y(margins.Top));
    painter.scale(inchesPerUnit * dpi.width(), inchesPerUnit * dpi.height());
    {
        TPainterCanvas canvas(&painter);
        tree.PaintToCanvas(canvas);
    }
    painter.restore();
}

void TTreePrintable::PaintForPrinting(QPrinter& printer, const TMarginsRect& margins, bool showMarginLines)
{
    QPainter painter;
    if (!painter.begin(&printer))
        throw InvalidOperationException(QStringLiteral("The printer could not start the page."));
    const QRectF paper = printer.pageLayout().fullRectPixels(printer.resolution());
    const QSizeF dpi(printer.resolution(), printer.resolution());
    RenderTreePage(painter, paper.size(), dpi, FTree, margins, TMainForm::IsMetricLocale(), showMarginLines);
    painter.end();
}

void PrintTree(QWidget* form, TDecTree& tree)
{
    TTreePrintable printable(form, tree);
    TPrintOptions options;
    {
        TSettings settings;
        options.Landscape = settings.Landscape;
        options.Margins = settings.PageMargins;
    }
    ShowPrintPreview(printable, options);
    TSettings settings;
    settings.PageMargins = options.Margins;
    settings.Landscape = options.Landscape;
    settings.SaveSettings();
}
