#pragma once
// Menu items made at run time. When the list owns them, clearing or destroying it frees the
// items, which takes them out of their menu.

#include <QAction>
#include <QPointer>
#include <vector>

class TMenuItemList {
public:
    explicit TMenuItemList(bool ownsObjects = true) : FOwnsObjects(ownsObjects) {}
    ~TMenuItemList() { Clear(); }
    TMenuItemList(const TMenuItemList&) = delete;
    TMenuItemList& operator=(const TMenuItemList&) = delete;

    void Add(QAction* item) { FItems.emplace_back(item); }
    void Clear();
    int Count() const { return int(FItems.size()); }
    QAction* Items(int index) const { return FItems.at(index); }

private:
    bool FOwnsObjects;
    std::vector<QPointer<QAction>> FItems;
};
