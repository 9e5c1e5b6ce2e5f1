#include "app/forms/PayoffMode.h"

#include "app/MessageDialogs.h"
#include "app/forms/ExternalDataStrings.h"
#include "Component/formula/FunctionParser.h"
#include "shared/core/Exceptions.h"
#include "shared/core/LocaleNumbers.h"
#include "shared/core/StringHelpers.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace S = ExternalDataStrings;

namespace {

TEditPayoffRunner Runner;

// A stored amount written with '.' whatever the locale; false when it does not read back.
bool ReadInvariantMoney(const QString& text, qint64& money)
{
    try {
        QString why;
        return ValueToMoney(InvariantStringToFloat(text), money, why);
    } catch (const EConvertError&) {
        return false;
    }
}

QString InvariantMoney(qint64 money)
{
    return FloatToInvariantString(double(money) / 10000.0);
}

QLabel* ResultPanel(QWidget* parent)
{
    auto* panel = new QLabel(QStringLiteral("= 0"), parent);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setMinimumWidth(110);
    return panel;
}

} // namespace

bool ReadMoney(const QString& text, qint64& money)
{
    const std::optional<int64_t> read = ReadingToMoney(ReadLocaleNumber(text));
    if (read)
        money = *read;
    return read.has_value();
}

TEditPayoffRunner SetEditPayoffRunner(TEditPayoffRunner runner)
{
    std::swap(Runner, runner);
    return runner;
}

TEditPayoffForm::TEditPayoffForm(QWidget* owner) : QDialog(owner)
{
    setWindowTitle(S::PayoffCaption);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    resize(414, 170);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    PayoffModeGroupBox = new QGroupBox(S::PayoffMode, this);
    QWidget* box = PayoffModeGroupBox;
    DirectEdit = new QLineEdit(QStringLiteral("0"), box);
    DirectPanel = ResultPanel(box);
    PayoffEdit = new QLineEdit(QStringLiteral("0"), box);
    CostEdit = new QLineEdit(QStringLiteral("0"), box);
    DiffResultPanel = ResultPanel(box);
    ImportEdit = new QLineEdit(box);
    ImportEdit->setReadOnly(true);
    ImportChooseButton = new QPushButton(QStringLiteral("..."), box);
    ImportChooseButton->setFixedWidth(28);
    // Enter is OK's even while the focus is still here after the import steps.
    ImportChooseButton->setAutoDefault(false);
    ImportResultPanel = ResultPanel(box);
    AdvancedEdit = new QLineEdit(box);
    AdvancedEdit->setReadOnly(true);
    AdvancedButton = new QPushButton(QStringLiteral("..."), box);
    AdvancedButton->setFixedWidth(28);
    AdvancedButton->setAutoDefault(false);
    AdvancedResultPanel = ResultPanel(box);
    MinusPanel = new QLabel(QStringLiteral("-"), box);
    ValueRadioButton = new QRadioButton(S::ValueMode, box);
    BenefitCostRadioButton = new QRadioButton(S::BenefitCostMode, box);
    ImportRadioButton = new QRadioButton(S::ImportMode, box);
    AdvancedRadioButton = new QRadioButton(S::AdvancedMode, box);
    ValueRadioButton->setChecked(true);
    // The advanced formula is not available yet.
    for (QWidget* hidden : std::initializer_list<QWidget*>{AdvancedEdit, AdvancedButton, AdvancedResultPanel,
                                                           AdvancedRadioButton})
        hidden->setVisible(false);
    auto* modes = new QButtonGroup(this);
    for (QRadioButton* radio : {ValueRadioButton, BenefitCostRadioButton, ImportRadioButton, AdvancedRadioButton}) {
        modes->addButton(radio);
        connect(radio, &QRadioButton::clicked, this, [this] {
            FEdited = true;
            PayoffRadioButtonModeClick();
        });
    }
    for (QLineEdit* edit : {DirectEdit, PayoffEdit, CostEdit})
        connect(edit, &QLineEdit::textChanged, this, [this, edit] {
            FEdited = FEdited || !FUpdating;
            NumberEditChange(edit);
        });
    connect(ImportChooseButton, &QPushButton::clicked, this, [this] { ImportChooseButtonClick(); });
    connect(AdvancedButton, &QPushButton::clicked, this, [this] { AdvancedButtonClick(); });
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    ChooseImport = [this](const QString& formula, int digits) {
        TImportExternalResult result;
        ExecuteImportExternal(formula, digits, result, this);
        return result;
    };

    for (QLineEdit* edit : {DirectEdit, PayoffEdit, CostEdit})
        edit->setMinimumWidth(80);
    ImportEdit->setMinimumWidth(140);
    auto* grid = new QGridLayout(box);
    grid->addWidget(ValueRadioButton, 0, 0);
    grid->addWidget(DirectEdit, 0, 1, 1, 3);
    grid->addWidget(DirectPanel, 0, 4);
    grid->addWidget(BenefitCostRadioButton, 1, 0);
    grid->addWidget(PayoffEdit, 1, 1);
    grid->addWidget(MinusPanel, 1, 2);
    grid->addWidget(CostEdit, 1, 3);
    grid->addWidget(DiffResultPanel, 1, 4);
    grid->addWidget(ImportRadioButton, 2, 0);
    auto* importRow = new QHBoxLayout;
    importRow->addWidget(ImportEdit);
    importRow->addWidget(ImportChooseButton);
    grid->addLayout(importRow, 2, 1, 1, 3);
    grid->addWidget(ImportResultPanel, 2, 4);
    grid->addWidget(AdvancedRadioButton, 3, 0);
    grid->addWidget(AdvancedEdit, 3, 1, 1, 2);
    grid->addWidget(AdvancedButton, 3, 3);
    grid->addWidget(AdvancedResultPanel, 3, 4);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(PayoffModeGroupBox, 1);
    layout->addLayout(buttons);
}

QString TEditPayoffForm::Fixed(qint64 money) const
{
    QLocale ungrouped;
    ungrouped.setNumberOptions(ungrouped.numberOptions() | QLocale::OmitGroupSeparator);
    return FormatLocaleNumber(double(money) / 10000.0, Digits, ungrouped);
}

QString TEditPayoffForm::Grouped(qint64 money) const
{
    return FormatLocaleNumber(double(money) / 10000.0, Digits);
}

void TEditPayoffForm::SplitIntoBenefitAndCost(qint64 money)
{
    if (money <= 0)
        CostEdit->setText(Fixed(-money));
    else
        PayoffEdit->setText(Fixed(money));
}

bool TEditPayoffForm::FillBenefitAndCost(const QString& data, qint64 payoff)
{
    const int colon = data.indexOf(QLatin1Char(':'));
    qint64 benefit = 0, cost = 0;
    if (colon < 0 || !ReadInvariantMoney(data.left(colon), benefit) || !ReadInvariantMoney(data.mid(colon + 1), cost))
        return false;
    BenefitCostRadioButton->setChecked(true);
    DiffResultPanel->setText(QStringLiteral("= ") + Grouped(payoff));
    PayoffEdit->setText(Fixed(benefit));
    CostEdit->setText(Fixed(cost));
    DirectEdit->setText(Fixed(benefit - cost));
    ImportResultPanel->setText(QStringLiteral("= ") + Grouped(0));
    return true;
}

void TEditPayoffForm::Fill(const QString& source, qint64 payoff)
{
    FFilledSource = source;
    FFilledPayoff = payoff;
    FEdited = false;
    FUpdating = true;
    QString data = source;
    if (HasPrefix(data, S::IncomeCostPrefix, true) && FillBenefitAndCost(data, payoff)) {
        // filled
    } else if (source.startsWith(S::IncomeCostPrefix) || !(source.startsWith(S::ImportPrefix) ||
                                                           source.startsWith(S::AdvancedPrefix))) {
        // A stored benefit and cost that do not read back, or a source of no known kind, open
        // as the plain value: an OK without a change then keeps the payoff instead of zeroing it.
        ValueRadioButton->setChecked(true);
        DirectEdit->setText(Fixed(payoff));
        SplitIntoBenefitAndCost(payoff);
        ImportResultPanel->setText(QStringLiteral("= ") + Grouped(0));
    } else if (HasPrefix(data, S::ImportPrefix, true)) {
        ImportRadioButton->setChecked(true);
        ImportResultPanel->setText(QStringLiteral("= ") + Grouped(payoff));
        ImportEdit->setText(data);
        DirectEdit->setText(Fixed(payoff));
        SplitIntoBenefitAndCost(payoff);
    } else if (HasPrefix(data, S::AdvancedPrefix, true)) {
        // The mode cannot be chosen, but a payoff made in it shows as such.
        for (QWidget* shown : std::initializer_list<QWidget*>{AdvancedRadioButton, AdvancedEdit, AdvancedResultPanel})
            shown->setVisible(true);
        AdvancedRadioButton->setChecked(true);
        AdvancedResultPanel->setText(QStringLiteral("= ") + Grouped(payoff));
        AdvancedEdit->setText(data);
        DirectEdit->setText(Fixed(payoff));
        SplitIntoBenefitAndCost(payoff);
    }
    FUpdating = false;
}

void TEditPayoffForm::PayoffRadioButtonModeClick()
{
    const bool value = ValueRadioButton->isChecked();
    const bool benefitCost = BenefitCostRadioButton->isChecked();
    const bool import = ImportRadioButton->isChecked();
    const bool advanced = AdvancedRadioButton->isChecked();
    DirectEdit->setEnabled(value);
    PayoffEdit->setEnabled(benefitCost);
    CostEdit->setEnabled(benefitCost);
    ImportEdit->setEnabled(import);
    ImportChooseButton->setEnabled(import);
    AdvancedEdit->setEnabled(advanced);
    AdvancedButton->setEnabled(advanced);
    DirectPanel->setVisible(value);
    DiffResultPanel->setVisible(benefitCost);
    ImportResultPanel->setVisible(import);
    AdvancedResultPanel->setVisible(advanced && !AdvancedRadioButton->isHidden());
    NumberEditChange(this);
}

void TEditPayoffForm::SetResultPanel(QLabel* panel, bool valid, qint64 money)
{
    QPalette palette = panel->palette();
    palette.setColor(QPalette::WindowText, valid ? QApplication::palette().color(QPalette::WindowText) : QColor(Qt::red));
    panel->setPalette(palette);
    panel->setText(valid ? QStringLiteral("= ") + Grouped(money) : S::InvalidNumber);
    OKButton->setEnabled(valid);
}

void TEditPayoffForm::NumberEditChange(QObject* sender)
{
    if (FUpdating)
        return;
    FUpdating = true;
    if (ValueRadioButton->isChecked()) {
        qint64 value = 0;
        const bool valid = ReadMoney(DirectEdit->text(), value);
        SetResultPanel(DirectPanel, valid, value);
        if (valid && sender == DirectEdit) {
            PayoffEdit->setText(Fixed(value >= 0 ? value : 0));
            CostEdit->setText(Fixed(value >= 0 ? 0 : -value));
        }
    } else if (BenefitCostRadioButton->isChecked()) {
        qint64 benefit = 0, cost = 0, difference = 0;
        QString why;
        const bool valid = ReadMoney(PayoffEdit->text(), benefit) && ReadMoney(CostEdit->text(), cost) &&
                           !__builtin_sub_overflow(benefit, cost, &difference) &&
                           ValueToMoney(double(difference) / 10000.0, difference, why);
        SetResultPanel(DiffResultPanel, valid, difference);
        if (valid && (sender == PayoffEdit || sender == CostEdit))
            DirectEdit->setText(Fixed(difference));
    } else if (ImportRadioButton->isChecked()) {
        // Nothing to accept until a cell has been chosen.
        OKButton->setEnabled(!ImportEdit->text().isEmpty());
    }
    FUpdating = false;
}

void TEditPayoffForm::ImportChooseButtonClick()
{
    const TImportExternalResult chosen = ChooseImport(ImportEdit->text(), Digits);
    if (!chosen.Ok)
        return;
    FEdited = true;
    FUpdating = true;
    ImportEdit->setText(chosen.Text);
    ImportResultPanel->setText(QStringLiteral("= ") + Grouped(chosen.Value));
    DirectEdit->setText(Fixed(chosen.Value));
    PayoffEdit->setText(Fixed(chosen.Value > 0 ? chosen.Value : 0));
    CostEdit->setText(Fixed(chosen.Value > 0 ? 0 : -chosen.Value));
    FUpdating = false;
    NumberEditChange(this);
}

void TEditPayoffForm::AdvancedButtonClick()
{
    MessageDlg(this, S::ToDo, TMsgDlgType::Information, mbOK);
}

TEditPayoffResult TEditPayoffForm::Result() const
{
    TEditPayoffResult result;
    result.Accepted = true;
    // Nothing edited, nothing changed: no payoff is rounded to the shown decimals, no source of
    // an unknown kind dropped.
    if (!FEdited && (ValueRadioButton->isChecked() || BenefitCostRadioButton->isChecked() ||
                     ImportRadioButton->isChecked() || AdvancedRadioButton->isChecked())) {
        result.Payoff = FFilledPayoff;
        result.Source = FFilledSource;
        return result;
    }
    const auto shownMoney = [](const QLabel* panel) {
        QString text = panel->text().mid(2);
        text.remove(QLocale().groupSeparator());
        qint64 money = 0;
        return ReadMoney(text, money) ? money : 0;
    };
    if (ValueRadioButton->isChecked()) {
        ReadMoney(DirectEdit->text(), result.Payoff);
    } else if (BenefitCostRadioButton->isChecked()) {
        qint64 benefit = 0, cost = 0;
        ReadMoney(PayoffEdit->text(), benefit);
        ReadMoney(CostEdit->text(), cost);
        result.Payoff = benefit - cost;
        result.Source = S::IncomeCostPrefix + InvariantMoney(benefit) + QLatin1Char(':') + InvariantMoney(cost);
    } else if (ImportRadioButton->isChecked()) {
        result.Payoff = shownMoney(ImportResultPanel);
        result.Source = S::ImportPrefix + ImportEdit->text();
    } else if (AdvancedRadioButton->isChecked()) {
        result.Payoff = shownMoney(AdvancedResultPanel);
        result.Source = S::AdvancedPrefix + AdvancedEdit->text();
    } else {
        throw Exception(S::AllRadioButtonsDisabled);
    }
    return result;
}

void EditPayoffAdvanced(const QString& source, int digits, TEditPayoffResult& result, qint64 payoff, QWidget* owner)
{
    TEditPayoffForm form(owner);
    form.Digits = digits;
    form.Fill(source, payoff);
    form.PayoffRadioButtonModeClick();
    const int answer = Runner ? Runner(form) : form.exec();
    if (answer == QDialog::Accepted)
        result = form.Result();
    else
        result.Accepted = false;
}
