#pragma once
// The print preview: the pages as they will print, a zoom list, the page set-up and the print
// dialog. It asks its printable form to make the pages again whenever the layout changes.

#include "app/ParentedForm.h"
#include "app/PrintableForm.h"

#include <functional>
#include <memory>

class QComboBox;
class QPrintPreviewWidget;
class QPrinter;
class QToolButton;

class TPrintForm : public TParentedForm {
    Q_OBJECT
public:
    // parentWindow: the printable form's window, which the preview dies with.
    explicit TPrintForm(QWidget* parentWindow = nullptr);
    ~TPrintForm() override;

    QPrintPreviewWidget* PrintPreview = nullptr;
    QComboBox* ZoomComboBox = nullptr;
    QToolButton* SetupToolButton = nullptr;
    QToolButton* PrintToolButton = nullptr;
    IPrintableForm* Printable = nullptr;

    QPrinter& Printer() { return *FPrinter; }
    // The page set-up's margins in its units (see TMarginsRect).
    TMarginsRect Margins() const;
    void SetMargins(const TMarginsRect& margins);
    // Makes the pages again, with or without margin lines.
    void RenderPages(bool showMarginLines);

    // The page set-up and print dialogs on the form's printer; true when the user chose OK.
    // Tests replace them.
    std::function<bool(QPrinter& printer, QWidget* parent)> PageSetupDialog;
    std::function<bool(QPrinter& printer, QWidget* parent)> PrintDialog;

    void ZoomComboBoxChange(int index);
    void SetupToolButtonClick();
    void PrintToolButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<QPrinter> FPrinter;
    bool FShowMarginLines = true;
    bool FPrinting = false;
    void PaintRequested(QPrinter* printer);
};

// Shows the preview modally for the printable form, with the margins and orientation of the
// options, and gives back what the user left. Without any installed printer it only warns.
void ShowPrintPreview(IPrintableForm& printable, TPrintOptions& options);
// Whether the print system knows any printer; tests replace it (an empty hook asks the system).
void SetPrinterListHook(std::function<bool()> hasPrinters);
