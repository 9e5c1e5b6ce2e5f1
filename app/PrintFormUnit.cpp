#include "app/PrintFormUnit.h"

#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"
#include "shared/widgets/ScreenFit.h"

#include <QComboBox>
#include <QGraphicsView>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

std::function<bool()>& PrinterListHook()
{
    static std::function<bool()> hook;
    return hook;
}

bool HasPrinters()
{
    if (PrinterListHook())
        return PrinterListHook()();
    return !QPrinterInfo::availablePrinters().isEmpty();
}

// The page set-up's units: hundredths of a millimetre where the locale is metric, else
// thousandths of an inch.
QPageLayout::Unit MarginUnit() { return TMainForm::IsMetricLocale() ? QPageLayout::Millimeter : QPageLayout::Inch; }
double MarginUnitsPerLayoutUnit() { return TMainForm::IsMetricLocale() ? 100.0 : 1000.0; }

} // namespace

void SetPrinterListHook(std::function<bool()> hasPrinters) { PrinterListHook() = std::move(hasPrinters); }

TPrintForm::TPrintForm(QWidget* parentWindow)
    : TParentedForm(parentWindow), FPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setWindowTitle(QStringLiteral("Print Preview"));
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPointSize(8);
    setFont(tahoma);
    resize(585, 367);
    if (parentWindow)
        setWindowIcon(parentWindow->windowIcon());
    // Margins and margin lines are measured from the paper's edge.
    FPrinter->setFullPage(true);
    FPrinter->setPageMargins(QMarginsF(25, 25, 25, 25), QPageLayout::Millimeter);

    auto* toolBar = new QToolBar(this);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ZoomComboBox = new QComboBox(toolBar);
    ZoomComboBox->addItems({QStringLiteral("50%"), QStringLiteral("100%"), QStringLiteral("150%"), QStringLiteral("200%"),
                            QStringLiteral("Page Width"), QStringLiteral("Page Height"), QStringLiteral("Whole Page")});
    toolBar->addWidget(ZoomComboBox);
    toolBar->addSeparator();
    SetupToolButton = new QToolButton(toolBar);
    SetupToolButton->setText(QStringLiteral("Setup..."));
    toolBar->addWidget(SetupToolButton);
    PrintToolButton = new QToolButton(toolBar);
    PrintToolButton->setText(QStringLiteral("Print..."));
    toolBar->addWidget(PrintToolButton);

    PrintPreview = new QPrintPreviewWidget(FPrinter.get(), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(PrintPreview, 1);

    PageSetupDialog = [](QPrinter& printer, QWidget* parent) {
        QPageSetupDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    };
    PrintDialog = [](QPrinter& printer, QWidget* parent) {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    };

    ZoomComboBox->setCurrentIndex(6);
    PrintPreview->setZoomMode(QPrintPreviewWidget::FitInView);
    connect(ZoomComboBox, &QComboBox::currentIndexChanged, this, &TPrintForm::ZoomComboBoxChange);
    connect(SetupToolButton, &QToolButton::clicked, this, &TPrintForm::SetupToolButtonClick);
    connect(PrintToolButton, &QToolButton::clicked, this, &TPrintForm::PrintToolButtonClick);
    connect(PrintPreview, &QPrintPreviewWidget::paintRequested, this, &TPrintForm::PaintRequested);
    FitToScreen(this);
}

TPrintForm::~TPrintForm() = default;

TMarginsRect TPrintForm::Margins() const
{
    const QMarginsF m = FPrinter->pageLayout().margins(MarginUnit());
    const double k = MarginUnitsPerLayoutUnit();
    return TMarginsRect::Make(int32_t(std::lround(m.left() * k)), int32_t(std::lround(m.top() * k)),
                              int32_t(std::lround(m.right() * k)), int32_t(std::lround(m.bottom() * k)));
}

void TPrintForm::SetMargins(const TMarginsRect& margins)
{
    const double k = MarginUnitsPerLayoutUnit();
    QPageLayout layout = FPrinter->pageLayout();
    // Margins beyond the paper are cut to what it holds rather than ignored.
    layout.setMode(QPageLayout::FullPageMode);
    layout.setUnits(MarginUnit());
    layout.setMargins(QMarginsF(margins.Left / k, margins.Top / k, margins.Right / k, margins.Bottom / k));
    FPrinter->setPageLayout(layout);
}

void TPrintForm::RenderPages(bool showMarginLines)
{
    FShowMarginLines = showMarginLines;
    PrintPreview->updatePreview();
}

void TPrintForm::PaintRequested(QPrinter* printer)
{
    if (Printable && printer)
        Printable->PaintForPrinting(*printer, Margins(), FShowMarginLines);
}

void TPrintForm::showEvent(QShowEvent* event)
{
    TParentedForm::showEvent(event);
    RenderPages(true);
}

void TPrintForm::ZoomComboBoxChange(int index)
{
    static constexpr double Factors[] = {0.5, 1.0, 1.5, 2.0};
    if (index >= 0 && index < 4) {
        PrintPreview->setZoomMode(QPrintPreviewWidget::CustomZoom);
        PrintPreview->setZoomFactor(Factors[index]);
    } else if (index == 4) {
        PrintPreview->fitToWidth();
    } else if (index == 5) {
        // The page's height fills the view: the width's fit, scaled by the view's shape against
        // the paper's.
        PrintPreview->fitToWidth();
        const QSizeF paper = FPrinter->pageLayout().fullRectPoints().size();
        const QSize view = PrintPreview->size();
        if (paper.height() > 0 && view.width() > 0) {
            const double factor = PrintPreview->zoomFactor() * (double(view.height()) * paper.width()) /
                                  (double(view.width()) * paper.height());
            PrintPreview->setZoomMode(QPrintPreviewWidget::CustomZoom);
            PrintPreview->setZoomFactor(factor);
        }
    } else if (index == 6) {
        PrintPreview->fitInView();
    }
}

void TPrintForm::SetupToolButtonClick()
{
    if (PageSetupDialog && PageSetupDialog(*FPrinter, this))
        RenderPages(true);
}

void TPrintForm::PrintToolButtonClick()
{
    if (FPrinting || !PrintDialog || !PrintDialog(*FPrinter, this))
        return;
    FPrinting = true;
    RenderPages(false);
    PrintPreview->print();
    FPrinting = false;
    RenderPages(true);
}

void ShowPrintPreview(IPrintableForm& printable, TPrintOptions& options)
{
    QWidget* owner = printable.GetForm();
    if (!HasPrinters()) {
        MessageDlg(owner, QStringLiteral("No printer is currently installed in the system."), TMsgDlgType::Warning, mbOK);
        return;
    }
    // Freed with its window should that close first.
    QPointer<TPrintForm> form = new TPrintForm(owner);
    form->SetMargins(options.Margins);
    form->Printer().setPageOrientation(options.Landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    form->Printable = &printable;
    form->exec();
    if (!form)
        return;
    options.Margins = form->Margins();
    options.Landscape = form->Printer().pageLayout().orientation() == QPageLayout::Landscape;
    delete form;
}
