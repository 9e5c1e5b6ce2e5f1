#include "shared/widgets/RecentFileList.h"

#include "shared/core/SettingsRegistry.h"

#include <QAction>
#include <QMenu>
#include <algorithm>
#include <exception>

const QString TFileHistory::SubKeyName = QStringLiteral("RecentFiles");

namespace {
// "File" followed by the index right-aligned in two characters, so that the names of the
// first hundred entries sort in numeric order.
QString ValueName(int index)
{
    return QStringLiteral("File%1").arg(index, 2, 10, QLatin1Char(' '));
}
} // namespace

TFileHistory::TFileHistory(QObject* owner) : QObject(owner) {}

TFileHistory::~TFileHistory()
{
    if (FInitialized)
        Save();
}

void TFileHistory::SetFileMenu(QMenu* menu)
{
    if (FFileMenuConnection)
        disconnect(FFileMenuConnection);
    FFileMenu = menu;
    if (menu)
        FFileMenuConnection = connect(menu, &QMenu::aboutToShow, this, &TFileHistory::FileMenuClick);
}

TSettingsStore* TFileHistory::Store() const
{
    if (FRegRoot)
        return FRegRoot;
    return TSettingsStore::HasApplication() ? &TSettingsStore::Application() : nullptr;
}

void TFileHistory::Initialize()
{
    if (FRegKey.isEmpty())
        return;
    RemoveMenuItems();
    FFiles.clear();
    FInitialized = true;
    Load();
}

void TFileHistory::Load()
{
    TSettingsStore* store = Store();
    if (!store || FRegKey.isEmpty())
        return;
    try {
        TSettingsRegistry reg(*store);
        if (!reg.OpenKey(QLatin1Char('\\') + FRegKey + QLatin1Char('\\') + SubKeyName, false))
            return;
        FFiles.clear();
        QStringList names = reg.GetValueNames();
        std::sort(names.begin(), names.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        const int count = std::min(int(names.size()), FNumerOfFiles);
        // Adding from the last to the first leaves the list in the order of the names.
        for (int i = count - 1; i >= 0; --i)
            if (const auto fileName = reg.ReadString(names[i]))
                AddEntry(*fileName);
    } catch (const std::exception&) {
        // An unreadable list is an empty one; the program goes on without it.
    }
}

void TFileHistory::Save()
{
    TSettingsStore* store = Store();
    if (!store || FRegKey.isEmpty())
        return;
    try {
        TSettingsRegistry reg(*store);
        if (!reg.OpenKey(QLatin1Char('\\') + FRegKey + QLatin1Char('\\') + SubKeyName, true))
            return;
        for (const QString& name : reg.GetValueNames())
            reg.DeleteValue(name);
        const int count = std::min(int(FFiles.size()), FNumerOfFiles);
        for (int i = 0; i < count; ++i)
            reg.WriteString(ValueName(i), FFiles[i]);
        reg.Flush();
    } catch (const std::exception&) {
        // Losing the list must not stop the command that changed it.
    }
}

void TFileHistory::AddEntry(const QString& fileName)
{
    // Paths on this platform tell letter case apart, so two names that differ only in case
    // are two files.
    const qsizetype found = FFiles.indexOf(fileName);
    if (found > 0)
        FFiles.swapItemsAt(0, found);
    if (found >= 0)
        return;
    FFiles.prepend(fileName);
    if (FFiles.size() > FNumerOfFiles)
        FFiles.removeLast();
}

void TFileHistory::Add(const QString& fileName)
{
    AddEntry(fileName);
    Save();
}

void TFileHistory::Remove(const QString& fileName)
{
    const qsizetype found = FFiles.indexOf(fileName);
    if (found < 0)
        return;
    FFiles.removeAt(found);
    Save();
}

void TFileHistory::FileMenuClick()
{
    BuildMenu();
}

QMenu* TFileHistory::EntriesMenu() const
{
    if (FFileExitMenu) {
        if (FFileMenu && FFileMenu->actions().contains(FFileExitMenu.data()))
            return FFileMenu;
        for (QObject* holder : FFileExitMenu->associatedObjects())
            if (auto* menu = qobject_cast<QMenu*>(holder))
                return menu;
    }
    return FFileMenu;
}

void TFileHistory::RemoveMenuItems()
{
    for (const QPointer<QAction>& item : FMenuItems)
        delete item.data();
    FMenuItems.clear();
}

void TFileHistory::BuildMenu()
{
    RemoveMenuItems();
    QMenu* menu = EntriesMenu();
    if (FFiles.isEmpty() || !menu)
        return;
    // Entries go before the exit item, or at the end when the menu does not hold it.
    QAction* before = FFileExitMenu && menu->actions().contains(FFileExitMenu.data()) ? FFileExitMenu.data() : nullptr;
    for (int i = 0; i < FFiles.size(); ++i) {
        QString shown = FFiles[i];
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* item = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), menu);
        item->setObjectName(QStringLiteral("FileHistory%1").arg(i));
        // The path travels in the item's data: the caption is for the eye only.
        item->setData(FFiles[i]);
        connect(item, &QAction::triggered, this, [this, item] { MenuItemClick(item); });
        menu->insertAction(before, item);
        FMenuItems.emplace_back(item);
    }
    // A separator carries no caption: some styles draw a separator's text beside its line.
    auto* separator = new QAction(menu);
    separator->setSeparator(true);
    separator->setObjectName(QStringLiteral("FileHistorySep"));
    menu->insertAction(before, separator);
    FMenuItems.emplace_back(separator);
}

void TFileHistory::MenuItemClick(QAction* item)
{
    if (OnMenuItemClick)
        OnMenuItemClick(item, item->data().toString());
}
