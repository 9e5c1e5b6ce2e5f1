#pragma once
// The tree-properties dialog: the document's view settings, its currency format and its styles.
// One per main window, modeless and kept above it. It has no OK: every change of a control is
// one undo step on the tree, applied and repainted at once. Each activation reloads every
// control from the tree, so the dialog catches up with undo, redo and loading done meanwhile.
//
// Qt's controls signal changes made by code as well; filling the controls sets Updating, and no
// handler touches the document while it is set.

#include <QDateTime>
#include <QDialog>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;
class TBottomLine;
class TColorBox;
class TDecTree;
class TStringTree;
class TStringTreeColumn;
class TStringTreeNodeCollection;
class TStyle;
struct TTreeOptions;

class TTreePropertiesForm : public QDialog {
    Q_OBJECT
public:
    // Bound to tree for the form's lifetime; owner is the main window it stays above.
    TTreePropertiesForm(TDecTree* tree, QWidget* owner);
    ~TTreePropertiesForm() override;

    TDecTree* Tree() const { return FTree; }
    bool Updating() const { return FUpdating; }

    // Shows the form without making it modal and brings it to the front.
    void ShowTreeProperties();
    // Selects the style's state and type and shows the form on the "Styles" page. Raises
    // InvalidOperationException when no state or no type of the list holds the style.
    void ShowStyleInTreeProperties(TStyle* style);

    // Fills every control from the tree without changing it.
    void LoadFromTree();
    // Records one undo step under actionName; false (and nothing recorded) while Updating.
    bool BeginChange(const QString& actionName);
    void TreeChanged();
    // Symbol, decimals and (when both lists have a selection) the two format codes, one step.
    void ApplyCurrency();
    // The current date and time, the picker's value when a document has no status date.
    std::function<QDateTime()> Now;
    // The user's currency settings for "Read from Windows".
    std::function<void(TTreeOptions& options)> ReadSystemCurrency;

    // Handlers, public so that tests can drive them as the controls do.
    void FormActivate();
    void OutlineCodesCheckBoxClick();
    void ShowPayoffCheckBoxClick();
    void StatusDateTimePickerChange();
    void CurrencySymbolComboBoxChange();
    void DigitsAfterDecimalUpDownClick();
    void PositiveCurrencyFormatComboBoxChange();
    void NegativeCurrencyFormatComboBoxChange();
    void ReadWindowsButtonClick();
    void CloseButtonClick();

    // ---- Styles page ----
    void FillStyleStates();
    void FillStyleTypes();
    // One node for style under nodes and, below it, its child styles in order.
    void AddStyleNode(TStringTreeNodeCollection& nodes, TStyle* style);
    TStyle* GetSelectedStyle() const;
    void ShowSelectedStyle();
    // Enables the value controls from their Default boxes and, with apply, writes the rows into
    // the selected style as one undo step.
    void UpdateStyle(bool apply);
    // The style-type list's focused style name; empty when no type is focused.
    std::optional<QString> SelectedStyleName() const;
    // Focuses the type of that name; false when the list has none.
    bool SelectStyleName(const QString& name);

    // ---- Controls ----
    QLabel* Image = nullptr;
    QLabel* DecisionTreeNameLabel = nullptr;
    QTabWidget* PageControl = nullptr;
    QWidget* GeneralTabSheet = nullptr;
    QWidget* StylesTabSheet = nullptr;
    QWidget* CurrencyTabSheet = nullptr;
    QCheckBox* OutlineCodesCheckBox = nullptr;
    QCheckBox* ShowPayoffCheckBox = nullptr;
    QCheckBox* StatusDateCheckBox = nullptr;
    QDateTimeEdit* StatusDateTimePicker = nullptr;
    QComboBox* CurrencySymbolComboBox = nullptr;
    QSpinBox* DigitsAfterDecimalUpDown = nullptr;
    QComboBox* PositiveCurrencyFormatComboBox = nullptr;
    QComboBox* NegativeCurrencyFormatComboBox = nullptr;
    QPushButton* ReadWindowsButton = nullptr;
    QPushButton* CloseButton = nullptr;
    TBottomLine* BottomLine = nullptr;

    QComboBox* StyleStatesComboBox = nullptr;
    TStringTree* StyleTypesStringTree = nullptr;
    QTabWidget* StylesPageControl = nullptr;
    QWidget* StylesFillTabSheet = nullptr;
    QWidget* StylesLineTabSheet = nullptr;
    QWidget* StylesFontTabSheet = nullptr;
    QWidget* StylesShadowTabSheet = nullptr;
    QCheckBox* StylesFillModeDefaultCheckBox = nullptr;
    QComboBox* StylesFillModeComboBox = nullptr;
    QCheckBox* StylesBackgroundColorDefaultCheckBox = nullptr;
    TColorBox* StylesBackgroundColorBox = nullptr;
    QCheckBox* StylesLineWidthDefaultCheckBox = nullptr;
    QSpinBox* StylesLineWidthSpinEdit = nullptr;
    QCheckBox* StylesLineColorDefaultCheckBox = nullptr;
    TColorBox* StylesLineColorBox = nullptr;
    QCheckBox* StylesFontDefaultCheckBox = nullptr;
    QComboBox* StylesFontComboBox = nullptr;
    QCheckBox* StylesFontColorDefaultCheckBox = nullptr;
    TColorBox* StylesFontColorBox = nullptr;
    QCheckBox* StylesFontSizeDefaultCheckBox = nullptr;
    QComboBox* StylesFontSizeComboBox = nullptr;
    QCheckBox* StylesFontBoldDefaultCheckBox = nullptr;
    QCheckBox* StylesFontBoldCheckBox = nullptr;
    QCheckBox* StylesFontItalicDefaultCheckBox = nullptr;
    QCheckBox* StylesFontItalicCheckBox = nullptr;
    QCheckBox* StylesFontStrikeoutDefaultCheckBox = nullptr;
    QCheckBox* StylesFontStrikeoutCheckBox = nullptr;
    QCheckBox* StylesFontUnderlineDefaultCheckBox = nullptr;
    QCheckBox* StylesFontUnderlineCheckBox = nullptr;
    QCheckBox* StylesShadowDefaultCheckBox = nullptr;
    QComboBox* StylesShadowComboBox = nullptr;

protected:
    bool event(QEvent* event) override;

private:
    void CreateGeneralPage();
    void CreateCurrencyPage();
    void CreateStylesPage();
    void RebuildFormatLists();
    void ShowDecimals(int decimals);

    TDecTree* FTree;
    bool FUpdating = false;
    // The type list's two columns, owned by the list.
    TStringTreeColumn* FNameColumn = nullptr;
    TStringTreeColumn* FIdColumn = nullptr;
};
