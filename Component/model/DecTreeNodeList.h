#pragma once
// The typed list of tree nodes. A child list owns its nodes (destroying the list or removing a
// node destroys it and its subtree); lists built by a search or for a selection do not.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class TDecTreeNode;

class TDecTreeNodeList {
public:
    // The list and an index that starts before the first node.
    class TDecTreeNodeListEnumerator {
    public:
        explicit TDecTreeNodeListEnumerator(const TDecTreeNodeList& list) : FList(list) {}
        bool MoveNext() { return ++FIndex < FList.Count(); }
        TDecTreeNode* Current() const { return FList.Items(FIndex); }

    private:
        const TDecTreeNodeList& FList;
        int FIndex = -1;
    };

    explicit TDecTreeNodeList(bool ownsObjects);
    ~TDecTreeNodeList();
    TDecTreeNodeList(const TDecTreeNodeList&) = delete;
    TDecTreeNodeList& operator=(const TDecTreeNodeList&) = delete;

    // Appends. An owning list takes the node over.
    void Add(TDecTreeNode* node);
    void Add(std::unique_ptr<TDecTreeNode> node) { Add(node.release()); }
    // Inserts before index (0 .. Count); raises EListError outside that range.
    void Insert(int index, std::unique_ptr<TDecTreeNode> node);
    // Removes all; owned nodes are destroyed.
    void Clear();
    // Removes the node at index; an owned node is destroyed. Raises EListError when out of range.
    void Delete(int index);
    // Removes the node; an owned node is destroyed. Answers its former index, -1 when absent.
    int Remove(TDecTreeNode* node);
    // Takes the node at index out of the list without destroying it and hands it to the caller.
    std::unique_ptr<TDecTreeNode> Extract(int index);
    // In an owning list: the count nodes from index on are destroyed and give way to nodes, in
    // one change however many there are. Raises EListError when the range is not in the list.
    void Replace(int index, int count, std::vector<std::unique_ptr<TDecTreeNode>> nodes);
    // Raises EListError when an index is out of range.
    void Exchange(int index1, int index2);

    int Count() const { return int(FItems.size()); }
    // Raises EListError "List index out of bounds (i)" when index is outside 0 .. Count - 1.
    TDecTreeNode* Items(int index) const;
    TDecTreeNode* operator[](int index) const { return Items(index); }
    int IndexOf(const TDecTreeNode* node) const;
    bool OwnsObjects() const { return FOwnsObjects; }
    TDecTreeNodeListEnumerator GetEnumerator() const { return TDecTreeNodeListEnumerator(*this); }

    // Raised by every change of any owning list, wherever its nodes live: caches of a tree's order
    // compare it with the count they were built at. (A node need not know its document for the
    // change to be seen.)
    static uint64_t StructureVersion() { return FStructureVersion.load(std::memory_order_relaxed); }
    static void StructureChanged() { FStructureVersion.fetch_add(1, std::memory_order_relaxed); }

    // Range-for over the nodes in list order.
    TDecTreeNode* const* begin() const { return FItems.data(); }
    TDecTreeNode* const* end() const { return FItems.data() + FItems.size(); }

private:
    friend class TDecTreeNode;
    void Changed();
    // Destroys the nodes and all their descendants without recursion, so a tree of any depth
    // can be destroyed on a normal stack.
    static void DestroyNodes(std::vector<TDecTreeNode*>&& nodes);

    static std::atomic<uint64_t> FStructureVersion;

    std::vector<TDecTreeNode*> FItems;
    bool FOwnsObjects;
};
