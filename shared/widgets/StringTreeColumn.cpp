#include "shared/widgets/StringTreeColumn.h"

#include "shared/widgets/StringTree.h"
#include "shared/widgets/StringTreeView.h"

#include <QHeaderView>

TStringTreeColumn::TStringTreeColumn(TStringTreeColumnCollection& collection, const QString& caption)
    : FCollection(collection), FCaption(caption)
{
}

int TStringTreeColumn::Width() const
{
    return FCollection.Tree().InnerTree()->header()->sectionSize(FIndex);
}

void TStringTreeColumn::SetWidth(int width)
{
    FCollection.Tree().InnerTree()->header()->resizeSection(FIndex, width);
}

bool TStringTreeColumn::Visible() const
{
    return !FCollection.Tree().InnerTree()->header()->isSectionHidden(FIndex);
}

void TStringTreeColumn::SetVisible(bool visible)
{
    FCollection.Tree().InnerTree()->header()->setSectionHidden(FIndex, !visible);
}

TStringTreeColumnCollection::TStringTreeColumnCollection(TStringTree& tree) : FTree(tree) {}

TStringTreeColumnCollection::~TStringTreeColumnCollection() = default;

TStringTreeColumn* TStringTreeColumnCollection::Add(const QString& caption, int width)
{
    const int oldCount = Count();
    TStringTreeModel& model = FTree.InnerTree()->Model();
    model.BeginAddColumn(oldCount);
    FItems.push_back(std::make_unique<TStringTreeColumn>(*this, caption));
    for (int i = 0; i < Count(); ++i)
        FItems[i]->FIndex = i;
    model.EndAddColumn(oldCount);
    TStringTreeColumn* column = FItems.back().get();
    column->SetWidth(width);
    return column;
}

void TStringTreeColumnCollection::AutoFit(bool)
{
    FTree.InnerTree()->header()->resizeSections(QHeaderView::ResizeToContents);
}

TStringTreeColumn* TStringTreeColumnCollection::At(int index) const
{
    return index >= 0 && index < Count() ? FItems[index].get() : nullptr;
}

TStringTreeColumn* TStringTreeColumnCollection::SortColumn() const
{
    return At(FTree.InnerTree()->SortColumn());
}

void TStringTreeColumnCollection::SetSortColumn(TStringTreeColumn* column)
{
    FTree.InnerTree()->SetSort(column ? column->Index() : -1, SortDirection());
}

bool TStringTreeColumnCollection::SortDirection() const
{
    return FTree.InnerTree()->SortDescending();
}

void TStringTreeColumnCollection::SetSortDirection(bool descending)
{
    FTree.InnerTree()->SetSort(FTree.InnerTree()->SortColumn(), descending);
}
