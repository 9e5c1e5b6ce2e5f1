#include "app/ParentedForm.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>

namespace {

std::vector<TParentedForm*>& InstanceList()
{
    static std::vector<TParentedForm*> list;
    return list;
}

// Frees every parented form of a window when that window is closed or destroyed. The walk runs
// from the newest to the oldest, since freeing a form removes it from the list.
void FreeFormsOf(const QObject* window)
{
    auto& list = InstanceList();
    for (size_t i = list.size(); i-- > 0;) {
        if (i >= list.size())
            continue; // a freed form took others with it
        TParentedForm* form = list[i];
        if (form->ParentWindow() == window)
            delete form;
    }
}

// One watcher for every parent window, installed as an event filter on each of them.
class TParentWindowWatcher : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close)
            FreeFormsOf(watched);
        return false;
    }
};

TParentWindowWatcher& Watcher()
{
    static TParentWindowWatcher watcher;
    return watcher;
}

} // namespace

TParentedForm::TParentedForm(QWidget* parentWindow) : QDialog(parentWindow), FParentWindow(parentWindow)
{
    InstanceList().push_back(this);
    if (parentWindow) {
        parentWindow->installEventFilter(&Watcher());
        // The parent frees its children anyway; this frees them while it is still whole.
        connect(parentWindow, &QObject::destroyed, &Watcher(), [parentWindow] { FreeFormsOf(parentWindow); });
    }
}

TParentedForm::~TParentedForm()
{
    auto& list = InstanceList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const std::vector<TParentedForm*>& TParentedForm::Instances()
{
    return InstanceList();
}
