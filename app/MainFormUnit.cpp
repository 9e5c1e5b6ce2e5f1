#include "app/MainFormUnit.h"

#include "Component/control/DecTree.h"
#include "Component/model/RollBack.h"
#include "Component/control/ScrollableDecTree.h"
#include "Component/draw/NodeStyles.h"
#include "app/AppStrings.h"
#include "app/DocumentFileDialog.h"
#include "app/MessageDialogs.h"
#include "app/NamedMutex.h"
#include "app/OptimizeReport.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "app/StatusPanelLabel.h"
#include "app/StyleCommands.h"
#include "app/TreePictures.h"
#include "app/UpdateCheck.h"
#include "app/forms/AboutForm.h"
#include "app/forms/OverviewExternalData.h"
#include "app/forms/PayoffMode.h"
#include "app/document/DocumentReader.h"
#include "app/document/DocumentWriter.h"
#include "app/forms/FeedbackFormUnit.h"
#include "app/forms/OptionsFormUnit.h"
#include "app/forms/TreePropertiesFormUnit.h"
#include "shared/core/CurrencyLayouts.h"
#include "shared/core/Exceptions.h"
#include "shared/core/MonetaryFormat.h"
#include "shared/widgets/RecentFileList.h"
#include "shared/widgets/ScreenFit.h"
#include "updater/UpdAutoUpdater.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>

#include <cmath>

// ---------------------------------------------------------------------------------------------
// Free helpers

QString GetShortHint(const QString& hint)
{
    const int bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.left(bar);
}

QString GetLongHint(const QString& hint)
{
    const int bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

QSize InitialWindowSize(const QSize& available, int menuHeight)
{
    // The size the window was designed at: its client area (everything below the menu bar)
    // 660 x 486, made smaller only when the screen is.
    const QSize designed(660, 486 + menuHeight);
    return available.isEmpty() ? designed : designed.boundedTo(available);
}

bool IsUpdateCheckDue(const DateTime& lastCheck, const DateTime& now)
{
    return now - lastCheck > 7 * DateTime::TicksPerDay;
}

namespace {

QString CurrencyPattern(const QLocale& locale, QString text, const QString& symbol, const QString& number)
{
    text.replace(QChar(0x00A0), QLatin1Char(' '));
    text.replace(QChar(0x202F), QLatin1Char(' '));
    text.replace(locale.negativeSign(), QLatin1String("-"));
    if (!symbol.isEmpty())
        text.replace(symbol, QLatin1String("$"));
    text.replace(number, QLatin1String("N"));
    return text;
}

} // namespace

void ApplySystemCurrency(TTreeOptions& options)
{
    // The desktop's own monetary settings; the toolkit's data for the language only where the
    // system has none (a locale that is not installed).
    const std::optional<TMonetaryFormat> system = ReadMonetaryFormat();
    if (!system) {
        ApplySystemCurrency(options, QLocale::system());
        return;
    }
    options.CurrencySymbol = system->Symbol;
    options.CurrencyDecimals = system->Decimals;
    options.CurrencyPosFormat = system->PositiveFormat;
    options.CurrencyNegFormat = system->NegativeFormat;
}

void ApplySystemCurrency(TTreeOptions& options, const QLocale& locale)
{
    const QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
    const QString one = locale.toCurrencyString(1.0);
    int decimals = 0;
    const int point = one.lastIndexOf(locale.decimalPoint());
    if (point >= 0)
        while (point + 1 + decimals < one.size() && one[point + 1 + decimals].isDigit())
            ++decimals;
    QString number = locale.toString(1.0, 'f', decimals);
    number.replace(QChar(0x00A0), QLatin1Char(' '));

    const QString positive = CurrencyPattern(locale, one, symbol, number);
    int posFormat = 0;
    for (int code = 0; code < 4; ++code)
        if (positive == QLatin1String(PositiveCurrencyLayouts[code]))
            posFormat = code;

    const QString negative = CurrencyPattern(locale, locale.toCurrencyString(-1.0), symbol, number);
    static const int negativeForPositive[4] = {1, 5, 9, 8};
    int negFormat = negativeForPositive[posFormat];
    for (int code = 0; code < 16; ++code)
        if (negative == QLatin1String(NegativeCurrencyLayouts[code]))
            negFormat = code;

    options.CurrencySymbol = symbol;
    options.CurrencyDecimals = decimals;
    options.CurrencyPosFormat = posFormat;
    options.CurrencyNegFormat = negFormat;
}

// ---------------------------------------------------------------------------------------------
// Creation

TMainForm::TMainForm(const QStringList& arguments, QWidget* parent) : QMainWindow(parent), FArguments(arguments)
{
    // The document is read on another thread while the window is made; the first show hands it
    // to the tree. Reading touches nothing the window holds.
    const QString firstDocument = FirstDocument();
    if (!firstDocument.isEmpty())
        FFirstDocument = std::async(std::launch::async, [firstDocument] { return PrepareDocument(firstDocument); });

    DefaultDialogs();
    setMinimumSize(260, 150);
    setWindowIcon(ProgramIcon());

    FFirstShow = true;
    FMutex = std::make_unique<TNamedMutex>(Startup::MutexName);

    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreatePopupMenu();

    FTreeContainer = new TScrollableDecTree(this);
    setCentralWidget(FTreeContainer);
    PlaceOnScreen();
    FTreeContainer->viewport()->installEventFilter(this);
    TDecTree* tree = GetTree();
    tree->installEventFilter(this);
    tree->SetPopupMenu(PopupMenu);
    TreePropertiesForm = new TTreePropertiesForm(tree, this);
    tree->Dialogs.Confirm = [](QWidget* owner, const QString& text) {
        return MessageDlg(owner, text, TMsgDlgType::Confirmation, mbYesNo) == TModalResult::Yes;
    };
    tree->Dialogs.Inform = [](QWidget* owner, const QString& text) {
        MessageDlg(owner, text, TMsgDlgType::Information, mbOK);
    };

    StyleCommands = new TStyleCommands(this, StylesMenu, StylesDeleteMenuItem, [this] { return GetTree(); }, TStyleCommands::CreateManager());
    StyleCommands->RunCommand = [this](const std::function<void()>& command) { RunCommand(command); };
    tree->OnCalculated = [this](TDecTree* sender) {
        UpdatePayoffStatusPanels();
        // The button shows the levels the tree shows, after a level choice as after an undo, a
        // click on a node's mark or an opened file. Typing a value changes no level.
        if (!sender->IsEditing() && sender->Root()) {
            const int levels = sender->Root()->GetVisibleLevelCount();
            if (LevelsToolButton->property("level").toInt() != levels)
                UpdateLevelsButtonImage(levels);
        }
    };
    tree->UndoManager().OnChange = [this](TUndoManager*) { UpdateUndoRedoCaptions(); };
    tree->OnAdvancedEdit = [this](TDecTree* sender, TDecTreeNode* node, TNodeElementType element) {
        if (element == htPayoff)
            EditNodePayoffAdvanced(sender, node, this);
    };
    // A fault while drawing is as unexpected as one in a command, and shown the same way.
    tree->OnPaintError = [this](TDecTree*, const TPaintError& error) { ShowError(error.ClassName, error.Message); };

    SetModified(false);
    setAcceptDrops(true);

    UpdateLevelsButtonImage(1);
    tree->OnBeforeExpandCollapse = [this](TDecTree*) { SaveUndoState(AppStrings::UndoExpandCollapseSubtree); };
    tree->OnBeforeShowDecisionProperty = [this](TDecTree*) {
        SaveUndoState(AppStrings::UndoShowHideDecisionProperty);
    };

    RecentFileList = new TFileHistory(this);
    RecentFileList->SetNumerOfFiles(6);
    RecentFileList->SetFileMenu(FileMenu);
    RecentFileList->SetFileExitMenu(FileExitMenuItem);
    RecentFileList->OnMenuItemClick = [this](QObject*, const QString& fileName) {
        RunCommand([&] { RecentFileListMenuItemClick(fileName); });
    };

    FileNewMenuItemClick();

    RecentFileList->SetRegKey(TSettings::RegistryKey);
    RecentFileList->Initialize();

    AutoUpdater = CreateAppUpdater(this);
    StartUpdateCheck = [this] { AutoUpdater->CheckUpdate(false); };
    AskAndCheckForUpdates();
}

TMainForm::~TMainForm()
{
    // The tree's events point back here; the tree goes with the window, but not before it.
    if (TDecTree* tree = GetTree()) {
        tree->OnCalculated = nullptr;
        tree->UndoManager().OnChange = nullptr;
        tree->OnBeforeExpandCollapse = nullptr;
        tree->OnBeforeShowDecisionProperty = nullptr;
        tree->OnPaintError = nullptr;
        tree->OnAdvancedEdit = nullptr;
    }
}

void TMainForm::DefaultDialogs()
{
    ExecuteOpenDialog = [this]() -> QString {
        QFileDialog dialog(this);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        SetDocumentFilters(dialog, false);
        dialog.setDefaultSuffix(AppStrings::DocumentExtension);
        if (!FFileName.isEmpty())
            dialog.setDirectory(QFileInfo(FFileName).absolutePath());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };
    ExecuteSaveDialog = [this](const QString& proposedName) -> QString {
        QFileDialog dialog(this);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        SetDocumentFilters(dialog, true);
        dialog.setDefaultSuffix(AppStrings::DocumentExtension);
        dialog.selectFile(proposedName);
        return ExecuteSaveFileDialog(dialog, DocumentExtensions, AppStrings::DocumentExtension);
    };
    ExecuteCommentDialog = [this](const QString& text) { return EditComment(text, this); };
    OpenHelpFile = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    HelpFileName = HelpFilePath();
}

void TMainForm::PlaceOnScreen()
{
    // Within the room the screen leaves once the window manager's frame is around the window.
    const QRect room = ScreenRoom(this);
    resize(InitialWindowSize(room.size(), menuBar()->sizeHint().height()));
    if (const QScreen* display = screen(); display && !room.isEmpty()) {
        // A window's position is its frame's corner: the client area centred in the room.
        const QPoint frameCorner = display->availableGeometry().topLeft() - room.topLeft();
        move(room.topLeft() + QPoint((room.width() - width()) / 2, (room.height() - height()) / 2) + frameCorner);
    }
}

QAction* TMainForm::AddAction(QMenu* menu, const QString& caption, const QString& hint,
                              const std::function<void()>& handler)
{
    QAction* action = menu->addAction(caption);
    SetHint(action, hint);
    if (handler)
        connect(action, &QAction::triggered, this, [this, handler] { RunCommand(handler); });
    else
        action->setEnabled(false); // its command is not part of this program yet
    return action;
}

void TMainForm::SetHint(QAction* action, const QString& hint)
{
    if (hint.isEmpty())
        return;
    action->setToolTip(GetShortHint(hint));
    action->setStatusTip(GetLongHint(hint));
}

void TMainForm::CreateMenus()
{
    using namespace AppStrings;
    FileMenu = menuBar()->addMenu(AppStrings::FileMenu);
    FileNewMenuItem = AddAction(FileMenu, FileNew, HintNew, [this] { FileNewMenuItemClick(); });
    FileNewMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    FileOpenMenuItem = AddAction(FileMenu, FileOpen, HintOpen, [this] { FileOpenMenuItemClick(); });
    FileOpenMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    FileSaveMenuItem = AddAction(FileMenu, FileSave, HintSave, [this] { FileSaveMenuItemClick(false); });
    FileSaveMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    FileSaveAsMenuItem = AddAction(FileMenu, FileSaveAs, QString(), [this] { FileSaveMenuItemClick(true); });
    FileExportPictureMenuItem = AddAction(FileMenu, FileExportPicture, HintExportPicture, [this] { ExportTreePicture(*GetTree(), this); });
    FileMenu->addSeparator();
    FileImportStylesMenuItem = AddAction(FileMenu, FileImportStyles, QString(), [this] { StyleCommands->FileImportStyleMenuItemClick(); });
    FileExportStyleMenuItem = AddAction(FileMenu, FileExportStyle, QString(), [this] { StyleCommands->FileExportStyleMenuItemClick(); });
    FileMenu->addSeparator();
    FileExternalDataMenuItem = AddAction(FileMenu, FileExternalData, QString(),
                                         [this] { ShowExternalDataOverview(GetTree(), FFileName, this); });
    FileTreePropertiesMenuItem =
        AddAction(FileMenu, FileTreeProperties, QString(), [this] { TreePropertiesForm->ShowTreeProperties(); });
    FileTreePropertiesMenuItem->setShortcut(QKeySequence(Qt::Key_F8));
    FileMenu->addSeparator();
    FilePrintMenuItem = AddAction(FileMenu, FilePrint, HintPrint, [this] { PrintTree(this, *GetTree()); });
    FilePrintMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    FileMenu->addSeparator();
    FileExitMenuItem = AddAction(FileMenu, FileExit, QString(), [this] { close(); });

    EditMenu = menuBar()->addMenu(AppStrings::EditMenu);
    EditUndoMenuItem = AddAction(EditMenu, AppStrings::EditUndo, HintUndo, [this] { EditUndoMenuItemClick(); });
    EditUndoMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EditRedoMenuItem = AddAction(EditMenu, AppStrings::EditRedo, HintRedo, [this] { EditRedoMenuItemClick(); });
    EditRedoMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    EditMenu->addSeparator()->setVisible(false);
    EditCopyAsPictureMenuItem = AddAction(EditMenu, EditCopyAsPicture, HintCopyPicture, [this] { CopyTreePicture(*GetTree()); });
    EditMenu->addSeparator();
    EditOptimizeWholeMenuItem =
        AddAction(EditMenu, EditOptimizeDecisions, HintOptimizeDecisions, [this] { EditOptimizeWholeMenuItemClick(); });

    StylesMenu = menuBar()->addMenu(AppStrings::StylesMenu);
    StylesMenu->addSeparator();
    StylesSaveCurrentStyleMenuItem = AddAction(StylesMenu, StylesSaveCurrentStyle, QString(), [this] { StyleCommands->StylesSaveCurrentMenuItemClick(); });
    StylesDeleteMenuItem = AddAction(StylesMenu, StylesDeleteStyles, QString(), [this] { StyleCommands->StylesDeleteMenuItemClick(); });

    ToolsMenu = menuBar()->addMenu(AppStrings::ToolsMenu);
    ToolsCheckUpdatesMenuItem =
        AddAction(ToolsMenu, ToolsCheckForUpdates, QString(), [this] { ToolsCheckUpdatesMenuItemClick(); });
    ToolsSendFeedbackMenuItem = AddAction(ToolsMenu, ToolsSendFeedback, QString(), [this] { ShowFeedbackForm(this); });
    ToolsMenu->addSeparator();
    ToolsOptionsMenuItem = AddAction(ToolsMenu, ToolsOptions, QString(), [this] { ToolsOptionsMenuItemClick(); });

    HelpMenu = menuBar()->addMenu(AppStrings::HelpMenu);
    HelpHelpMenuItem = AddAction(HelpMenu, HelpHelp, QString(), [this] { ApplicationHelp(); });
    HelpMenu->addSeparator();
    HelpAboutMenuItem = AddAction(HelpMenu, HelpAbout, QString(), [] { ShowAboutBox(); });

    // The window's help key opens the same help as the menu.
    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, [this] { RunCommand([this] { ApplicationHelp(); }); });
}

void TMainForm::CreateToolBar()
{
    StandardToolBar = addToolBar(QStringLiteral("Standard"));
    StandardToolBar->setObjectName(QStringLiteral("StandardToolBar"));
    StandardToolBar->setMovable(false);
    // No menu to hide the bar: once hidden, nothing would bring it back.
    StandardToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    StandardToolBar->setIconSize(QSize(16, 16));
    QStyle* s = style();
    auto icon = [](const char* theme, const QIcon& fallback) { return QIcon::fromTheme(QLatin1String(theme), fallback); };
    FileNewMenuItem->setIcon(icon("document-new", s->standardIcon(QStyle::SP_FileIcon)));
    FileOpenMenuItem->setIcon(icon("document-open", s->standardIcon(QStyle::SP_DialogOpenButton)));
    FileSaveMenuItem->setIcon(icon("document-save", s->standardIcon(QStyle::SP_DialogSaveButton)));
    FileExportPictureMenuItem->setIcon(icon("image-x-generic", s->standardIcon(QStyle::SP_DesktopIcon)));
    FilePrintMenuItem->setIcon(icon("document-print", s->standardIcon(QStyle::SP_ComputerIcon)));
    EditUndoMenuItem->setIcon(icon("edit-undo", s->standardIcon(QStyle::SP_ArrowBack)));
    EditRedoMenuItem->setIcon(icon("edit-redo", s->standardIcon(QStyle::SP_ArrowForward)));
    EditCopyAsPictureMenuItem->setIcon(icon("edit-copy", s->standardIcon(QStyle::SP_FileLinkIcon)));
    EditOptimizeWholeMenuItem->setIcon(icon("go-jump", s->standardIcon(QStyle::SP_MediaPlay)));

    StandardToolBar->addAction(FileNewMenuItem);
    StandardToolBar->addAction(FileOpenMenuItem);
    StandardToolBar->addAction(FileSaveMenuItem);
    StandardToolBar->addAction(FileExportPictureMenuItem);
    StandardToolBar->addSeparator();
    StandardToolBar->addAction(FilePrintMenuItem);
    StandardToolBar->addSeparator();
    StandardToolBar->addAction(EditUndoMenuItem);
    StandardToolBar->addAction(EditRedoMenuItem);
    StandardToolBar->addSeparator();
    StandardToolBar->addAction(EditCopyAsPictureMenuItem);
    StandardToolBar->addSeparator();
    StandardToolBar->addAction(EditOptimizeWholeMenuItem);
    StandardToolBar->addSeparator();

    LevelsPopupMenu = new QMenu(this);
    connect(LevelsPopupMenu, &QMenu::aboutToShow, this, [this] { RunCommand([this] { LevelsPopupMenuPopup(); }); });
    LevelsToolButton = new QToolButton(StandardToolBar);
    LevelsToolButton->setText(AppStrings::LevelsCaption);
    LevelsToolButton->setToolTip(GetShortHint(AppStrings::HintLevels));
    LevelsToolButton->setStatusTip(GetLongHint(AppStrings::HintLevels));
    LevelsToolButton->setMenu(LevelsPopupMenu);
    LevelsToolButton->setPopupMode(QToolButton::InstantPopup);
    StandardToolBar->addWidget(LevelsToolButton);
}

void TMainForm::CreateStatusBar()
{
    static const int widths[4] = {120, 130, 120, 50};
    const QString captions[4] = {AppStrings::PanelMinimum, AppStrings::PanelCurrent, AppStrings::PanelMaximum, QString()};
    const QString hints[4] = {AppStrings::HintMinimumPanel, AppStrings::HintCurrentPanel, AppStrings::HintMaximumPanel,
                              QString()};
    for (int i = 0; i < 4; ++i) {
        auto* panel = new TStatusPanelLabel(captions[i], statusBar());
        // Hints carry node captions and comments: shown as written, never as markup.
        panel->setTextFormat(Qt::PlainText);
        panel->setAlignment(i < 3 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        if (i < 3)
            panel->setFixedWidth(widths[i]);
        else
            panel->setMinimumWidth(widths[i]);
        panel->setToolTip(GetShortHint(hints[i]));
        statusBar()->addWidget(panel, i < 3 ? 0 : 1);
        StatusPanels[i] = panel;
    }
    UpdateCheckPanel = new QLabel(AppStrings::CheckingForUpdates, statusBar());
    statusBar()->addPermanentWidget(UpdateCheckPanel);
    UpdateCheckPanel->hide();
}

void TMainForm::ShowUpdateCheckRunning(bool running)
{
    UpdateCheckPanel->setVisible(running);
    FitStatusPanels();
    if (running)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

// ---------------------------------------------------------------------------------------------
// The document and its state

TDecTree* TMainForm::GetTree() const
{
    return FTreeContainer ? FTreeContainer->Tree() : nullptr;
}

void TMainForm::SaveUndoState(const QString& description)
{
    GetTree()->UndoManager().SaveState(description);
}

void TMainForm::SetModified(bool value)
{
    // Not modified names the present undo position as the one the file holds; undoing past it,
    // redoing or a new edit after undoing past it all leave that position.
    FSavedVersion = value ? NoSavedVersion : GetTree()->UndoManager().Version();
    ShowModified(value);
}

void TMainForm::ShowModified(bool value)
{
    FileSaveMenuItem->setEnabled(value);
    FileSaveAsMenuItem->setEnabled(true);
}

bool TMainForm::IsModified() const
{
    return FileSaveMenuItem->isEnabled();
}

void TMainForm::UpdateUndoRedoCaptions()
{
    TUndoManager& undo = GetTree()->UndoManager();
    EditUndoMenuItem->setEnabled(undo.CanUndo());
    EditUndoMenuItem->setText(undo.CanUndo() ? AppStrings::UndoWithAction.arg(undo.UndoDescription())
                                             : AppStrings::UndoPlain);
    EditRedoMenuItem->setEnabled(undo.CanRedo());
    EditRedoMenuItem->setText(undo.CanRedo() ? AppStrings::RedoWithAction.arg(undo.RedoDescription())
                                             : AppStrings::RedoPlain);
    // The tool buttons share the items' actions; their hints stay the plain ones.
    EditUndoMenuItem->setToolTip(AppStrings::HintUndo);
    EditRedoMenuItem->setToolTip(AppStrings::HintRedo);
    ShowModified(undo.Version() != FSavedVersion);
}

void TMainForm::SetDocumentFileName(const QString& newName, bool removeOld)
{
    if (!FFileName.isEmpty()) {
        if (removeOld)
            RecentFileList->Remove(FFileName);
        else
            RecentFileList->Add(FFileName);
    }
    FFileName = newName;
    if (!newName.isEmpty())
        RecentFileList->Add(newName);
    UpdateCaption();
}

void TMainForm::UpdateCaption()
{
    QString name = FFileName.isEmpty() ? AppStrings::NewDecisionTree : QFileInfo(FFileName).fileName();
    // "[*]" in a title is the window system's modified placeholder; doubled, it shows as written.
    name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(AppStrings::ProductName + QStringLiteral(" - ") + name);
}

bool TMainForm::ShowSaveChangesPrompt()
{
    FPendingCloneMaster = TGuid();
    if (!IsModified())
        return true;
    const QString question = FFileName.isEmpty() ? AppStrings::SaveChanges
                                                 : AppStrings::SaveChangesTo.arg(QFileInfo(FFileName).fileName());
    switch (MessageDlg(this, question, TMsgDlgType::Confirmation, mbYesNoCancel)) {
    case TModalResult::Yes: return SaveDocument(false);
    case TModalResult::No: return true;
    default: return false;
    }
}

TDecTreeNode* TMainForm::GetSingleSelectedNode()
{
    const std::vector<TDecTreeNode*> nodes = GetTree()->GetSelectedNodes();
    if (nodes.empty())
        throw InvalidOperationException(AppStrings::NoSelectedNode);
    if (nodes.size() > 1)
        throw InvalidOperationException(AppStrings::SeveralSelectedNodes + QString::number(nodes.size()) +
                                        AppStrings::AreSelected);
    return nodes.front();
}

bool TMainForm::IsMetricLocale()
{
    return QLocale::system().measurementSystem() == QLocale::MetricSystem;
}

// ---------------------------------------------------------------------------------------------
// Saving and loading

namespace {

// The hourglass while a file is read or written, whatever happens.
class TWaitCursor {
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

} // namespace

bool TMainForm::SaveDocument(bool saveAs)
{
    TDecTree* tree = GetTree();
    tree->CloseInlineEditor();
    QString target = FFileName;
    if (saveAs || target.isEmpty()) {
        const QString proposed = FFileName.isEmpty() ? tree->Root()->Caption : FFileName;
        target = ExecuteSaveDialog(proposed);
        if (target.isEmpty())
            return false;
    }
    QString error;
    bool written;
    {
        TWaitCursor wait;
        written = ::SaveDocument(tree->Document(), tree->StyleStates(), target, &error);
    }
    if (!written) {
        // The name is taken only once the file holds the document, so a failed Save as leaves
        // the caption, the recent files and the modified state as they were.
        ShowFileError(this, AppStrings::ErrorSavingFile, target, error);
        return false;
    }
    if (target != FFileName)
        SetDocumentFileName(target, true);
    SetModified(false);
    return true;
}

void TMainForm::LoadDocument(const QString& fileName, std::unique_ptr<TPreparedDocument> prepared)
{
    TDecTree* tree = GetTree();
    TLoadResult result;
    {
        TWaitCursor wait;
        tree->CloseInlineEditor();
        result = prepared ? ::LoadDocument(std::move(prepared), tree->Document(), tree->StyleStates())
                          : ::LoadDocument(fileName, tree->Document(), tree->StyleStates());
        if (result.Loaded()) {
            // The control forgets the edit and popup that belonged to the old nodes.
            tree->SetRoot(tree->Document().ReleaseRoot());
            tree->UndoManager().Clear();
            SetModified(false);
            SetDocumentFileName(fileName, false);
            tree->SelectNode(tree->Root(), htOptionDescriptor);
        }
        tree->Recalculate();
        // A document opens at its start with its root in view, wherever the layout put it (the
        // root stands level with the middle of its subtree, far down in a large tree).
        if (result.Loaded()) {
            tree->ScrollTo(QPoint(0, 0));
            tree->ScrollSelectionIntoView(true);
        }
    }
    switch (result.Status) {
    case TLoadStatus::Loaded:
        if (result.HasExternalData &&
            MessageDlg(this, AppStrings::ExternalDataQuestion, TMsgDlgType::Confirmation, mbYesNo) == TModalResult::Yes)
            FileExternalDataMenuItem->trigger();
        break;
    case TLoadStatus::FileMissing:
        MessageDlg(this, result.ErrorText, TMsgDlgType::Information, mbOK);
        RecentFileList->Remove(fileName);
        break;
    case TLoadStatus::Failed:
        // The reader changed nothing; like an undone "Load file" step, the failed load leaves
        // nothing to redo.
        tree->UndoManager().ClearRedo();
        ShowFileError(this, AppStrings::ErrorOpeningFile, fileName, result.ErrorText);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Commands

void TMainForm::RunCommand(const std::function<void()>& command)
{
    try {
        command();
    } catch (...) {
        // Commands expect no error: whatever escapes one goes to the error window.
        ShowCurrentError();
    }
}

void TMainForm::ShowException(const Exception& e)
{
    ShowUnexpectedException(e);
}

void TMainForm::ShowError(const QString& className, const QString& message)
{
    ShowUnexpectedError(className, message);
}

void TMainForm::FileNewMenuItemClick()
{
    if (!ShowSaveChangesPrompt())
        return;
    TDecTree* tree = GetTree();
    tree->CloseInlineEditor();
    tree->UndoManager().Clear();
    TDecTreeNode* root = tree->Root();
    root->Children.Clear();
    root->Caption = AppStrings::NewDecisionTree;
    root->NodeType = ntDecision;
    root->DecisionOwner.clear();
    root->DecisionCaption.clear();
    root->DecisionDueDate = 0;
    root->DecisionFixed = false;
    root->DecisionMultiBudget = -1;
    root->DecisionShowCaption = false;
    root->DecisionShowOwner = false;
    root->DecisionShowDueDate = false;
    root->DecisionShowFixed = false;
    root->DecisionMultiShowBudget = false;
    // As after opening a document: the root alone, so the keys have a node to act on.
    tree->SelectNode(root, htOptionDescriptor);

    TTreeOptions& options = tree->Options();
    options.SetStatusDate(0);
    options.SetOutlineCodes(true);
    ApplySystemCurrency(options);
    options.SetShowPayoff(true);

    tree->ResetDefaultStyles();
    tree->Recalculate();
    SetDocumentFileName(QString(), false);
    SetModified(false);
}

void TMainForm::FileOpenMenuItemClick()
{
    GetTree()->CloseInlineEditor();
    if (!ShowSaveChangesPrompt())
        return;
    const QString fileName = ExecuteOpenDialog();
    if (!fileName.isEmpty())
        LoadDocument(fileName);
}

void TMainForm::FileSaveMenuItemClick(bool saveAs)
{
    SaveDocument(saveAs);
}

void TMainForm::EditUndoMenuItemClick()
{
    if (EditUndoMenuItem->isEnabled())
        GetTree()->UndoManager().Undo();
}

void TMainForm::EditRedoMenuItemClick()
{
    if (EditRedoMenuItem->isEnabled())
        GetTree()->UndoManager().Redo();
}

void TMainForm::EditOptimizeWholeMenuItemClick()
{
    TDecTree* tree = GetTree();
    tree->CloseInlineEditor();
    if (!tree->Options().ShowPayoff) {
        MessageDlg(this, AppStrings::CannotOptimize, TMsgDlgType::Information, mbOK);
        return;
    }
    SaveUndoState(AppStrings::UndoFindOptimalPath);
    tree->Root()->OptimizeDecisions();
    const int unsolved = CountUnsolvedMultiOptions(*tree->Root());
    tree->Recalculate();
    ReportUnsolvedDecisions(this, unsolved);
}

void TMainForm::ToolsOptionsMenuItemClick()
{
    ShowOptionsDialog(this);
}

void TMainForm::ApplicationHelp()
{
    if (QFileInfo::exists(HelpFileName))
        OpenHelpFile(HelpFileName);
    else
        MessageDlg(this, AppStrings::NoHelpFile.arg(Startup::ApplicationHelpFile), TMsgDlgType::Information, mbOK);
}

void TMainForm::RecentFileListMenuItemClick(const QString& fileName)
{
    if (ShowSaveChangesPrompt())
        LoadDocument(fileName);
}

void TMainForm::ToolsCheckUpdatesMenuItemClick()
{
    CheckForUpdatesNow(*AutoUpdater, this, [this](bool running) { ShowUpdateCheckRunning(running); });
}

void TMainForm::AskAndCheckForUpdates()
{
    try {
        TSettings settings;
        if (!settings.AutoUpdateConfigured) {
            settings.CanCheckForAutoUpdate =
                MessageDlg(this, AppStrings::AskAutoUpdate, TMsgDlgType::Confirmation, mbYesNo) == TModalResult::Yes;
            settings.AutoUpdateConfigured = true;
        }
        if (settings.CanCheckForAutoUpdate && IsUpdateCheckDue(settings.LastUpdateCheck, DateTime::Now()) &&
            StartUpdateCheck)
            StartUpdateCheck();
        settings.SaveSettings();
    } catch (const Exception& e) {
        // Settings that cannot be kept mean the question comes again: the user is told once, in
        // plain words, which file and why, and the program starts with the settings it has.
        MessageDlg(this, e.Message(), TMsgDlgType::Warning, mbOK);
    }
}

// ---------------------------------------------------------------------------------------------
// Status bar and levels

void TMainForm::UpdatePayoffStatusPanels()
{
    TDecTree* tree = GetTree();
    const TDecTreeNode* root = tree->Root();
    QString texts[3];
    if (tree->Options().ShowPayoff && root) {
        // The same rounding as the tree's own amounts: halves to even, beyond the money range
        // the range's end rather than a wrapped number.
        auto money = [tree](double value) { return tree->FormatCurrency(ValueToCurrency(value)); };
        texts[0] = AppStrings::MinPrefix + money(root->MinValue);
        texts[1] = AppStrings::CurrentPrefix + money(root->ExpectedValue);
        texts[2] = AppStrings::MaxPrefix + money(root->MaxValue);
    } else {
        texts[0] = texts[1] = texts[2] = AppStrings::NoPayoffPanel;
    }
    for (int i = 0; i < 3; ++i)
        StatusPanels[i]->setText(texts[i]);
    FitStatusPanels();
}

void TMainForm::FitStatusPanels()
{
    // The update check's panel, while it shows, takes its room from the others.
    const int taken = UpdateCheckPanel->isHidden() ? 0 : UpdateCheckPanel->sizeHint().width();
    FitPayoffPanels(StatusPanels, width() - taken);
}

void TMainForm::UpdateLevelsButtonImage(int level)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setPen(Qt::black);
        painter.setFont(LevelsToolButton->font());
        const QString text = QString::number(level);
        const QFontMetrics metrics(painter.font());
        const int x = (16 - metrics.horizontalAdvance(text)) / 2;
        const int y = (16 - metrics.height()) / 2;
        painter.drawText(x, y + metrics.ascent(), text);
    }
    // White is the transparent colour.
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == qRgb(255, 255, 255))
                image.setPixel(x, y, qRgba(0, 0, 0, 0));
    LevelsToolButton->setIcon(QIcon(QPixmap::fromImage(image)));
    LevelsToolButton->setProperty("level", level);
}

void TMainForm::LevelsPopupMenuPopup()
{
    LevelsPopupMenu->clear();
    const int levels = GetTree()->GetLevels();
    for (int level = 1; level <= levels; ++level) {
        QAction* item = LevelsPopupMenu->addAction(AppStrings::LevelItem.arg(level));
        item->setData(level);
        connect(item, &QAction::triggered, this, [this, level] { RunCommand([&] { LevelItemClick(level); }); });
    }
}

void TMainForm::LevelItemClick(int level)
{
    SaveUndoState(AppStrings::UndoExpandCollapse);
    GetTree()->SetVisibleLevels(level); // the button follows in OnCalculated
}

// ---------------------------------------------------------------------------------------------
// Window events

bool TMainForm::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        // The long hint goes to the hint panel; the payoff panels stay.
        StatusPanels[3]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    if (event->type() == QEvent::Resize)
        FitStatusPanels();
    return QMainWindow::event(event);
}

void TMainForm::FormShow()
{
    if (FFirstShow) {
        FFirstShow = false;
        const QString fileName = FirstDocument();
        if (!fileName.isEmpty())
            RunCommand([&] { LoadDocument(fileName, FFirstDocument.valid() ? FFirstDocument.get() : nullptr); });
    }
    GetTree()->setFocus();
}

QString TMainForm::FirstDocument() const
{
    // A single blank is the updater's restart parameter, never a document. The document is known
    // by its full path, so its recent-file entry still opens it when the program is started from
    // another folder.
    if (FArguments.isEmpty() || FArguments.constFirst().trimmed().isEmpty())
        return QString();
    return QFileInfo(FArguments.constFirst()).absoluteFilePath();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        QMetaObject::invokeMethod(this, [this] { FormShow(); }, Qt::QueuedConnection);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    bool close = false;
    RunCommand([&] { close = ShowSaveChangesPrompt(); });
    if (close)
        event->accept();
    else
        event->ignore();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
}

void TMainForm::dropEvent(QDropEvent* event)
{
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    event->acceptProposedAction();
    // Opening may ask questions; the drag source must not wait for them.
    QMetaObject::invokeMethod(this, [this, files] { RunCommand([&] { DropFiles(files); }); }, Qt::QueuedConnection);
}

void TMainForm::DropFiles(const QStringList& fileNames)
{
    if (fileNames.isEmpty())
        return;
    GetTree()->CloseInlineEditor();
    if (ShowSaveChangesPrompt())
        LoadDocument(fileNames.constFirst());
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (FTreeContainer && watched == FTreeContainer->viewport() && event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const bool horizontal = wheel->modifiers() & Qt::ShiftModifier;
        QScrollBar* bar = horizontal ? FTreeContainer->horizontalScrollBar() : FTreeContainer->verticalScrollBar();
        int delta = wheel->angleDelta().y();
        if (delta == 0)
            delta = wheel->angleDelta().x();
        if (bar->isVisible())
            bar->setValue(bar->value() + (delta >= 1 ? -40 : 40));
        return true;
    }
    if (watched == GetTree() && event->type() == QEvent::MouseMove) {
        // The tree picks its hint for the point under the mouse while it handles the move; its
        // long part then goes to the hint panel, as the hints of menus and buttons do.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (TDecTree* tree = GetTree())
                    StatusPanels[3]->setText(GetLongHint(tree->Hint()));
            },
            Qt::QueuedConnection);
    }
    return QMainWindow::eventFilter(watched, event);
}
