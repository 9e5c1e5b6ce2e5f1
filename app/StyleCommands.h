#pragma once
// The Styles menu and the commands on saved styles: the menu lists the shipped styles, then the
// user's, above its fixed items; a click applies that style to the document. Saving the current
// style, importing and exporting style files and deleting the user's styles are here too.

#include "app/MenuItemList.h"
#include "app/document/StyleManager.h"
#include "app/forms/SaveNewStyleFormUnit.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <pugixml.hpp>

class QAction;
class QMenu;
class QWidget;
class TDecTree;

class TStyleCommands : public QObject {
    Q_OBJECT
public:
    static inline const QString SystemGroup = QStringLiteral("System");
    static inline const QString UserGroup = QStringLiteral("User");

    // stylesMenu holds a separator and the fixed items; deleteItem is "Delete styles...".
    TStyleCommands(QWidget* owner, QMenu* stylesMenu, QAction* deleteItem, std::function<TDecTree*()> getTree,
                   std::unique_ptr<TStyleManager> manager);
    ~TStyleCommands() override;

    TStyleManager& Manager() const { return *FManager; }
    // Replaces the two lists (and rebuilds the menu).
    void SetManager(std::unique_ptr<TStyleManager> manager);

    void BuildStylesMenu();
    void ApplyStyleMenuItem(QAction* sender);
    // A new style document of the tree's style states; nothing is written to disk.
    std::unique_ptr<pugi::xml_document> WriteStyleFile(const QString& name, const QString& description,
                                                       const QString& author) const;
    // Applies the styles of a style file or document as one undo step; a style file read from
    // fileName (not empty) is copied into the user's styles. Messages name the file the document
    // came from: source, or fileName when source is empty.
    void ImportStyleFile(pugi::xml_document& document, const QString& fileName, const QString& source = QString());

    void StylesSaveCurrentMenuItemClick();
    void StylesDeleteMenuItemClick();
    void FileImportStyleMenuItemClick();
    void FileExportStyleMenuItemClick();

    // ---- Seams for the modal dialogs; each has a working default ----
    std::function<TSaveStyleDialogResult(bool showFileName)> ExecuteSaveStyleDialog;
    std::function<void(TSavedStyles& styles)> ShowStyleManager;
    // The chosen style or document files, empty when cancelled.
    std::function<QStringList()> ExecuteStyleOpenDialog;
    // How a generated menu item's click is run (the main window shows what escapes it).
    std::function<void(const std::function<void()>& command)> RunCommand;

    // The lists the main window starts with: the shipped and the user's folders. Replaceable,
    // so that tests never read the real ones.
    static inline std::function<std::unique_ptr<TStyleManager>()> CreateManager = [] {
        return std::make_unique<TStyleManager>(TStyleManager::DefaultShippedFolder(), TStyleManager::DefaultUserFolder());
    };

    // The generated items, shipped styles first.
    const TMenuItemList& MenuItemList() const { return FMenuItemList; }

private:
    // Stores the document as the user's style fileName, asking before it overwrites one.
    void SaveUserStyle(const QString& fileName, pugi::xml_document& document);

    QWidget* FOwner;
    QMenu* FStylesMenu;
    QAction* FDeleteItem;
    std::function<TDecTree*()> FGetTree;
    std::unique_ptr<TStyleManager> FManager;
    TMenuItemList FMenuItemList;
};
