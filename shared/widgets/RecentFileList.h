#pragma once
// The recently opened documents: kept in the per-user settings under <RegKey>\RecentFiles and
// shown as numbered entries in the File menu, just above its exit item.

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <vector>

class TSettingsStore;

class TFileHistory : public QObject {
    Q_OBJECT
public:
    // Sender is the clicked entry (a QAction); Filename its document's full path.
    using TMenuItemClick = std::function<void(QObject* sender, const QString& fileName)>;

    explicit TFileHistory(QObject* owner = nullptr);
    // Saves the list, unless it was never initialised.
    ~TFileHistory() override;

    // The settings root the list lives in; null means the program's store
    // (TSettingsStore::Application()).
    TSettingsStore* RegRoot() const { return FRegRoot; }
    void SetRegRoot(TSettingsStore* root) { FRegRoot = root; }
    // The key below the root ('\'-separated); the entries live in its subkey "RecentFiles".
    const QString& RegKey() const { return FRegKey; }
    void SetRegKey(const QString& key) { FRegKey = key; }
    // The most entries kept.
    int NumerOfFiles() const { return FNumerOfFiles; }
    void SetNumerOfFiles(int count) { FNumerOfFiles = count < 0 ? 0 : count; }
    // The top-level File menu: each time it is about to show, the entries are built anew.
    QMenu* FileMenu() const { return FFileMenu; }
    void SetFileMenu(QMenu* menu);
    // The exit item; the entries go just above it, in the menu that holds it.
    QAction* FileExitMenu() const { return FFileExitMenu; }
    void SetFileExitMenu(QAction* exitItem) { FFileExitMenu = exitItem; }

    TMenuItemClick OnMenuItemClick;

    // When RegKey is set: removes the entries from the menu and reads the list afresh.
    void Initialize();
    void Loaded() { Initialize(); }
    // Puts the file at the front (an entry already there trades places with the first one),
    // then saves.
    void Add(const QString& fileName);
    // Deletes the entry of that path, then saves; nothing happens when it is not listed.
    void Remove(const QString& fileName);
    void Load();
    void Save();
    void BuildMenu();

    // The entries, most recent first.
    const QStringList& Files() const { return FFiles; }

    static const QString SubKeyName;

private:
    void AddEntry(const QString& fileName);
    void FileMenuClick();
    void MenuItemClick(QAction* item);
    void RemoveMenuItems();
    TSettingsStore* Store() const;
    QMenu* EntriesMenu() const;

    TSettingsStore* FRegRoot = nullptr;
    QString FRegKey;
    int FNumerOfFiles = 6;
    QPointer<QMenu> FFileMenu;
    QPointer<QAction> FFileExitMenu;
    QMetaObject::Connection FFileMenuConnection;
    QStringList FFiles;
    bool FInitialized = false;
    std::vector<QPointer<QAction>> FMenuItems;
};
