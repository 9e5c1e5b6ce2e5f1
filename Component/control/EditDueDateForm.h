#pragma once
// The small tool window in which the tree control edits the due date of a decision.

#include <QDialog>

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;

class TEditDueDateForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditDueDateForm(QWidget* parent = nullptr);

    QCheckBox* HasDueDateCheckBox;
    QLabel* DueDateCaption;
    QDateTimeEdit* DueDateDateTimePicker;
    QPushButton* OKButton;
    QPushButton* CancelButton;

public Q_SLOTS:
    // The date can only be edited while the box says there is one.
    void HasDueDateCheckBoxClick();
};

// Shows the dialog modally with its top-left corner at the screen point (Left, Top), moved as
// little as needed to lie wholly on the screen that holds the point. Date is a
// day-count date (days since 1899-12-30, the fraction the time of day), 0 meaning none. On OK
// Date becomes the picked date, or 0 when the box is unchecked, and the answer is true; on
// Cancel Date is left alone and the answer is false.
bool EditDueDate(int Left, int Top, double& Date);

// Conversions between day-count dates and Qt's date-times (local time, no time zone shift).
double DueDateFromDateTime(const QDateTime& value);
QDateTime DueDateToDateTime(double value);
