#pragma once
// What the optimisation commands tell the user about decisions they could not settle.

class QWidget;

// After an optimisation: a notice when count budgeted multi-option decisions were left as marked
// because finding their best sets would take too long (CountUnsolvedMultiOptions).
void ReportUnsolvedDecisions(QWidget* parent, int count);
