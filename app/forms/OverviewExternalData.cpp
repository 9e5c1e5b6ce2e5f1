#include "app/forms/OverviewExternalData.h"

#include "app/forms/ExternalDataStrings.h"
#include "Component/control/DecTree.h"
#include "Component/formula/FunctionParser.h"
#include "Component/model/DecTreeNode.h"
#include "shared/core/LocaleNumbers.h"
#include "shared/widgets/BottomLine.h"
#include "shared/widgets/ScreenFit.h"
#include "shared/widgets/WhiteTop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <vector>

namespace S = ExternalDataStrings;

namespace {

TOverviewExternalDataRunner Runner;

enum { ColumnOld, ColumnNew, ColumnNode, ColumnSource };
constexpr int NodeRole = Qt::UserRole;
// The list is repainted at most this often while it grows: it shows progress without the
// painting costing more than the reading.
constexpr qint64 RepaintIntervalMs = 40;

QIcon RowMark(bool changed)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(changed ? QColor(0xD0, 0x30, 0x20) : QColor(0x40, 0xA0, 0x40));
    painter.drawEllipse(QRectF(2, 2, 8, 8));
    return QIcon(pixmap);
}

QLabel* BoldLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

TOverviewExternalDataRunner SetOverviewExternalDataRunner(TOverviewExternalDataRunner runner)
{
    std::swap(Runner, runner);
    return runner;
}

TOverviewExternalDataForm::TOverviewExternalDataForm(QWidget* owner) : QDialog(owner)
{
    setWindowTitle(S::OverviewCaption);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);

    WhiteTop = new TWhiteTop(this);
    WhiteTop->SetTitle(S::HeaderTitle);
    WhiteTop->SetMsg(QString());
    OverviewListView = new QTreeWidget(this);
    OverviewListView->setRootIsDecorated(false);
    OverviewListView->setUniformRowHeights(true);
    OverviewListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    OverviewListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    OverviewListView->setIconSize(QSize(12, 12));
    OverviewListView->setHeaderLabels({S::OldValue, S::NewValue, S::NodeColumn, S::SourceColumn});
    OverviewListView->header()->setSectionsClickable(false);
    OverviewListView->setColumnWidth(ColumnOld, 80);
    OverviewListView->setColumnWidth(ColumnNew, 80);

    SummaryGroupBox = new QGroupBox(S::Summary, this);
    SummaryLinesLabel = BoldLabel(QStringLiteral("0"), SummaryGroupBox);
    SummaryChangedLabel = BoldLabel(QStringLiteral("0"), SummaryGroupBox);
    auto* summary = new QGridLayout(SummaryGroupBox);
    summary->addWidget(new QLabel(S::NumberOfLines, SummaryGroupBox), 0, 0);
    summary->addWidget(SummaryLinesLabel, 0, 1);
    summary->addWidget(new QLabel(S::Changed, SummaryGroupBox), 1, 0);
    summary->addWidget(SummaryChangedLabel, 1, 1);
    summary->setColumnStretch(2, 1);

    RefreshButton = new QPushButton(S::Refresh, this);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    BottomLine = new TBottomLine(this);
    BottomLine->SetTitle(S::WebAddress);
    connect(RefreshButton, &QPushButton::clicked, this, [this] { RefreshExternalData(); });
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* side = new QVBoxLayout;
    side->addWidget(SummaryGroupBox);
    side->addStretch();
    side->addWidget(RefreshButton);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(12, 8, 12, 0);
    body->addWidget(OverviewListView, 1);
    body->addLayout(side);
    // The buttons stand on the footer, below its rule.
    auto* buttons = new QHBoxLayout(BottomLine);
    buttons->setContentsMargins(12, 18, 12, 8);
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WhiteTop);
    layout->addLayout(body, 1);
    layout->addWidget(BottomLine);
    // Wide enough for the longest of the header's messages: none is ever cut off.
    QSize least(450, 300);
    for (const QString& message : {S::Reading, S::HasChanged, S::UpToDate}) {
        WhiteTop->SetMsg(message);
        least = least.expandedTo(minimumSizeHint());
    }
    WhiteTop->SetMsg(QString());
    setMinimumSize(least);
    resize(least);
    FitToScreen(this);
}

bool TOverviewExternalDataForm::event(QEvent* event)
{
    const bool result = QDialog::event(event);
    // Read again on every activation, the first showing included.
    if (event->type() == QEvent::WindowActivate)
        RefreshExternalData();
    return result;
}

void TOverviewExternalDataForm::RefreshExternalData()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WhiteTop->SetMsg(S::Reading);
    WhiteTop->repaint();
    OverviewListView->clear();
    SummaryLinesLabel->setText(QStringLiteral("0"));
    SummaryChangedLabel->setText(QStringLiteral("0"));
    repaint();
    int changed = 0;
    if (Tree && Tree->Root())
        AddExternalDataRows(Tree->Root(), changed);
    OverviewListView->resizeColumnToContents(ColumnNode);
    WhiteTop->SetMsg(changed > 0 ? S::HasChanged : S::UpToDate);
    QApplication::restoreOverrideCursor();
}

void TOverviewExternalDataForm::AddExternalDataRows(TDecTreeNode* root, int& changed)
{
    const int decimals = Tree->Options().CurrencyDecimals;
    const QLocale locale;
    const QIcon marks[2] = {RowMark(false), RowMark(true)};
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    // Depth first, a node before its children, children in order; collapsed branches and the
    // children of clones included. A stack of its own: chains may be deeper than the call stack.
    std::vector<TDecTreeNode*> stack{root};
    int rows = OverviewListView->topLevelItemCount();
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        for (int i = node->Children.Count() - 1; i >= 0; --i)
            stack.push_back(node->Children[i]);
        if (!node->PayoffSource.startsWith(S::ImportPrefix))
            continue;
        const QString oldText = FormatLocaleNumber(double(node->Payoff) / CurrencyScale, decimals, locale);
        QString errorText;
        const TCurrency value = node->GetPayoffValue(FileName, errorText);
        const QString newText = FormatLocaleNumber(double(value) / CurrencyScale, decimals, locale);
        auto* item = new QTreeWidgetItem;
        item->setText(ColumnOld, oldText);
        item->setText(ColumnNew, errorText.isEmpty() ? newText : errorText);
        item->setText(ColumnNode, node->GetOutlineCode() + node->Caption);
        item->setText(ColumnSource, node->PayoffSource.mid(S::ImportPrefix.size()));
        item->setData(ColumnOld, NodeRole, QVariant::fromValue(quintptr(node)));
        // A row that could not be read shows why; it changes nothing.
        const bool isChanged = errorText.isEmpty() && newText != oldText;
        item->setIcon(ColumnOld, marks[isChanged]);
        OverviewListView->addTopLevelItem(item);
        ++rows;
        if (isChanged)
            SummaryChangedLabel->setText(QString::number(++changed));
        SummaryLinesLabel->setText(QString::number(rows));
        if (sinceRepaint.elapsed() >= RepaintIntervalMs) {
            OverviewListView->viewport()->repaint();
            SummaryGroupBox->repaint();
            sinceRepaint.restart();
        }
    }
}

void TOverviewExternalDataForm::ApplyExternalData()
{
    const QString group = QLocale().groupSeparator();
    bool recorded = false;
    for (int i = 0; i < OverviewListView->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = OverviewListView->topLevelItem(i);
        QString text = item->text(ColumnNew);
        text.remove(group);
        const std::optional<double> number = ParseLocaleNumber(text);
        qint64 money = 0;
        QString why;
        // A row that failed shows its reason, which never reads as a number: it is left alone.
        if (!number || !ValueToMoney(*number, money, why))
            continue;
        auto* node = reinterpret_cast<TDecTreeNode*>(item->data(ColumnOld, NodeRole).value<quintptr>());
        // A value that stays as it was is no change to undo.
        if (node->Payoff == money)
            continue;
        if (!recorded) {
            Tree->UndoManager().SaveState(S::UndoRefresh);
            recorded = true;
        }
        node->Payoff = money;
    }
    Tree->Recalculate();
}

void ShowExternalDataOverview(TDecTree* tree, const QString& fileName, QWidget* owner)
{
    TOverviewExternalDataForm form(owner);
    form.Tree = tree;
    form.FileName = fileName;
    const int answer = Runner ? Runner(form) : form.exec();
    if (answer == QDialog::Accepted)
        form.ApplyExternalData();
}
