#pragma once
// The program's one main window: menus, tool bar, the scrolling tree control and the status
// bar. It owns the current document's file name and modified state, runs every command of the
// menus, the tool bar and the node popup menu, and keeps the caption, the Undo and Redo
// captions and the payoff panels current.
//
// Every command that changes the document records one undo step first, then changes the nodes
// and ends with the tree's Recalculate. The modified state follows the undo stack.

#include "Component/model/NodeTypes.h"
#include "app/document/DocumentReader.h"
#include "app/forms/CommentFormUnit.h"
#include "shared/core/DateTime.h"
#include "shared/core/Guid.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <functional>
#include <future>
#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QLocale;
class QMenu;
class QToolBar;
class QToolButton;
class TDecTree;
class TDecTreeNode;
class TFileHistory;
class TNamedMutex;
class TScrollableDecTree;
class TStyleCommands;
class TTreePropertiesForm;
class TupdAutoUpdater;
struct TTreeOptions;

// Fills the currency fields of the view settings from a locale's data in the toolkit: symbol,
// decimals and the positive (0-3) and negative (0-15) currency format codes.
void ApplySystemCurrency(TTreeOptions& options, const QLocale& locale);
// The same from the system's monetary settings, or from the toolkit's data for the system's
// locale where the system has none.
void ApplySystemCurrency(TTreeOptions& options);
// The window's first size on a screen area of the given size (empty when unknown), with
// menuHeight taken by the menu bar.
QSize InitialWindowSize(const QSize& available, int menuHeight);
// Whether an automatic update check is due: more than seven days since the last one.
bool IsUpdateCheckDue(const DateTime& lastCheck, const DateTime& now);
// The parts of a "short|long" hint; a hint without a bar is both.
QString GetShortHint(const QString& hint);
QString GetLongHint(const QString& hint);

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // arguments: the command line after the program's name; the first names a document to open
    // when the window is first shown.
    explicit TMainForm(const QStringList& arguments = QStringList(), QWidget* parent = nullptr);
    ~TMainForm() override;

    // ---- The document ----
    TDecTree* GetTree() const;
    TScrollableDecTree* TreeContainer() const { return FTreeContainer; }
    // The current document's full path; empty for a new document.
    const QString& FileName() const { return FFileName; }
    // Set by "Define as clone master"; the empty GUID when none is pending.
    const TGuid& PendingCloneMaster() const { return FPendingCloneMaster; }

    // True when the caller may go on (discard or replace the document): not modified, or
    // saved, or the user chose not to save.
    bool ShowSaveChangesPrompt();
    void SetModified(bool value);
    bool IsModified() const;
    void SetDocumentFileName(const QString& newName, bool removeOld);
    void UpdateCaption();
    // The one selected node; raises InvalidOperationException for none or several.
    TDecTreeNode* GetSingleSelectedNode();
    static bool IsMetricLocale();

    // Writes the document (asking for a name when saveAs or when it has none). True only when
    // the file was written; a failed write changes neither the name nor the modified state.
    bool SaveDocument(bool saveAs);
    // Replaces the document by the file's, or leaves it as it was and says why. With prepared,
    // the file as it was read already (see PrepareDocument).
    void LoadDocument(const QString& fileName, std::unique_ptr<TPreparedDocument> prepared = nullptr);
    // Files dropped on the window: only the first is opened.
    void DropFiles(const QStringList& fileNames);
    // The first show's work: opening the document named on the command line, once.
    void FormShow();
    // The document named on the command line, with its full path; empty when none.
    QString FirstDocument() const;

    // ---- Seams for the modal dialogs; each has a working default ----
    // The open dialog: the chosen path, empty when cancelled.
    std::function<QString()> ExecuteOpenDialog;
    // The save dialog, proposing a name: the chosen path, empty when cancelled.
    std::function<QString(const QString& proposedName)> ExecuteSaveDialog;
    std::function<TCommentResult(const QString& text)> ExecuteCommentDialog;
    // Opens the help file with the desktop's handler.
    std::function<void(const QString& path)> OpenHelpFile;
    // The help file: "Quandrel.chm" in the program's folder.
    QString HelpFileName;
    // Starts a background update check.
    std::function<void()> StartUpdateCheck;
    std::unique_ptr<TupdAutoUpdater> AutoUpdater;

    // ---- Commands ----
    void FileNewMenuItemClick();
    void FileOpenMenuItemClick();
    void FileSaveMenuItemClick(bool saveAs);
    void EditUndoMenuItemClick();
    void EditRedoMenuItemClick();
    void EditOptimizeWholeMenuItemClick();
    void ToolsOptionsMenuItemClick();
    void ApplicationHelp();
    void RecentFileListMenuItemClick(const QString& fileName);
    void LevelItemClick(int level);
    void AskAndCheckForUpdates();
    void ToolsCheckUpdatesMenuItemClick();

    // Node popup commands.
    void PopupMenuPopup();
    void PopupEditMenuItemClick();
    void PopupAddChildMenuItemClick();
    void PopupMoveUpMenuItemClick();
    void PopupMoveDownMenuItemClick();
    void PopupRemoveMenuItemClick();
    void PopupTypeMenuItemClick(QAction* sender);
    void PopupTakeOptionMenuItemClick();
    void PopupTakeThisPathMenuItemClick();
    void PopupDefineAsCloneMasterMenuItemClick();
    void PopupDefineAsCloneOfMenuItemClick();
    void PopupUnlinkCloneMenuItemClick();
    void PopupOptimizeSubnodeDecisionsMenuItemClick();
    void PopupCommentMenuItemClick();
    void PopupEditNodeTypeStyleMenuItemClick();

    // ---- Tree event handlers ----
    void UpdatePayoffStatusPanels();
    void UpdateUndoRedoCaptions();
    void UpdateLevelsButtonImage(int level);
    void LevelsPopupMenuPopup();

    // ---- Menus, tool bar and status bar ----
    QMenu* FileMenu = nullptr;
    QAction* FileNewMenuItem = nullptr;
    QAction* FileOpenMenuItem = nullptr;
    QAction* FileSaveMenuItem = nullptr;
    QAction* FileSaveAsMenuItem = nullptr;
    QAction* FileExportPictureMenuItem = nullptr;
    QAction* FileImportStylesMenuItem = nullptr;
    QAction* FileExportStyleMenuItem = nullptr;
    QAction* FileExternalDataMenuItem = nullptr;
    QAction* FileTreePropertiesMenuItem = nullptr;
    QAction* FilePrintMenuItem = nullptr;
    QAction* FileExitMenuItem = nullptr;
    QMenu* EditMenu = nullptr;
    QAction* EditUndoMenuItem = nullptr;
    QAction* EditRedoMenuItem = nullptr;
    QAction* EditCopyAsPictureMenuItem = nullptr;
    QAction* EditOptimizeWholeMenuItem = nullptr;
    QMenu* StylesMenu = nullptr;
    QAction* StylesSaveCurrentStyleMenuItem = nullptr;
    QAction* StylesDeleteMenuItem = nullptr;
    QMenu* ToolsMenu = nullptr;
    QAction* ToolsCheckUpdatesMenuItem = nullptr;
    QAction* ToolsSendFeedbackMenuItem = nullptr;
    QAction* ToolsOptionsMenuItem = nullptr;
    QMenu* HelpMenu = nullptr;
    QAction* HelpHelpMenuItem = nullptr;
    QAction* HelpAboutMenuItem = nullptr;

    QToolBar* StandardToolBar = nullptr;
    QToolButton* LevelsToolButton = nullptr;
    QMenu* LevelsPopupMenu = nullptr;

    // Panels 0 to 2: minimum, current and maximum payoff; panel 3: the long hint.
    QLabel* StatusPanels[4] = {};
    // At the bar's right end while Tools > Check for Updates runs.
    QLabel* UpdateCheckPanel = nullptr;
    // The sign that an update check runs: that panel, and the busy cursor over the window.
    void ShowUpdateCheckRunning(bool running);

    TFileHistory* RecentFileList = nullptr;
    // The Styles menu and the saved-style commands.
    TStyleCommands* StyleCommands = nullptr;
    // The window's own modeless properties dialog, bound to its tree.
    TTreePropertiesForm* TreePropertiesForm = nullptr;

    QMenu* PopupMenu = nullptr;
    QAction* PopupEditMenuItem = nullptr;
    QAction* PopupEditPayoffAdvancedMenuItem = nullptr;
    QAction* PopupAddChildMenuItem = nullptr;
    QAction* PopupMoveUpMenuItem = nullptr;
    QAction* PopupMoveDownMenuItem = nullptr;
    QAction* PopupRemoveMenuItem = nullptr;
    QAction* PopupEditNodeTypeStyleMenuItem = nullptr;
    QMenu* PopupTypeMenu = nullptr;
    QAction* PopupTypeMenuItem = nullptr;
    QAction* PopupTypeDecisionChooseOneMenuItem = nullptr;
    QAction* PopupTypeDecisionChooseMultipleMenuItem = nullptr;
    QAction* PopupTypeChancePercentMenuItem = nullptr;
    QAction* PopupTypeChanceNumericMenuItem = nullptr;
    QAction* PopupTakeOptionMenuItem = nullptr;
    QAction* PopupTakeThisPathMenuItem = nullptr;
    QAction* PopupDefineAsCloneMasterMenuItem = nullptr;
    QAction* PopupDefineAsCloneOfMenuItem = nullptr;
    QAction* PopupUnlinkCloneMenuItem = nullptr;
    QAction* PopupOptimizeSubnodeDecisionsMenuItem = nullptr;
    QAction* PopupCommentMenuItem = nullptr;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void FitStatusPanels();
    void CreatePopupMenu();
    void PlaceOnScreen();
    QAction* AddAction(QMenu* menu, const QString& caption, const QString& hint,
                       const std::function<void()>& handler);
    void SetHint(QAction* action, const QString& hint);
    // Runs a command; an exception that escapes it is shown, and the program goes on.
    void RunCommand(const std::function<void()>& command);
    void ShowException(const class Exception& e);
    void ShowError(const QString& className, const QString& message);
    void SaveUndoState(const QString& description);
    void DefaultDialogs();

    TScrollableDecTree* FTreeContainer = nullptr;
    std::unique_ptr<TNamedMutex> FMutex;
    QString FFileName;
    // The undo position last saved or opened (TUndoManager::Version); none after SetModified(true).
    static constexpr uint64_t NoSavedVersion = UINT64_MAX;
    uint64_t FSavedVersion = NoSavedVersion;
    void ShowModified(bool value);
    TGuid FPendingCloneMaster;
    bool FFirstShow = true;
    QStringList FArguments;
    // The document named on the command line, read while the window is being made.
    std::future<std::unique_ptr<TPreparedDocument>> FFirstDocument;
};
