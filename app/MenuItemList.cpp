#include "app/MenuItemList.h"

void TMenuItemList::Clear()
{
    std::vector<QPointer<QAction>> items;
    items.swap(FItems);
    if (FOwnsObjects)
        for (const QPointer<QAction>& item : items)
            delete item.data(); // a null pointer when something else freed it already
}
