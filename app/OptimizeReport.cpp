#include "app/OptimizeReport.h"

#include "app/MessageDialogs.h"

#include <QString>

namespace {
const QString NotSolvedOne = QStringLiteral(
    "A multi-option decision with a budget has too many options to find its best set in time. "
    "Its options stay as marked; the decision's hint says so.");
const QString NotSolvedMany = QStringLiteral(
    "%1 multi-option decisions with a budget have too many options to find their best sets in time. "
    "Their options stay as marked; each decision's hint says so.");
} // namespace

void ReportUnsolvedDecisions(QWidget* parent, int count)
{
    if (count > 0)
        MessageDlg(parent, count == 1 ? NotSolvedOne : NotSolvedMany.arg(count), TMsgDlgType::Information, mbOK);
}
