#pragma once
// The nodes of a TStringTree: each owns one text per column and its child nodes. A collection
// keeps its nodes in the order they were added; the inner view shows them in its own (sorted)
// order.

#include "shared/widgets/StringTreeTypes.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class TStringTree;
class TStringTreeColumn;
class TStringTreeNodeCollection;

class TStringTreeNode {
public:
    TStringTreeNode(TStringTreeNodeCollection& collection);
    ~TStringTreeNode();

    TStringTreeNodeCollection& Collection() const { return FCollection; }
    TStringTree& Tree() const;
    // The collection's parent node; none for a top-level node.
    TStringTreeNode* Parent() const;

    // The text of a column; empty beyond the stored texts. A negative index raises
    // EInvalidOperation "List index out of bounds".
    QString Text(int column) const;
    QString Text(const TStringTreeColumn* column) const;
    // Grows the stored texts with empty ones as needed; repaints (deferred while updating).
    void SetText(int column, const QString& text);
    void SetText(const TStringTreeColumn* column, const QString& text);
    int TextCount() const { return int(FTexts.size()); }

    bool Selected() const;
    void SetSelected(bool selected);
    bool Expanded() const;
    void SetExpanded(bool expanded);
    TStringTreeNodeCheckState CheckState() const;
    void SetCheckState(TStringTreeNodeCheckState state);

    TStringTreeNodeCollection& Children() const { return *FChildren; }
    void* Data() const { return FData; }
    void SetData(void* data) { FData = data; }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    bool Ghosted() const { return FGhosted; }
    void SetGhosted(bool ghosted);

private:
    friend class TStringTreeModel;
    friend class TStringTreeNodeCollection;
    TStringTreeNodeCollection& FCollection;
    QStringList FTexts;
    std::unique_ptr<TStringTreeNodeCollection> FChildren;
    void* FData = nullptr;
    int FImageIndex = -1;
    bool FGhosted = false;
    // The inner view's state of the node.
    int FNativeCheckState = 0;
    int FInnerRow = 0;
};

// Walks one collection from its first node to its last.
class TStringTreeNodeEnumerator {
public:
    explicit TStringTreeNodeEnumerator(const TStringTreeNodeCollection& collection) : FCollection(collection) {}
    bool MoveNext();
    TStringTreeNode* Current() const;

private:
    const TStringTreeNodeCollection& FCollection;
    int FIndex = -1;
};

class TStringTreeNodeCollection {
public:
    TStringTreeNodeCollection(TStringTree& tree, TStringTreeNode* parentNode);
    ~TStringTreeNodeCollection();

    TStringTree& Tree() const { return FTree; }
    TStringTreeNode* ParentNode() const { return FParentNode; }

    // Appends a new node (and its inner node) and returns it.
    TStringTreeNode* Add();
    // Removes every node of the collection and its inner node.
    void Clear();
    // Inside one update bracket: expands every node in order, each one's children first when
    // Recursive.
    void ExpandAll(bool recursive);
    // The first node, in collection order, whose text in that column equals Text exactly;
    // when Recursive, a node's children are searched before the next node. None when none.
    TStringTreeNode* FindByText(int column, const QString& text, bool recursive) const;
    TStringTreeNode* FindByColumnText(const TStringTreeColumn* column, const QString& text, bool recursive) const;

    int Count() const { return int(FItems.size()); }
    TStringTreeNode* Items(int index) const { return FItems.at(index).get(); }
    TStringTreeNode* operator[](int index) const { return Items(index); }
    TStringTreeNodeEnumerator GetEnumerator() const { return TStringTreeNodeEnumerator(*this); }

    class Iterator {
    public:
        Iterator(const TStringTreeNodeCollection* c, int i) : FC(c), FI(i) {}
        TStringTreeNode* operator*() const { return FC->Items(FI); }
        Iterator& operator++() { ++FI; return *this; }
        bool operator!=(const Iterator& other) const { return FI != other.FI; }

    private:
        const TStringTreeNodeCollection* FC;
        int FI;
    };
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, Count()); }

private:
    friend class TStringTreeModel;
    TStringTree& FTree;
    TStringTreeNode* FParentNode;
    std::vector<std::unique_ptr<TStringTreeNode>> FItems;
    // The nodes in the inner view's order.
    std::vector<TStringTreeNode*> FInnerOrder;
};
