// The "Styles" page of the tree-properties dialog: one style of one state, its twelve settings
// each with a "Default" box that means "inherit".

#include "app/forms/TreePropertiesFormUnit.h"

#include "Component/control/DecTree.h"
#include "Component/styles/StyleStates.h"
#include "app/forms/TreePropertiesStrings.h"
#include "shared/core/Exceptions.h"
#include "shared/widgets/ColorBox.h"
#include "shared/widgets/StringTree.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int DefaultFontSize = 8;
// Marks a font-list entry made for a name that is not installed.
constexpr int UnlistedFontRole = Qt::UserRole + 1;

void ShowFontName(QComboBox* list, const QString& name)
{
    for (int i = list->count() - 1; i >= 0; --i)
        if (list->itemData(i, UnlistedFontRole).toBool())
            list->removeItem(i);
    int index = list->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        // The document's name is kept verbatim, even though another font draws it here.
        list->insertItem(0, name);
        list->setItemData(0, true, UnlistedFontRole);
        index = 0;
    }
    list->setCurrentIndex(index);
}

template <typename Setting, typename Value>
void WriteRow(Setting* setting, const QCheckBox* defaultBox, const Value& value)
{
    setting->Inherit = defaultBox->isChecked();
    // An inheriting setting keeps its own value: touching one row never rewrites another.
    if (!setting->Inherit)
        setting->Value = value;
}

} // namespace

void TTreePropertiesForm::CreateStylesPage()
{
    using namespace TreePropertiesStrings;
    StylesTabSheet = new QWidget(PageControl);
    StyleStatesComboBox = new QComboBox(StylesTabSheet);
    StyleTypesStringTree = new TStringTree(StylesTabSheet);
    StyleTypesStringTree->SetShowTreeLines(true);
    StyleTypesStringTree->SetShowRoot(true);
    StyleTypesStringTree->SetShowCheckBoxes(false);
    StyleTypesStringTree->SetHeaderVisible(false);
    StyleTypesStringTree->SetMultiSelect(false);
    StyleTypesStringTree->SetIndent(12);
    StyleTypesStringTree->SetDefaultNodeHeight(18);
    StyleTypesStringTree->setMinimumHeight(120);
    StyleTypesStringTree->OnFocusChanged = [this](TStringTree*, TStringTreeNode*, TStringTreeColumn*) {
        ShowSelectedStyle();
    };

    StylesPageControl = new QTabWidget(StylesTabSheet);
    auto addPage = [&](const QString& caption) {
        auto* page = new QWidget(StylesPageControl);
        new QGridLayout(page);
        StylesPageControl->addTab(page, caption);
        return page;
    };
    StylesFillTabSheet = addPage(Fill);
    StylesLineTabSheet = addPage(Line);
    StylesFontTabSheet = addPage(Font);
    StylesShadowTabSheet = addPage(Shadow);

    auto addRow = [&](QWidget* page, const QString& label, QCheckBox*& defaultBox, auto* value) {
        auto* grid = static_cast<QGridLayout*>(page->layout());
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(label, page), row, 0);
        defaultBox = new QCheckBox(Default, page);
        defaultBox->setChecked(true);
        grid->addWidget(defaultBox, row, 1);
        value->setParent(page);
        value->setEnabled(false);
        grid->addWidget(value, row, 2);
        grid->setColumnStretch(2, 1);
        connect(defaultBox, &QCheckBox::toggled, this, [this] { UpdateStyle(true); });
        return value;
    };
    auto comboBox = [](const QStringList& items) {
        auto* box = new QComboBox;
        box->addItems(items);
        return box;
    };
    auto checkBox = [](const QString& caption) { return new QCheckBox(caption); };

    StylesFillModeComboBox = addRow(StylesFillTabSheet, QStringLiteral("Fill Mode:"), StylesFillModeDefaultCheckBox,
                                    comboBox({QStringLiteral("Solid"), QStringLiteral("Gradient")}));
    StylesBackgroundColorBox =
        addRow(StylesFillTabSheet, QStringLiteral("Color:"), StylesBackgroundColorDefaultCheckBox, new TColorBox);
    StylesLineWidthSpinEdit =
        addRow(StylesLineTabSheet, QStringLiteral("Width:"), StylesLineWidthDefaultCheckBox, new QSpinBox);
    StylesLineWidthSpinEdit->setRange(MinLineWidth, MaxLineWidth);
    StylesLineWidthSpinEdit->setKeyboardTracking(false);
    StylesLineColorBox =
        addRow(StylesLineTabSheet, QStringLiteral("Color:"), StylesLineColorDefaultCheckBox, new TColorBox);
    StylesFontComboBox =
        addRow(StylesFontTabSheet, QStringLiteral("Name:"), StylesFontDefaultCheckBox, new QComboBox);
    QStringList families = QFontDatabase::families();
    families.sort(Qt::CaseInsensitive);
    for (const QString& family : families) {
        StylesFontComboBox->addItem(family);
        StylesFontComboBox->setItemData(StylesFontComboBox->count() - 1, QFont(family), Qt::FontRole);
    }
    StylesFontColorBox =
        addRow(StylesFontTabSheet, QStringLiteral("Color:"), StylesFontColorDefaultCheckBox, new TColorBox);
    StylesFontSizeComboBox = addRow(StylesFontTabSheet, QStringLiteral("Size:"), StylesFontSizeDefaultCheckBox,
                                    comboBox({"8", "9", "10", "11", "12", "14", "16", "18", "20", "22", "24",
                                              "26", "28", "36", "48", "72"}));
    StylesFontSizeComboBox->setEditable(true);
    StylesFontSizeComboBox->setInsertPolicy(QComboBox::NoInsert);
    // Every text change is applied as a step of its own; completing "2" to "20" would make one
    // keystroke two steps and store a size nobody typed.
    StylesFontSizeComboBox->setCompleter(nullptr);
    StylesFontBoldCheckBox = addRow(StylesFontTabSheet, QStringLiteral("Bold:"), StylesFontBoldDefaultCheckBox,
                                    checkBox(QStringLiteral("Bold")));
    StylesFontItalicCheckBox = addRow(StylesFontTabSheet, QStringLiteral("Italic:"),
                                      StylesFontItalicDefaultCheckBox, checkBox(QStringLiteral("Italic")));
    StylesFontStrikeoutCheckBox = addRow(StylesFontTabSheet, QStringLiteral("Strikeout:"),
                                         StylesFontStrikeoutDefaultCheckBox, checkBox(QStringLiteral("Strikeout")));
    StylesFontUnderlineCheckBox = addRow(StylesFontTabSheet, QStringLiteral("Underline:"),
                                         StylesFontUnderlineDefaultCheckBox, checkBox(QStringLiteral("Underline")));
    StylesShadowComboBox =
        addRow(StylesShadowTabSheet, QStringLiteral("Style:"), StylesShadowDefaultCheckBox,
               comboBox({QStringLiteral("None"), QStringLiteral("Hard"), QStringLiteral("Smooth")}));
    for (QWidget* page : {StylesFillTabSheet, StylesLineTabSheet, StylesFontTabSheet, StylesShadowTabSheet})
        static_cast<QGridLayout*>(page->layout())->setRowStretch(page->layout()->count(), 1);

    auto apply = [this] { UpdateStyle(true); };
    connect(StylesFillModeComboBox, &QComboBox::currentIndexChanged, this, apply);
    connect(StylesShadowComboBox, &QComboBox::currentIndexChanged, this, apply);
    connect(StylesFontComboBox, &QComboBox::currentIndexChanged, this, apply);
    connect(StylesFontSizeComboBox, &QComboBox::currentTextChanged, this, apply);
    connect(StylesLineWidthSpinEdit, &QSpinBox::valueChanged, this, apply);
    for (TColorBox* box : {StylesBackgroundColorBox, StylesLineColorBox, StylesFontColorBox})
        connect(box, &TColorBox::ColorChanged, this, apply);
    for (QCheckBox* box :
         {StylesFontBoldCheckBox, StylesFontItalicCheckBox, StylesFontStrikeoutCheckBox, StylesFontUnderlineCheckBox})
        connect(box, &QCheckBox::toggled, this, apply);
    connect(StyleStatesComboBox, &QComboBox::currentIndexChanged, this, [this] { ShowSelectedStyle(); });

    auto* layout = new QVBoxLayout(StylesTabSheet);
    layout->addWidget(new QLabel(NodeState, StylesTabSheet));
    layout->addWidget(StyleStatesComboBox);
    layout->addWidget(new QLabel(NodeType, StylesTabSheet));
    layout->addWidget(StyleTypesStringTree, 1);
    layout->addWidget(new QLabel(SettingsCaption, StylesTabSheet));
    layout->addWidget(StylesPageControl);
    PageControl->addTab(StylesTabSheet, Styles);
}

void TTreePropertiesForm::FillStyleStates()
{
    const bool kept = FUpdating;
    FUpdating = true;
    StyleStatesComboBox->clear();
    for (int i = 0; i < TStyleStates::StateCount; ++i)
        StyleStatesComboBox->addItem(FTree->StyleStates().State(i)->DisplayName, i);
    StyleStatesComboBox->setCurrentIndex(0);
    FUpdating = kept;
}

TStyle* TTreePropertiesForm::GetSelectedStyle() const
{
    const std::optional<QString> name = SelectedStyleName();
    const int state = StyleStatesComboBox->currentIndex();
    if (!name || state < 0)
        return nullptr;
    return FTree->StyleStates().State(StyleStatesComboBox->itemData(state).toInt())->RootStyle()->FindStyle(*name);
}

namespace {

int FillModeIndex(TBackgroundFillMode value)
{
    switch (value) {
    case TBackgroundFillMode::Solid: return 0;
    case TBackgroundFillMode::Gradient: return 1;
    }
    throw ArgumentOutOfRangeException(QStringLiteral("Value is not a valid TBackgroundFillMode"));
}

int ShadowIndex(TShadowStyle value)
{
    switch (value) {
    case TShadowStyle::None: return 0;
    case TShadowStyle::Hard: return 1;
    case TShadowStyle::Soft: return 2;
    }
    throw ArgumentOutOfRangeException(QStringLiteral("Value is not a valid TShadowMode"));
}

TBackgroundFillMode FillModeAt(int index)
{
    switch (index) {
    case 0: return TBackgroundFillMode::Solid;
    case 1: return TBackgroundFillMode::Gradient;
    }
    throw ArgumentException(QStringLiteral("StylesFillModeComboBox.ItemIndex is not valid"));
}

TShadowStyle ShadowAt(int index)
{
    switch (index) {
    case 0: return TShadowStyle::None;
    case 1: return TShadowStyle::Hard;
    case 2: return TShadowStyle::Soft;
    }
    throw ArgumentException(QStringLiteral("StylesShadowComboBox.ItemIndex is not valid"));
}

} // namespace

void TTreePropertiesForm::ShowSelectedStyle()
{
    TStyle* style = GetSelectedStyle();
    if (!style)
        return;
    const bool kept = FUpdating;
    FUpdating = true;
    const bool canInherit = style->Parent() || style->AltStyleCount() > 0;
    auto showDefault = [canInherit](QCheckBox* box, const TCascadedStyleSetting* setting) {
        box->setChecked(setting->Inherit && canInherit);
        box->setEnabled(canInherit);
    };
    showDefault(StylesFillModeDefaultCheckBox, style->FillMode());
    StylesFillModeComboBox->setCurrentIndex(FillModeIndex(style->FillMode()->EffectiveValue()));
    showDefault(StylesBackgroundColorDefaultCheckBox, style->BackgroundColor());
    StylesBackgroundColorBox->SetSelected(style->BackgroundColor()->EffectiveValue());
    showDefault(StylesLineWidthDefaultCheckBox, style->LineWidth());
    // A width outside what the control offers is shown and kept, not clamped by the control.
    const int width = style->LineWidth()->EffectiveValue();
    StylesLineWidthSpinEdit->setRange(std::min(MinLineWidth, width), std::max(MaxLineWidth, width));
    StylesLineWidthSpinEdit->setValue(width);
    showDefault(StylesLineColorDefaultCheckBox, style->LineColor());
    StylesLineColorBox->SetSelected(style->LineColor()->EffectiveValue());
    showDefault(StylesFontDefaultCheckBox, style->FontName());
    ShowFontName(StylesFontComboBox, style->FontName()->EffectiveValue());
    showDefault(StylesFontColorDefaultCheckBox, style->FontColor());
    StylesFontColorBox->SetSelected(style->FontColor()->EffectiveValue());
    showDefault(StylesFontSizeDefaultCheckBox, style->FontSize());
    StylesFontSizeComboBox->setCurrentText(QString::number(style->FontSize()->EffectiveValue()));
    showDefault(StylesFontBoldDefaultCheckBox, style->FontBold());
    StylesFontBoldCheckBox->setChecked(style->FontBold()->EffectiveValue());
    showDefault(StylesFontItalicDefaultCheckBox, style->FontItalic());
    StylesFontItalicCheckBox->setChecked(style->FontItalic()->EffectiveValue());
    showDefault(StylesFontStrikeoutDefaultCheckBox, style->FontStrikeOut());
    StylesFontStrikeoutCheckBox->setChecked(style->FontStrikeOut()->EffectiveValue());
    showDefault(StylesFontUnderlineDefaultCheckBox, style->FontUnderline());
    StylesFontUnderlineCheckBox->setChecked(style->FontUnderline()->EffectiveValue());
    showDefault(StylesShadowDefaultCheckBox, style->Shadow());
    StylesShadowComboBox->setCurrentIndex(ShadowIndex(style->Shadow()->EffectiveValue()));

    for (QWidget* page : {StylesFillTabSheet, StylesFontTabSheet, StylesShadowTabSheet})
        StylesPageControl->setTabVisible(StylesPageControl->indexOf(page), !style->LineOnly);
    if (style->LineOnly)
        StylesPageControl->setCurrentWidget(StylesLineTabSheet);
    FUpdating = kept;
    UpdateStyle(false);
}

void TTreePropertiesForm::UpdateStyle(bool apply)
{
    if (FUpdating)
        return;
    const std::pair<QCheckBox*, QWidget*> rows[] = {
        {StylesFillModeDefaultCheckBox, StylesFillModeComboBox},
        {StylesBackgroundColorDefaultCheckBox, StylesBackgroundColorBox},
        {StylesLineWidthDefaultCheckBox, StylesLineWidthSpinEdit},
        {StylesLineColorDefaultCheckBox, StylesLineColorBox},
        {StylesFontDefaultCheckBox, StylesFontComboBox},
        {StylesFontColorDefaultCheckBox, StylesFontColorBox},
        {StylesFontSizeDefaultCheckBox, StylesFontSizeComboBox},
        {StylesFontBoldDefaultCheckBox, StylesFontBoldCheckBox},
        {StylesFontItalicDefaultCheckBox, StylesFontItalicCheckBox},
        {StylesFontStrikeoutDefaultCheckBox, StylesFontStrikeoutCheckBox},
        {StylesFontUnderlineDefaultCheckBox, StylesFontUnderlineCheckBox},
        {StylesShadowDefaultCheckBox, StylesShadowComboBox},
    };
    for (const auto& [defaultBox, value] : rows)
        value->setEnabled(!defaultBox->isChecked());
    if (!apply)
        return;
    // Nothing is recorded or written before the style is known.
    TStyle* style = GetSelectedStyle();
    if (!style || !BeginChange(TreePropertiesStrings::UndoModifyStyle))
        return;
    bool isNumber = false;
    int size = StylesFontSizeComboBox->currentText().trimmed().toInt(&isNumber);
    if (!isNumber)
        size = DefaultFontSize;
    WriteRow(style->FillMode(), StylesFillModeDefaultCheckBox, FillModeAt(StylesFillModeComboBox->currentIndex()));
    WriteRow(style->BackgroundColor(), StylesBackgroundColorDefaultCheckBox, StylesBackgroundColorBox->Selected());
    WriteRow(style->LineWidth(), StylesLineWidthDefaultCheckBox, StylesLineWidthSpinEdit->value());
    WriteRow(style->LineColor(), StylesLineColorDefaultCheckBox, StylesLineColorBox->Selected());
    WriteRow(style->FontName(), StylesFontDefaultCheckBox, StylesFontComboBox->currentText());
    WriteRow(style->FontColor(), StylesFontColorDefaultCheckBox, StylesFontColorBox->Selected());
    WriteRow(style->FontSize(), StylesFontSizeDefaultCheckBox, size);
    WriteRow(style->FontBold(), StylesFontBoldDefaultCheckBox, StylesFontBoldCheckBox->isChecked());
    WriteRow(style->FontItalic(), StylesFontItalicDefaultCheckBox, StylesFontItalicCheckBox->isChecked());
    WriteRow(style->FontStrikeOut(), StylesFontStrikeoutDefaultCheckBox, StylesFontStrikeoutCheckBox->isChecked());
    WriteRow(style->FontUnderline(), StylesFontUnderlineDefaultCheckBox, StylesFontUnderlineCheckBox->isChecked());
    WriteRow(style->Shadow(), StylesShadowDefaultCheckBox, ShadowAt(StylesShadowComboBox->currentIndex()));
    TreeChanged();
}

void TTreePropertiesForm::ShowStyleInTreeProperties(TStyle* style)
{
    if (!style)
        throw InvalidOperationException(QStringLiteral("Style State to select was not found"));
    bool found = false;
    for (int i = 0; i < StyleStatesComboBox->count() && !found; ++i) {
        TStyleState* state = FTree->StyleStates().State(StyleStatesComboBox->itemData(i).toInt());
        if (state->RootStyle()->FindStyle(style->Name) != style)
            continue;
        found = true;
        StyleStatesComboBox->setCurrentIndex(i);
        if (!SelectStyleName(style->Name))
            throw InvalidOperationException(QStringLiteral("Style Node to select was not found"));
    }
    if (!found)
        throw InvalidOperationException(QStringLiteral("Style State to select was not found"));
    PageControl->setCurrentWidget(StylesTabSheet);
    ShowTreeProperties();
}
