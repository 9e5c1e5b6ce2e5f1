#include "app/forms/TreePropertiesFormUnit.h"

#include "Component/control/DecTree.h"
#include "Component/control/EditDueDateForm.h"
#include "app/MainFormUnit.h"
#include "app/Startup.h"
#include "app/forms/OptionsFormUnit.h"
#include "app/forms/TreePropertiesStrings.h"
#include "shared/core/CurrencyLayouts.h"
#include "shared/core/LocaleNumbers.h"
#include "shared/widgets/BottomLine.h"
#include "shared/widgets/ScreenFit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int MaxOfferedDecimals = 10;
const QDate EarliestStatusDate(2000, 1, 1);

QString FormatEntry(const char* pattern, const QString& symbol, const QString& number)
{
    QString text;
    for (const char* p = pattern; *p; ++p) {
        if (*p == '$')
            text += symbol;
        else if (*p == 'N')
            text += number;
        else
            text += QLatin1Char(*p);
    }
    return text;
}

void FillFormatList(QComboBox* list, const char* const* patterns, int count, const QString& symbol,
                    const QString& number)
{
    const QSignalBlocker blocker(list);
    const int kept = list->currentIndex();
    list->clear();
    for (int i = 0; i < count; ++i)
        list->addItem(FormatEntry(patterns[i], symbol, number));
    list->setCurrentIndex(kept < count ? kept : -1);
}

} // namespace

TTreePropertiesForm::TTreePropertiesForm(TDecTree* tree, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      FTree(tree)
{
    using namespace TreePropertiesStrings;
    setObjectName(QStringLiteral("TreePropertiesForm"));
    setWindowTitle(Caption);
    setModal(false);
    Now = [] { return QDateTime::currentDateTime(); };
    ReadSystemCurrency = [](TTreeOptions& options) { ApplySystemCurrency(options); };

    Image = new QLabel(this);
    Image->setPixmap(ProgramIcon().pixmap(32, 32));
    Image->setFixedSize(32, 32);
    DecisionTreeNameLabel = new QLabel(this);
    QFont bold = DecisionTreeNameLabel->font();
    bold.setBold(true);
    DecisionTreeNameLabel->setFont(bold);
    auto* heading = new QHBoxLayout;
    heading->addWidget(Image);
    heading->addWidget(DecisionTreeNameLabel, 1);
    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    CreateGeneralPage();
    CreateStylesPage();
    CreateCurrencyPage();
    PageControl->setCurrentWidget(GeneralTabSheet);

    CloseButton = new QPushButton(Close, this);
    CloseButton->setDefault(true);
    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);

    // The pages scroll where a small screen leaves less room than they need; heading and Close
    // stay in view.
    auto* pages = new QScrollArea(this);
    pages->setFrameShape(QFrame::NoFrame);
    pages->setWidgetResizable(true);
    pages->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pages->setWidget(PageControl);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addWidget(separator);
    layout->addWidget(pages, 1);
    layout->addLayout(buttons);
    BottomLine = new TBottomLine(this);
    BottomLine->SetTitle(TOptionsForm::MakerWebAddress);
    layout->addWidget(BottomLine);
    // A dialog border: no sizing, no minimise or maximise button. As large as the pages need
    // where the screen has room.
    const QSize unscrolled = minimumSizeHint() + PageControl->minimumSizeHint() - pages->minimumSizeHint();
    setFixedSize(QSize(510, 538).expandedTo(unscrolled));
    FitToScreen(this);

    FillStyleStates();
    FillStyleTypes();
}

TTreePropertiesForm::~TTreePropertiesForm() = default;

void TTreePropertiesForm::CreateGeneralPage()
{
    using namespace TreePropertiesStrings;
    GeneralTabSheet = new QWidget(PageControl);
    OutlineCodesCheckBox = new QCheckBox(ShowOutlineCodes, GeneralTabSheet);
    ShowPayoffCheckBox = new QCheckBox(ShowPayoffValues, GeneralTabSheet);
    // The picker's own check box: cleared means "no status date, use today".
    StatusDateCheckBox = new QCheckBox(GeneralTabSheet);
    StatusDateTimePicker = new QDateTimeEdit(GeneralTabSheet);
    StatusDateTimePicker->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
    StatusDateTimePicker->setCalendarPopup(true);
    StatusDateTimePicker->setMinimumDate(EarliestStatusDate);
    auto* date = new QHBoxLayout;
    date->addWidget(StatusDateCheckBox);
    date->addWidget(StatusDateTimePicker, 1);

    auto* layout = new QVBoxLayout(GeneralTabSheet);
    layout->addWidget(OutlineCodesCheckBox);
    layout->addWidget(ShowPayoffCheckBox);
    layout->addSpacing(12);
    layout->addWidget(new QLabel(StatusDate, GeneralTabSheet));
    layout->addLayout(date);
    layout->addWidget(new QLabel(StatusDateDontSpecify, GeneralTabSheet));
    layout->addStretch(1);
    PageControl->addTab(GeneralTabSheet, General);

    connect(OutlineCodesCheckBox, &QCheckBox::toggled, this, [this] { OutlineCodesCheckBoxClick(); });
    connect(ShowPayoffCheckBox, &QCheckBox::toggled, this, [this] { ShowPayoffCheckBoxClick(); });
    connect(StatusDateCheckBox, &QCheckBox::toggled, this, [this](bool checked) {
        StatusDateTimePicker->setEnabled(checked);
        StatusDateTimePickerChange();
    });
    connect(StatusDateTimePicker, &QDateTimeEdit::dateTimeChanged, this, [this] {
        // Only a date that counts is stored; moving the picker while it is unchecked is no change.
        if (StatusDateCheckBox->isChecked())
            StatusDateTimePickerChange();
    });
}

void TTreePropertiesForm::CreateCurrencyPage()
{
    using namespace TreePropertiesStrings;
    CurrencyTabSheet = new QWidget(PageControl);
    CurrencySymbolComboBox = new QComboBox(CurrencyTabSheet);
    CurrencySymbolComboBox->setEditable(true);
    CurrencySymbolComboBox->setInsertPolicy(QComboBox::NoInsert);
    CurrencySymbolComboBox->addItems({QString(QChar(0x20AC)), QStringLiteral("$"), QString(QChar(0x00A3))});
    DigitsAfterDecimalUpDown = new QSpinBox(CurrencyTabSheet);
    DigitsAfterDecimalUpDown->setRange(0, MaxOfferedDecimals);
    DigitsAfterDecimalUpDown->setValue(2);
    // A typed count counts when the edit is left, as the arrows count at once.
    DigitsAfterDecimalUpDown->setKeyboardTracking(false);
    PositiveCurrencyFormatComboBox = new QComboBox(CurrencyTabSheet);
    PositiveCurrencyFormatComboBox->setMaxVisibleItems(16);
    NegativeCurrencyFormatComboBox = new QComboBox(CurrencyTabSheet);
    NegativeCurrencyFormatComboBox->setMaxVisibleItems(16);

    auto* layout = new QFormLayout(CurrencyTabSheet);
    layout->addRow(CurrencySymbol, CurrencySymbolComboBox);
    layout->addRow(DigitsAfterDecimal, DigitsAfterDecimalUpDown);
    layout->addRow(PositiveCurrencyFormat, PositiveCurrencyFormatComboBox);
    layout->addRow(NegativeCurrencyFormat, NegativeCurrencyFormatComboBox);
    ReadWindowsButton = new QPushButton(ReadWindows, CurrencyTabSheet);
    auto* readRow = new QHBoxLayout;
    readRow->addWidget(ReadWindowsButton);
    readRow->addStretch(1);
    layout->addRow(QString(), readRow);
    connect(ReadWindowsButton, &QPushButton::clicked, this, [this] { ReadWindowsButtonClick(); });
    PageControl->addTab(CurrencyTabSheet, CurrencyFormat);

    connect(CurrencySymbolComboBox, &QComboBox::currentTextChanged, this, [this] { CurrencySymbolComboBoxChange(); });
    connect(DigitsAfterDecimalUpDown, &QSpinBox::valueChanged, this, [this] { DigitsAfterDecimalUpDownClick(); });
    connect(PositiveCurrencyFormatComboBox, &QComboBox::currentIndexChanged, this,
            [this] { PositiveCurrencyFormatComboBoxChange(); });
    connect(NegativeCurrencyFormatComboBox, &QComboBox::currentIndexChanged, this,
            [this] { NegativeCurrencyFormatComboBoxChange(); });
}

bool TTreePropertiesForm::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(event);
}

void TTreePropertiesForm::ShowTreeProperties()
{
    // Not every window system activates a window that asks for it; the controls must not show
    // another document's values all the same.
    LoadFromTree();
    show();
    raise();
    activateWindow();
}

void TTreePropertiesForm::FormActivate()
{
    LoadFromTree();
}

void TTreePropertiesForm::ShowDecimals(int decimals)
{
    // A document may hold more decimals than the dialog offers; it shows them and keeps them.
    DigitsAfterDecimalUpDown->setMaximum(std::max(MaxOfferedDecimals, decimals));
    DigitsAfterDecimalUpDown->setValue(decimals);
}

void TTreePropertiesForm::LoadFromTree()
{
    const bool kept = FUpdating;
    FUpdating = true;
    const TTreeOptions& options = FTree->Options();
    DecisionTreeNameLabel->setText(FTree->Root() ? FTree->Root()->Caption : QString());
    OutlineCodesCheckBox->setChecked(options.OutlineCodes);
    ShowPayoffCheckBox->setChecked(options.ShowPayoff);
    CurrencySymbolComboBox->setCurrentText(options.CurrencySymbol);
    ShowDecimals(options.CurrencyDecimals);
    RebuildFormatLists();
    PositiveCurrencyFormatComboBox->setCurrentIndex(options.CurrencyPosFormat);
    NegativeCurrencyFormatComboBox->setCurrentIndex(options.CurrencyNegFormat);
    if (options.StatusDate == 0) {
        StatusDateTimePicker->setMinimumDate(EarliestStatusDate);
        StatusDateTimePicker->setDateTime(Now());
        StatusDateCheckBox->setChecked(false);
    } else {
        // An earlier date than the picker offers is shown as it is, not moved to its first day.
        const QDateTime date = DueDateToDateTime(options.StatusDate);
        StatusDateTimePicker->setMinimumDate(std::min(EarliestStatusDate, date.date()));
        StatusDateTimePicker->setDateTime(date);
        StatusDateCheckBox->setChecked(true);
    }
    StatusDateTimePicker->setEnabled(StatusDateCheckBox->isChecked());
    ShowSelectedStyle();
    FUpdating = kept;
    UpdateStyle(false);
}

bool TTreePropertiesForm::BeginChange(const QString& actionName)
{
    if (FUpdating)
        return false;
    FTree->UndoManager().SaveState(actionName);
    return true;
}

void TTreePropertiesForm::TreeChanged()
{
    FTree->Recalculate();
}

void TTreePropertiesForm::OutlineCodesCheckBoxClick()
{
    if (!BeginChange(TreePropertiesStrings::UndoTreeProperties))
        return;
    FTree->Options().SetOutlineCodes(OutlineCodesCheckBox->isChecked());
    TreeChanged();
}

void TTreePropertiesForm::ShowPayoffCheckBoxClick()
{
    if (!BeginChange(TreePropertiesStrings::UndoShowPayoff))
        return;
    FTree->Options().SetShowPayoff(ShowPayoffCheckBox->isChecked());
    TreeChanged();
}

void TTreePropertiesForm::StatusDateTimePickerChange()
{
    if (!BeginChange(TreePropertiesStrings::UndoTreeProperties))
        return;
    FTree->Options().SetStatusDate(
        StatusDateCheckBox->isChecked() ? DueDateFromDateTime(StatusDateTimePicker->dateTime()) : 0);
    TreeChanged();
}

void TTreePropertiesForm::RebuildFormatLists()
{
    const QString symbol = CurrencySymbolComboBox->currentText();
    const QString number = FormatLocaleNumber(1.1, DigitsAfterDecimalUpDown->value());
    FillFormatList(PositiveCurrencyFormatComboBox, PositiveCurrencyLayouts, 4, symbol, number);
    FillFormatList(NegativeCurrencyFormatComboBox, NegativeCurrencyLayouts, 16, symbol, number);
}

void TTreePropertiesForm::ApplyCurrency()
{
    if (!BeginChange(TreePropertiesStrings::UndoTreeProperties))
        return;
    TTreeOptions& options = FTree->Options();
    options.SetCurrencySymbol(CurrencySymbolComboBox->currentText());
    options.SetCurrencyDecimals(DigitsAfterDecimalUpDown->value());
    const int positive = PositiveCurrencyFormatComboBox->currentIndex();
    const int negative = NegativeCurrencyFormatComboBox->currentIndex();
    if (positive >= 0 && negative >= 0) {
        options.SetCurrencyPosFormat(positive);
        options.SetCurrencyNegFormat(negative);
    }
    TreeChanged();
}

void TTreePropertiesForm::CurrencySymbolComboBoxChange()
{
    if (FUpdating)
        return;
    // The lists are rebuilt without signals, so one change is one undo step.
    RebuildFormatLists();
    ApplyCurrency();
}

void TTreePropertiesForm::DigitsAfterDecimalUpDownClick()
{
    CurrencySymbolComboBoxChange();
}

void TTreePropertiesForm::PositiveCurrencyFormatComboBoxChange()
{
    ApplyCurrency();
}

void TTreePropertiesForm::NegativeCurrencyFormatComboBoxChange()
{
    ApplyCurrency();
}

void TTreePropertiesForm::ReadWindowsButtonClick()
{
    TTreeOptions system;
    ReadSystemCurrency(system);
    const bool kept = FUpdating;
    FUpdating = true;
    CurrencySymbolComboBox->setCurrentText(system.CurrencySymbol);
    ShowDecimals(system.CurrencyDecimals);
    RebuildFormatLists();
    PositiveCurrencyFormatComboBox->setCurrentIndex(system.CurrencyPosFormat);
    NegativeCurrencyFormatComboBox->setCurrentIndex(system.CurrencyNegFormat);
    FUpdating = kept;
    ApplyCurrency();
}

void TTreePropertiesForm::CloseButtonClick()
{
    hide();
}
