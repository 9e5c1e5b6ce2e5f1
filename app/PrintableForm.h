#pragma once
// The printing contract between the print preview and the window whose drawing it prints.

#include "app/MarginsRect.h"

class QPrinter;
class QWidget;

class IPrintableForm {
public:
    virtual ~IPrintableForm() = default;
    // Makes the pages on the printer (the preview's or a real one): paints one document whose
    // margins, measured from the paper's edge, are given in the page set-up's units; margin
    // lines are drawn for the preview only.
    virtual void PaintForPrinting(QPrinter& printer, const TMarginsRect& margins, bool showMarginLines) = 0;
    // The window that implements the contract.
    virtual QWidget* GetForm() = 0;
};

// The print layout that flows from the settings into the preview and back.
struct TPrintOptions {
    bool Landscape = false;
    TMarginsRect Margins;
};
