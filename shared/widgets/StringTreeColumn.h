#pragma once
// The columns of a TStringTree: each wraps one section of the inner view's header.

#include <QString>
#include <memory>
#include <vector>

class TStringTree;
class TStringTreeColumnCollection;

class TStringTreeColumn {
public:
    TStringTreeColumn(TStringTreeColumnCollection& collection, const QString& caption);

    // Position in the collection, which is also the inner header section.
    int Index() const { return FIndex; }
    TStringTreeColumnCollection& Collection() const { return FCollection; }
    const QString& Caption() const { return FCaption; }
    int Width() const;
    void SetWidth(int width);
    bool Visible() const;
    void SetVisible(bool visible);

private:
    friend class TStringTreeColumnCollection;
    TStringTreeColumnCollection& FCollection;
    QString FCaption;
    int FIndex = -1;
};

class TStringTreeColumnCollection {
public:
    explicit TStringTreeColumnCollection(TStringTree& tree);
    ~TStringTreeColumnCollection();

    TStringTree& Tree() const { return FTree; }
    // Appends a header column with that caption and width and returns it.
    TStringTreeColumn* Add(const QString& caption, int width);
    // Fits the column widths to their contents.
    void AutoFit(bool animated = false);
    int Count() const { return int(FItems.size()); }
    TStringTreeColumn* Items(int index) const { return FItems.at(index).get(); }
    TStringTreeColumn* operator[](int index) const { return Items(index); }
    // The column at `index`, none when the collection holds no such column.
    TStringTreeColumn* At(int index) const;

    // The sort column, none when the tree is not sorted by any column.
    TStringTreeColumn* SortColumn() const;
    // A column of this collection, or none for no sorting.
    void SetSortColumn(TStringTreeColumn* column);
    // True for descending.
    bool SortDirection() const;
    void SetSortDirection(bool descending);

private:
    TStringTree& FTree;
    std::vector<std::unique_ptr<TStringTreeColumn>> FItems;
};
