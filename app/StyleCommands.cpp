#include "app/StyleCommands.h"

#include "app/DocumentFileDialog.h"
#include "Component/control/DecTree.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "app/MessageDialogs.h"
#include "app/forms/StyleManagerFormUnit.h"
#include "shared/core/Exceptions.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

namespace {

const char* const StyleFileComment =
    "This Style File has been created with Quandrel, available from https://www.orvanta.com/quandrel";
const QString UndoImportStyle = QStringLiteral("Import style");
const QString NoStyleFound = QStringLiteral("No style found in the file ");
const QString OverwriteStyleQuestion =
    QStringLiteral("There is already a style with the same name. Do you want to overwrite it?");

void SetAttribute(pugi::xml_node element, const char* name, const QString& value)
{
    // Filtered as document texts are, so the file always parses again.
    element.append_attribute(name) = RemoveXmlInvalidChars(value).toUtf8().constData();
}

} // namespace

TStyleCommands::TStyleCommands(QWidget* owner, QMenu* stylesMenu, QAction* deleteItem,
                               std::function<TDecTree*()> getTree, std::unique_ptr<TStyleManager> manager)
    : QObject(owner), FOwner(owner), FStylesMenu(stylesMenu), FDeleteItem(deleteItem), FGetTree(std::move(getTree)),
      FManager(std::move(manager))
{
    ExecuteSaveStyleDialog = [this](bool showFileName) { return ::ExecuteSaveStyleDialog(FOwner, showFileName); };
    ShowStyleManager = [this](TSavedStyles& styles) { ::ShowStyleManager(styles, FOwner); };
    ExecuteStyleOpenDialog = [this] {
        QFileDialog dialog(FOwner, QStringLiteral("Import styles"));
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setDefaultSuffix(QStringLiteral("qdns"));
        SetStyleFilters(dialog, false);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
    };
    RunCommand = [](const std::function<void()>& command) { command(); };
    BuildStylesMenu();
}

TStyleCommands::~TStyleCommands() = default;

void TStyleCommands::SetManager(std::unique_ptr<TStyleManager> manager)
{
    FManager = std::move(manager);
    BuildStylesMenu();
}

void TStyleCommands::BuildStylesMenu()
{
    FMenuItemList.Clear();
    for (const auto& [styles, group] :
         {std::pair{&FManager->ShippedStyles(), SystemGroup}, std::pair{&FManager->UserStyles(), UserGroup}}) {
        for (int i = 0; i < styles->Count(); ++i) {
            const TSavedStyle::TInfo info = styles->Items(i)->ReadInfo();
            auto* item = new QAction(info.Name, FStylesMenu);
            item->setStatusTip(info.Description);
            item->setObjectName(group + QLatin1Char('_') + QString::number(i));
            connect(item, &QAction::triggered, this, [this, item] { RunCommand([this, item] { ApplyStyleMenuItem(item); }); });
            FStylesMenu->insertAction(FStylesMenu->actions().value(FMenuItemList.Count()), item);
            FMenuItemList.Add(item);
        }
    }
    FDeleteItem->setEnabled(FManager->UserStyles().Count() > 0);
}

void TStyleCommands::ApplyStyleMenuItem(QAction* sender)
{
    const QString name = sender->objectName();
    const int bar = name.indexOf(QLatin1Char('_'));
    const QString group = bar < 0 ? name : name.left(bar);
    TSavedStyles* styles = nullptr;
    if (group == SystemGroup)
        styles = &FManager->ShippedStyles();
    else if (group == UserGroup)
        styles = &FManager->UserStyles();
    else
        throw InvalidOperationException(QStringLiteral("StyleName %1 not handled").arg(group));
    bool ok = false;
    const int index = bar < 0 ? -1 : name.mid(bar + 1).toInt(&ok);
    if (!ok || index < 0 || index >= styles->Count())
        throw InvalidOperationException(QStringLiteral("StyleName %1 not handled").arg(name));
    std::unique_ptr<pugi::xml_document> document = styles->Items(index)->OpenDocument();
    ImportStyleFile(*document, QString(), styles->Items(index)->FileName());
}

std::unique_ptr<pugi::xml_document> TStyleCommands::WriteStyleFile(const QString& name, const QString& description,
                                                                   const QString& author) const
{
    auto document = std::make_unique<pugi::xml_document>();
    pugi::xml_node declaration = document->append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = document->append_child("StyleStates");
    SetAttribute(root, "Name", name);
    SetAttribute(root, "Description", description);
    SetAttribute(root, "Author", author);
    root.append_child(pugi::node_comment).set_value(StyleFileComment);
    SaveStyleStates(FGetTree()->StyleStates(), root);
    return document;
}

void TStyleCommands::ImportStyleFile(pugi::xml_document& document, const QString& fileName, const QString& source)
{
    const QString from = source.isEmpty() ? fileName : source;
    const pugi::xml_node root = document.document_element();
    const std::string_view rootName = root.name();
    pugi::xml_node styleElement;
    bool isStyleFile = false;
    if (rootName == "Tree") {
        styleElement = root.child("StyleStates");
    } else if (rootName == "StyleStates") {
        styleElement = root;
        isStyleFile = true;
    } else {
        throw InvalidOperationException(StyleLoadError(from, QStringLiteral("StyleStates Root not found")));
    }

    TDecTree* tree = FGetTree();
    tree->UndoManager().SaveState(UndoImportStyle);
    if (!LoadStyleStates(tree->StyleStates(), styleElement)) {
        MessageDlg(FOwner, FileErrorText(NoStyleFound, from, QString()), TMsgDlgType::Information, mbOK);
        tree->UndoManager().Undo();
        tree->UndoManager().ClearRedo();
    }
    tree->Recalculate();

    if (isStyleFile && !fileName.isEmpty()) {
        SaveUserStyle(QFileInfo(fileName).completeBaseName(), document);
        BuildStylesMenu();
    }
}

void TStyleCommands::SaveUserStyle(const QString& fileName, pugi::xml_document& document)
{
    TSavedStyles& user = FManager->UserStyles();
    if (TSavedStyle* existing = user.FindByName(fileName)) {
        if (MessageDlg(FOwner, OverwriteStyleQuestion, TMsgDlgType::Confirmation, mbYesNo) == TModalResult::Yes)
            existing->Save(document);
    } else {
        user.Add(fileName, document);
    }
}

void TStyleCommands::StylesSaveCurrentMenuItemClick()
{
    const TSaveStyleDialogResult result = ExecuteSaveStyleDialog(false);
    if (!result.Ok)
        return;
    std::unique_ptr<pugi::xml_document> document = WriteStyleFile(result.Name, result.Description, result.Author);
    try {
        SaveUserStyle(TSavedStyles::FileNameFor(result.Name), *document);
    } catch (...) {
        BuildStylesMenu();
        throw;
    }
    BuildStylesMenu();
}

void TStyleCommands::StylesDeleteMenuItemClick()
{
    ShowStyleManager(FManager->UserStyles());
    BuildStylesMenu();
}

void TStyleCommands::FileImportStyleMenuItemClick()
{
    for (const QString& fileName : ExecuteStyleOpenDialog()) {
        std::unique_ptr<pugi::xml_document> document = LoadStyleDocument(fileName);
        ImportStyleFile(*document, fileName);
    }
}

void TStyleCommands::FileExportStyleMenuItemClick()
{
    const TSaveStyleDialogResult result = ExecuteSaveStyleDialog(true);
    if (!result.Ok)
        return;
    std::unique_ptr<pugi::xml_document> document = WriteStyleFile(result.Name, result.Description, result.Author);
    WriteStyleDocument(*document, result.FileName);
}
