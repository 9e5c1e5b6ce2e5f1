#include "Component/control/EditDueDateForm.h"

#include "shared/widgets/ScreenFit.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <algorithm>
#include <cmath>

namespace {

const QDate DayZero(1899, 12, 30);
constexpr double MillisecondsPerDay = 86400000.0;

} // namespace

double DueDateFromDateTime(const QDateTime& value)
{
    const qint64 days = DayZero.daysTo(value.date());
    const double fraction = value.time().msecsSinceStartOfDay() / MillisecondsPerDay;
    // Before day zero the fraction still counts forward from midnight, so it is subtracted.
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

QDateTime DueDateToDateTime(double value)
{
    // The range of dates a day-count date can hold; anything beyond is clamped, not undefined.
    if (!std::isfinite(value))
        value = 0;
    value = std::clamp(value, -657434.0, 2958465.99999);
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    // Wall-clock time of the day, not time elapsed since midnight, which differs on the days the
    // clocks change; a fraction that rounds up to a whole day stays on its day.
    const int ms = int(std::min<long long>(std::llround(fraction * MillisecondsPerDay), 86399999));
    return QDateTime(DayZero.addDays(qint64(whole)), QTime::fromMSecsSinceStartOfDay(ms));
}

TEditDueDateForm::TEditDueDateForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Edit Due Date"));

    HasDueDateCheckBox = new QCheckBox(QStringLiteral("Has Due Date"), this);
    HasDueDateCheckBox->setObjectName(QStringLiteral("HasDueDateCheckBox"));
    DueDateCaption = new QLabel(QStringLiteral("Due Date:"), this);
    DueDateCaption->setObjectName(QStringLiteral("DueDateCaption"));
    DueDateDateTimePicker = new QDateTimeEdit(this);
    DueDateDateTimePicker->setObjectName(QStringLiteral("DueDateDateTimePicker"));
    DueDateDateTimePicker->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
    DueDateDateTimePicker->setCalendarPopup(true);
    // Every date a day-count date can hold, so that OK never moves an old date to the picker's
    // own first day.
    DueDateDateTimePicker->setMinimumDate(DayZero.addDays(-657434));
    // Long dates of some locales are wide; the picker scrolls rather than widening the window.
    DueDateDateTimePicker->setMinimumWidth(120);
    DueDateCaption->setBuddy(DueDateDateTimePicker);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->addWidget(HasDueDateCheckBox, 0, 0, 1, 2);
    grid->addWidget(DueDateCaption, 1, 0);
    grid->addWidget(DueDateDateTimePicker, 1, 1);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    grid->addLayout(buttons, 2, 0, 1, 2);
    // A small tool window of fixed size: no sizing border, no minimise or maximise button.
    setFixedSize(QSize(277, 105).expandedTo(minimumSizeHint()));

    setTabOrder(HasDueDateCheckBox, DueDateDateTimePicker);
    setTabOrder(DueDateDateTimePicker, OKButton);
    setTabOrder(OKButton, CancelButton);

    connect(HasDueDateCheckBox, &QCheckBox::clicked, this, &TEditDueDateForm::HasDueDateCheckBoxClick);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TEditDueDateForm::HasDueDateCheckBoxClick()
{
    const bool on = HasDueDateCheckBox->isChecked();
    DueDateCaption->setEnabled(on);
    DueDateDateTimePicker->setEnabled(on);
}

bool EditDueDate(int Left, int Top, double& Date)
{
    TEditDueDateForm form;
    // Opened at a node near the screen's edge, the whole dialog still lies on that screen.
    MoveOntoScreen(&form, QPoint(Left, Top));
    if (Date != 0) {
        form.DueDateDateTimePicker->setDateTime(DueDateToDateTime(Date));
        form.HasDueDateCheckBox->setChecked(true);
    } else {
        form.DueDateDateTimePicker->setDateTime(QDateTime(QDate::currentDate(), QTime(0, 0)));
        form.HasDueDateCheckBox->setChecked(false);
    }
    form.HasDueDateCheckBoxClick();
    form.HasDueDateCheckBox->setFocus();
    if (form.exec() != QDialog::Accepted)
        return false;
    Date = form.HasDueDateCheckBox->isChecked() ? DueDateFromDateTime(form.DueDateDateTimePicker->dateTime()) : 0;
    return true;
}
