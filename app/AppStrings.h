#pragma once
// The main window's user-visible texts: menu and tool-bar captions and hints, undo action
// names, questions and notices. Kept in one place so they read exactly as users know them.
// Hints are "short|long": the tool tip shows the short part, the status bar the long one.

#include <QString>

namespace AppStrings {
// ---- Window ----
inline const QString ProductName = QStringLiteral("Quandrel");
inline const QString NewDecisionTree = QStringLiteral("New Decision Tree");

// ---- Menus ----
inline const QString FileMenu = QStringLiteral("&File");
inline const QString EditMenu = QStringLiteral("&Edit");
inline const QString StylesMenu = QStringLiteral("&Styles");
inline const QString ToolsMenu = QStringLiteral("&Tools");
inline const QString HelpMenu = QStringLiteral("&Help");

inline const QString FileNew = QStringLiteral("&New");
inline const QString FileOpen = QStringLiteral("Open...");
inline const QString FileSave = QStringLiteral("Save");
inline const QString FileSaveAs = QStringLiteral("Save as...");
inline const QString FileExportPicture = QStringLiteral("Export picture...");
inline const QString FileImportStyles = QStringLiteral("Import styles...");
inline const QString FileExportStyle = QStringLiteral("Export style...");
inline const QString FileExternalData = QStringLiteral("External data...");
inline const QString FileTreeProperties = QStringLiteral("Tree properties...");
inline const QString FilePrint = QStringLiteral("Print...");
inline const QString FileExit = QStringLiteral("Exit");
inline const QString EditUndo = QStringLiteral("&Undo");
inline const QString EditRedo = QStringLiteral("Redo");
inline const QString EditCopyAsPicture = QStringLiteral("Copy as picture");
inline const QString EditOptimizeDecisions = QStringLiteral("Optimize decisions");
inline const QString StylesSaveCurrentStyle = QStringLiteral("Save current style...");
inline const QString StylesDeleteStyles = QStringLiteral("Delete styles...");
inline const QString ToolsCheckForUpdates = QStringLiteral("Check for Updates");
inline const QString ToolsSendFeedback = QStringLiteral("Send Feedback...");
inline const QString ToolsOptions = QStringLiteral("Options...");
inline const QString HelpHelp = QStringLiteral("Help...");
inline const QString HelpAbout = QStringLiteral("About...");

// ---- Tool-bar hints ----
inline const QString HintNew = QStringLiteral("New|Starts a new blank file");
inline const QString HintOpen = QStringLiteral("Open");
inline const QString HintSave = QStringLiteral("Save");
inline const QString HintExportPicture = QStringLiteral("Export picture|Exports the current decision tree as a picture file");
inline const QString HintPrint = QStringLiteral("Print");
inline const QString HintUndo = QStringLiteral("Undo");
inline const QString HintRedo = QStringLiteral("Redo");
inline const QString HintCopyPicture =
    QStringLiteral("Copy picture|Places the current decision tree as a picture into clipboard");
inline const QString HintOptimizeDecisions = QStringLiteral("Optimize decisons|Optimizes all decisions to maximize payoff");
inline const QString HintLevels = QStringLiteral("Expand/Collapse|Expand or collapse nodes based on level");
inline const QString LevelsCaption = QStringLiteral("1");
inline const QString LevelItem = QStringLiteral("Level %1");

// ---- Undo and Redo captions ----
inline const QString UndoWithAction = QStringLiteral("Undo %1");
inline const QString UndoPlain = QStringLiteral("Undo");
inline const QString RedoWithAction = QStringLiteral("Redo %1");
inline const QString RedoPlain = QStringLiteral("Redo");

// ---- Status bar ----
inline const QString PanelMinimum = QStringLiteral("Minimum");
inline const QString PanelCurrent = QStringLiteral("Current");
inline const QString PanelMaximum = QStringLiteral("Maximum");
inline const QString MinPrefix = QStringLiteral("Min ");
inline const QString CurrentPrefix = QStringLiteral("Current ");
inline const QString MaxPrefix = QStringLiteral("Max ");
inline const QString NoPayoffPanel = QStringLiteral("    ");
inline const QString HintMinimumPanel = QStringLiteral("Lowest payoff possible by changing decisions|");
inline const QString HintCurrentPanel = QStringLiteral("Current payoff based on your decisions|");
inline const QString HintMaximumPanel = QStringLiteral("Highest payoff possible by changing decisions|");

// ---- Questions and notices of the main window ----
inline const QString SaveChangesTo = QStringLiteral("Do you want to save the changes to %1?");
inline const QString SaveChanges = QStringLiteral("Do you want to save the changes?");
inline const QString AskAutoUpdate = QStringLiteral(
    "May Quandrel automatically check for updates? (recommended; you can turn this feature off anytime using the "
    "Options dialog)");
inline const QString CannotOptimize = QStringLiteral(
    "Decision Tree cannot be optimized because payoff values are disabled at the moment. Please click "
    "'File|Tree properties...' (F8) and check 'Show payoff values' on the 'General' page to activate payoff values.");
inline const QString ErrorOpeningFile = QStringLiteral("Error opening file: ");
inline const QString ErrorSavingFile = QStringLiteral("Error saving file: ");
inline const QString ExternalDataQuestion =
    QStringLiteral("This project contains external data. Do you want to check if this data has been updated?");
inline const QString CheckingForUpdates = QStringLiteral("Checking for updates...");
inline const QString NoHelpFile = QStringLiteral("No help file is installed (%1 was not found).");

// ---- File dialogs ----
inline const QString DocumentExtension = QStringLiteral("qdn");

// ---- Undo action names of the main window ----
inline const QString UndoFindOptimalPath = QStringLiteral("Find optimal path");
inline const QString UndoExpandCollapse = QStringLiteral("Expand/Collapse");
inline const QString UndoExpandCollapseSubtree = QStringLiteral("Expand/Collapse subtree");
inline const QString UndoShowHideDecisionProperty = QStringLiteral("Show/Hide decision property");
inline const QString UndoEditPayoffAdvanced = QStringLiteral("Edit Payoff (advanced)");

// ---- Node popup menu ----
inline const QString PopupEdit = QStringLiteral("Edit");
inline const QString PopupEditTitle = QStringLiteral("Edit Title");
inline const QString PopupEditProbability = QStringLiteral("Edit Probability");
inline const QString PopupEditPayoff = QStringLiteral("Edit Payoff");
inline const QString PopupEditCaption = QStringLiteral("Edit Caption");
inline const QString PopupEditDecisionOwner = QStringLiteral("Edit Decision Owner");
inline const QString PopupEditBudget = QStringLiteral("Edit Budget");
inline const QString PopupEditDecisionDueDate = QStringLiteral("Edit Decision Due Date");
inline const QString PopupToggleMode = QStringLiteral("Toggle Mode");
inline const QString PopupEditPayoffAdvanced = QStringLiteral("Edit Payoff (advanced)...");
inline const QString PopupAddChild = QStringLiteral("Add Child");
inline const QString PopupAdd = QStringLiteral("Add");
inline const QString PopupAddSubnode = QStringLiteral("Add subnode");
inline const QString PopupAddSubnodes = QStringLiteral("Add subnodes");
inline const QString PopupAddBranch = QStringLiteral("Add branch");
inline const QString PopupAddBranches = QStringLiteral("Add branches");
inline const QString PopupMoveUp = QStringLiteral("Move up");
inline const QString PopupMoveDown = QStringLiteral("Move down");
inline const QString PopupRemove = QStringLiteral("Remove...");
inline const QString PopupEditNodeTypeStyle = QStringLiteral("Edit node type style...");
inline const QString PopupType = QStringLiteral("Type");
inline const QString PopupTypeDecisionChooseOne = QStringLiteral("Decision (Choose one)");
inline const QString PopupTypeDecisionChooseMultiple = QStringLiteral("Decision (Choose multiple)");
inline const QString PopupTypeChancePercent = QStringLiteral("Chance (%)");
inline const QString PopupTypeChanceNumeric = QStringLiteral("Chance (numeric)");
inline const QString PopupTakeOption = QStringLiteral("Take this option");
inline const QString PopupToggleOption = QStringLiteral("Toggle this option");
inline const QString PopupTakeThisPath = QStringLiteral("Take this path");
inline const QString PopupDefineAsCloneMaster = QStringLiteral("Define as clone master");
inline const QString PopupDefineAsClone = QStringLiteral("Define as clone");
inline const QString PopupUnlinkClone = QStringLiteral("Unlink clone");
inline const QString PopupOptimizeSubnodeDecisions = QStringLiteral("Optimize subnode decisions");
inline const QString PopupComment = QStringLiteral("Comment...");

inline const QString PopupHintEdit = QStringLiteral("Edit");
inline const QString PopupHintAddChild = QStringLiteral("Adds a new node as a subnode");
inline const QString PopupHintMoveUp = QStringLiteral("Moves the selected node up by one");
inline const QString PopupHintMoveDown = QStringLiteral("Moves the selected node down by one");
inline const QString PopupHintRemove = QStringLiteral("Removes the selected node");
inline const QString PopupHintDecisionChooseOne = QStringLiteral(
    "Changes the node into a decision node. Decision nodes usually have several options of which one is taken");
inline const QString PopupHintDecisionChooseMultiple =
    QStringLiteral("Changes the node into a decision node where several decisions can be taken.");
inline const QString PopupHintChancePercent = QStringLiteral(
    "Changes the node into a chance node using percentages. Chance nodes usually have several possibilities, each "
    "given a probability");
inline const QString PopupHintChanceNumeric = QStringLiteral(
    "Changes the node into a chance node using relative numeric values. Chance nodes usually have several "
    "possibilities, each given a probability");
inline const QString PopupHintTakeOption = QStringLiteral("Takes this option of a decision node");
inline const QString PopupHintDefineAsCloneMaster = QStringLiteral(
    "Selects the current node as clone master. This will allow you link another clone to this one");
inline const QString PopupHintDefineAsClone = QStringLiteral(
    "Links this node to the previously set clone master. This will keep the subtrees of both nodes in sync");
inline const QString PopupHintUnlinkClone = QStringLiteral(
    "Removes the link to the clone master. This will make this node independent of the clone master.");
inline const QString PopupHintOptimizeSubnodeDecisions =
    QStringLiteral("Optimize decisons|Optimizes decisions of this node's subnodes to maximize payoff");
inline const QString PopupHintComment = QStringLiteral("Allows you to enter a comment for this node");

// ---- Undo action names and messages of the popup commands ----
inline const QString UndoMoveUp = QStringLiteral("Move up");
inline const QString UndoChangeToDecisionChooseOne = QStringLiteral("Change Chance to Decision (Choose one)");
inline const QString UndoChangeToDecisionChooseMultiple = QStringLiteral("Change Chance to Decision (Choose multiple)");
inline const QString UndoChangeToChancePercent = QStringLiteral("Change Decision to Chance (%)");
inline const QString UndoChangeToChanceNumeric = QStringLiteral("Change Decision to Chance (numeric)");
inline const QString UndoTakePath = QStringLiteral("Take path");
inline const QString UndoClone = QStringLiteral("Clone");
inline const QString UndoUnlinkClone = QStringLiteral("Unlink Clone");
inline const QString UndoChangeComment = QStringLiteral("Change Comment");

inline const QString OneFixedDecision =
    QStringLiteral("In order to take the selected path, 1 fixed decision has to be changed. ");
inline const QString SeveralFixedDecisions =
    QStringLiteral("In order to take the selected path, %1 fixed decisions have to be changed. ");
inline const QString Proceed = QStringLiteral("Proceed?");
inline const QString CloneMasterSet = QStringLiteral("Clone master set.");
inline const QString CloneMasterNotSet = QStringLiteral("Clone master not set.");
inline const QString UnlinkCloneQuestion = QStringLiteral(
    "This will unlink this clone and make it independent. Do you want to keep the subnodes?");
inline const QString NoSelectedNode = QStringLiteral("This operation requires a selected node");
inline const QString SeveralSelectedNodes = QStringLiteral("This operation requires only one selected node, but ");
inline const QString AreSelected = QStringLiteral(" are selected");
} // namespace AppStrings
