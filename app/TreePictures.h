#pragma once
// The tree's pictures and printed page: what the main window's Copy Picture, Export Picture and
// Print commands run.

#include "app/PrintableForm.h"

#include <QSizeF>

class QPainter;
class TDecTree;

// The tree's picture size: its laid-out size plus its border on every side.
QSize TreePictureSize(const TDecTree& tree);

void CopyTreePicture(TDecTree& tree);
void ExportTreePicture(TDecTree& tree, QWidget* parent);

// Draws the whole tree on one page: painter draws on paper of paperSize device pixels at dpi,
// with the origin at the paper's corner. The tree with its border is scaled alike on both axes
// to fill the width or the height inside the margins (in the page set-up's units, metric or
// not), whichever it reaches first. Margin lines are grey and dashed.
void RenderTreePage(QPainter& painter, const QSizeF& paperSize, const QSizeF& dpi, TDecTree& tree,
                    const TMarginsRect& margins, bool metric, bool showMarginLines);

// The main window's side of printing: the tree drawn on the printer's one page.
class TTreePrintable : public IPrintableForm {
public:
    TTreePrintable(QWidget* form, TDecTree& tree) : FForm(form), FTree(tree) {}
    void PaintForPrinting(QPrinter& printer, const TMarginsRect& margins, bool showMarginLines) override;
    QWidget* GetForm() override { return FForm; }

private:
    QWidget* FForm;
    TDecTree& FTree;
};

// Print: the preview with the layout of the settings, which get back what the user left.
void PrintTree(QWidget* form, TDecTree& tree);
