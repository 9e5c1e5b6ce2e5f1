#include "app/document/DocumentReader.h"

#include "app/document/CloneReferenceCheck.h"
#include "app/document/DocumentText.h"
#include "Component/model/Clones.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/RepairDuplicateIds.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"
#include "shared/core/PrivateArrayList.h"
#include "shared/core/StringHelpers.h"
#include "shared/core/SystemErrors.h"

#include <QFileInfo>
#include <algorithm>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using DocumentText::ToQString;

namespace {

TNodeType ReadNodeType(std::string_view text)
{
    if (text == "Decision")
        return ntDecision;
    if (text == "MultiDecision")
        return ntMultiDecision;
    if (text == "Chance")
        return ntChance;
    throw FormatException(QStringLiteral("Type must be 'Decision', 'MultiDecision' or 'Chance'."));
}

TChanceType ReadChanceType(std::string_view text)
{
    if (text.empty() || text == "Percent")
        return ctPercent;
    if (text == "AnySum")
        return ctAnySum;
    throw FormatException(QStringLiteral("ChanceType must be 'Percent', or 'AnySum'."));
}

// The text of a legacy identity after its first character, whatever that character is.
std::string_view AfterFirstCharacter(std::string_view text)
{
    if (text.empty())
        return text;
    size_t skip = 1;
    while (skip < text.size() && (static_cast<unsigned char>(text[skip]) & 0xC0) == 0x80)
        ++skip;
    return text.substr(skip);
}

void ReadIdentity(TXMLBranchType& branch, TPrivateArrayList& legacyIds, TGuid& id, TGuid& cloneMasterId)
{
    std::string_view idText = branch.Id();
    std::string_view refText = branch.Ref();
    if (idText.find('-') != std::string_view::npos) {
        id = DocumentText::TextToGuid(idText);
        cloneMasterId = refText.empty() ? TGuid{} : DocumentText::TextToGuid(refText);
        return;
    }
    // An older file: integers stand for the nodes, and each distinct integer gets one fresh
    // GUID for the whole file, so that a ref finds the node whose id has the same integer.
    std::string_view intText = AfterFirstCharacter(idText);
    int intId = 0;
    if (!DocumentText::TryTextToInt(intText, intId) || intId < 0)
        throw FormatException(QStringLiteral("'%1' is not a valid integer value").arg(DocumentText::Excerpt(intText)));
    int refInt = -1;
    if (!DocumentText::TryTextToInt(AfterFirstCharacter(refText), refInt))
        refInt = -1;
    if (intId > MaxLegacyId)
        throw InvalidOperationException(QStringLiteral("IntId greater than 100000 not supported"));
    // No valid node can carry such an identity; the map must not grow for it.
    if (refInt < -1 || refInt > MaxLegacyId)
        refInt = -1;
    const int highest = std::max(intId, refInt);
    while (legacyIds.Count() <= highest)
        legacyIds.Add(Guid::NewGuid());
    id = legacyIds.GetItem(intId);
    cloneMasterId = refInt == -1 ? TGuid{} : legacyIds.GetItem(refInt);
}

bool ReadFlag(int value) { return value != 0; }

// Line breaks are stored as single LFs and shown as CR LF; one pass, however many there are.
QString CommentFromFile(std::string_view text)
{
    QString comment = ToQString(text);
    const qsizetype breaks = comment.count(QLatin1Char('\n'));
    if (breaks == 0)
        return comment;
    QString result(comment.size() + breaks, Qt::Uninitialized);
    QChar* out = result.data();
    for (QChar c : std::as_const(comment)) {
        if (c == QLatin1Char('\n'))
            *out++ = QLatin1Char('\r');
        *out++ = c;
    }
    return result;
}

int ReadInRange(int value, int low, int high, const char* name)
{
    if (value < low || value > high)
        throw FormatException(QStringLiteral("%1 must lie between %2 and %3, not %4.")
                                  .arg(QLatin1String(name))
                                  .arg(low)
                                  .arg(high)
                                  .arg(value));
    return value;
}

} // namespace

// Everything read from a file before any of it reaches the caller's objects.
struct TReadDocument {
    TTreeOptions Options;
    std::unique_ptr<TStyleStates> StyleStates;
    std::unique_ptr<TDecTreeNode> Root;
    int RepairedIds = 0;
    int RemovedCloneReferences = 0;
    bool HasExternalData = false;
};

namespace {

void ReadLegacyFont(TXMLTreeType& tree, TStyleStates& styleStates)
{
    pugi::xml_node element = tree.FindFont();
    TXMLFontType font(element);
    if (!element || !font.HasChildNodes())
        return;
    TStyle* style = styleStates.InTakenPath()->RootStyle();
    QString name = ToQString(font.FontName());
    int size = font.FontSize();
    TFontStyles styles = StringToFontStyles(ToQString(font.FontStyle()));
    style->FontName()->Value = name;
    style->FontSize()->Value = size;
    style->FontBold()->Value = styles.Contains(fsBold);
    style->FontItalic()->Value = styles.Contains(fsItalic);
    style->FontStrikeOut()->Value = styles.Contains(fsStrikeOut);
    style->FontUnderline()->Value = styles.Contains(fsUnderline);
}

// The view settings and styles of the document, then its nodes as readRoot reads them from the
// Tree element, then the checks over the whole tree.
template <class ReadRoot>
TReadDocument ReadTreeDocument(TXMLTreeDocument& xml, ReadRoot readRoot)
{
    TReadDocument read;
    TXMLTreeType tree = xml.Tree();
    TTreeOptions& options = read.Options;
    options.SetOutlineCodes(ReadFlag(tree.OutlineCodes()));
    options.SetStatusDate(YMDStringToDate(ToQString(tree.StatusDate())));
    options.SetShowPayoff(ReadFlag(tree.ShowPayoff()));
    // The currency numbers are byte-sized settings; the format codes are the system's.
    options.SetCurrencyDecimals(ReadInRange(tree.CurrencyDecimals(), 0, 255, "CurrencyDecimals"));
    options.SetCurrencyPosFormat(ReadInRange(tree.CurrencyPosFormat(), 0, 3, "CurrencyPosFormat"));
    options.SetCurrencyNegFormat(ReadInRange(tree.CurrencyNegFormat(), 0, 15, "CurrencyNegFormat"));
    options.SetCurrencySymbol(ToQString(tree.CurrencySymbol()));

    // The defaults first, so a file that lists only some settings looks the same whatever was
    // open before.
    read.StyleStates = std::make_unique<TStyleStates>();
    ResetDefaultStyles(*read.StyleStates);
    if (pugi::xml_node container = tree.FindStyleStates())
        LoadStyleStates(*read.StyleStates, container);
    ReadLegacyFont(tree, *read.StyleStates);

    read.Root = readRoot(tree);
    read.RepairedIds = RepairDuplicateIds(read.Root.get());
    read.RemovedCloneReferences = RemoveInvalidCloneReferences(read.Root.get());
    if (ExpandsTooFar(read.Root.get()))
        throw FormatException(CloneTexts::DocumentTooLarge);

    read.HasExternalData = read.Root->HasImportedPayoff(); // the whole subtree
    return read;
}

void Commit(TReadDocument& read, TDecTreeDocument& document, TStyleStates& styleStates)
{
    std::vector<TDecTreeNode*> stack{read.Root.get()};
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        node->Tree = &document;
        for (TDecTreeNode* child : node->Children)
            stack.push_back(child);
    }
    TGuid rootId = read.Root->Id;
    document.Options = read.Options;
    document.SetRoot(std::move(read.Root));
    document.Selection.Clear();
    document.Selection.Add(rootId);
    ResetDefaultStyles(styleStates);
    styleStates.Assign(*read.StyleStates);
}

// Parsing leaves many small blocks behind; most are free again once the XML document is gone,
// and giving them back keeps the program's footprint that of the tree it holds.
void ReleaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

template <typename F>
TLoadResult Guarded(F&& load)
{
    TLoadResult result;
    try {
        load(result);
        result.Status = TLoadStatus::Loaded;
        result.ErrorText.clear();
    } catch (const Exception& e) {
        result = TLoadResult{TLoadStatus::Failed, e.Message()};
    } catch (const std::bad_alloc&) {
        result = TLoadResult{TLoadStatus::Failed, QStringLiteral("Not enough memory to read the document.")};
    } catch (const std::exception& e) {
        result = TLoadResult{TLoadStatus::Failed, QString::fromUtf8(e.what())};
    }
    ReleaseFreedMemory();
    return result;
}

void Deliver(TReadDocument& read, TDecTreeDocument& document, TStyleStates& styleStates, TLoadResult& result)
{
    result.HasExternalData = read.HasExternalData;
    result.RemovedCloneReferences = read.RemovedCloneReferences;
    result.RepairedIds = read.RepairedIds;
    Commit(read, document, styleStates);
}

// The subtree of branch, whose node lies at depth (1 for the root) under parent.
std::unique_ptr<TDecTreeNode> ReadSubtree(TDecTreeNode* parent, TXMLBranchType branch, TPrivateArrayList& legacyIds,
                                          int depth, bool releaseRead);

// The document a piece at a time: the Tree element with the root branch's own elements first,
// then each branch small enough whole, and of each larger one its own elements, its branches
// following as pieces of their own. Every piece is read right after it is parsed.
TReadDocument ReadPieces(TTreeFileBytes& file, uint64_t pieceBytes)
{
    const std::vector<TBranchIndex::TBranch>& branches = file.Branches();
    const size_t n = branches.size();
    // The branches of each branch, in order.
    std::vector<int32_t> first(n + 1, 0), order(n);
    for (size_t i = 1; i < n; ++i)
        ++first[size_t(branches[i].Parent) + 1];
    for (size_t i = 0; i < n; ++i)
        first[i + 1] += first[i];
    {
        std::vector<int32_t> next(first.begin(), first.end() - 1);
        for (size_t i = 1; i < n; ++i)
            order[size_t(next[size_t(branches[i].Parent)]++)] = int32_t(i);
    }
    auto childrenOf = [&](size_t i) {
        return std::vector<int32_t>(order.begin() + first[i], order.begin() + first[i + 1]);
    };
    std::unique_ptr<TXMLTreeDocument> top = file.ParseTop(childrenOf(0));
    return ReadTreeDocument(*top, [&](TXMLTreeType& tree) {
        TPrivateArrayList legacyIds(32, true);
        std::unique_ptr<TDecTreeNode> root = ReadBranchNode(nullptr, tree.Branch(), legacyIds);
        std::vector<TDecTreeNode*> nodeOf(n, nullptr);
        std::vector<int> depthOf(n, 0);
        nodeOf[0] = root.get();
        depthOf[0] = 1;
        pugi::xml_document piece;
        std::string scratch;
        for (size_t i = 1; i < n;) {
            const TBranchIndex::TBranch& b = branches[i];
            TDecTreeNode* parent = nodeOf[size_t(b.Parent)];
            const int depth = depthOf[size_t(b.Parent)] + 1;
            if (b.End - b.Start <= pieceBytes) {
                TXMLBranchType item = file.ParseBranch(int32_t(i), {}, piece, scratch);
                parent->Children.Add(ReadSubtree(parent, item, legacyIds, depth, false));
                // Its branches were read with it.
                ++i;
                while (i < n && branches[i].Start < b.End)
                    ++i;
                continue;
            }
            if (depth > MaxDocumentDepth)
                throw FormatException(QStringLiteral("The tree is nested deeper than %1 levels.").arg(MaxDocumentDepth));
            TXMLBranchType item = file.ParseBranch(int32_t(i), childrenOf(i), piece, scratch);
            std::unique_ptr<TDecTreeNode> node = ReadBranchNode(parent, item, legacyIds);
            nodeOf[i] = node.get();
            depthOf[i] = depth;
            parent->Children.Add(std::move(node));
            ++i;
        }
        return root;
    });
}

TReadDocument ReadFile(TTreeFileBytes& file, uint64_t pieceBytes, bool wholeOnFailure)
{
    if (pieceBytes > 0 && !file.Branches().empty()) {
        try {
            return ReadPieces(file, pieceBytes);
        } catch (const std::exception&) {
            // Whatever went wrong, the whole document tells it, with the place in the file.
            if (!wholeOnFailure)
                throw;
        }
    }
    std::unique_ptr<TXMLTreeDocument> xml = file.ParseWhole();
    return ReadTreeDocument(*xml, [](TXMLTreeType& tree) { return ReadBranchTree(tree.Branch(), true); });
}

} // namespace

std::unique_ptr<TDecTreeNode> ReadBranchNode(TDecTreeNode* parent, TXMLBranchType branch, TPrivateArrayList& legacyIds)
{
    TNodeType nodeType = ReadNodeType(branch.Type());
    TChanceType chanceType = ReadChanceType(branch.ChanceType());
    TGuid id, cloneMasterId;
    ReadIdentity(branch, legacyIds, id, cloneMasterId);
    QString caption = ToQString(branch.Caption());
    QString comment = CommentFromFile(branch.Comment());
    double probability = DocumentText::TextToDouble(branch.Probability(), "Probability");
    TCurrency payoff = DocumentText::TextToMoney(branch.Payoff(), "Payoff");
    bool childrenVisible = ReadFlag(branch.ChildrenVisible());
    bool showCaption = ReadFlag(branch.DecisionShowCaption());
    bool showOwner = ReadFlag(branch.DecisionShowOwner());
    bool showDueDate = ReadFlag(branch.DecisionShowDueDate());
    bool showFixed = ReadFlag(branch.DecisionShowFixed());
    bool showBudget = ReadFlag(branch.DecisionMultiShowBudget());
    bool showInvestment = ReadFlag(branch.DecisionMultiShowInvestment());
    bool fixed = ReadFlag(branch.DecisionFixed());
    QString decisionCaption = ToQString(branch.DecisionCaption());
    QString decisionOwner = ToQString(branch.DecisionOwner());
    int budget = branch.DecisionMultiBudget();
    std::string_view dueDateText = branch.DecisionDueDate();
    TDateTime dueDate = dueDateText.empty() ? 0 : YMDStringToDate(ToQString(dueDateText));
    QString payoffSource = ToQString(branch.PayoffSource());
    return std::make_unique<TDecTreeNode>(nullptr, parent, id, caption, comment, nodeType, chanceType, probability,
                                          payoff, cloneMasterId, childrenVisible, showCaption, showOwner,
                                          showDueDate, showFixed, showBudget, showInvestment, fixed,
                                          decisionCaption, decisionOwner, budget, dueDate, payoffSource);
}

std::unique_ptr<TDecTreeNode> ReadBranchTree(TXMLBranchType branch, bool releaseRead)
{
    TPrivateArrayList legacyIds(32, true);
    return ReadSubtree(nullptr, branch, legacyIds, 1, releaseRead);
}

namespace {

std::unique_ptr<TDecTreeNode> ReadSubtree(TDecTreeNode* top, TXMLBranchType branch, TPrivateArrayList& legacyIds,
                                          int depth, bool releaseRead)
{
    if (depth > MaxDocumentDepth)
        throw FormatException(QStringLiteral("The tree is nested deeper than %1 levels.").arg(MaxDocumentDepth));
    std::unique_ptr<TDecTreeNode> root = ReadBranchNode(top, branch, legacyIds);
    // One frame per open node with children still to read; the stack's height is the depth of
    // the node being read, so the depth check needs no walk of its own.
    struct Frame {
        TDecTreeNode* Node;
        pugi::xml_node Items; // the Branches element
        pugi::xml_node Next;  // the next Branch item to read, or none
    };
    // A Branch element whose subtree is read is taken out of the XML document at once: the
    // elements are stored in file order, so the memory of a finished subtree is given back whole
    // and the tree being built reuses it.
    auto release = [releaseRead](pugi::xml_node element) {
        if (releaseRead)
            element.parent().remove_child(element);
    };
    auto open = [](TDecTreeNode* node, TXMLBranchType& item) {
        const pugi::xml_node items = item.Branches().Node();
        return Frame{node, items, items.child("Branch")};
    };
    std::vector<Frame> stack;
    stack.reserve(64);
    if (branch.HasBranches())
        stack.push_back(open(root.get(), branch));
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (!frame.Next) {
            pugi::xml_node done = frame.Items.parent();
            stack.pop_back();
            if (!stack.empty())
                release(done);
            continue;
        }
        if (depth + int(stack.size()) > MaxDocumentDepth)
            throw FormatException(QStringLiteral("The tree is nested deeper than %1 levels.").arg(MaxDocumentDepth));
        TXMLBranchType item(frame.Next);
        frame.Next = frame.Next.next_sibling("Branch");
        TDecTreeNode* parent = frame.Node;
        std::unique_ptr<TDecTreeNode> child = ReadBranchNode(parent, item, legacyIds);
        TDecTreeNode* added = child.get();
        parent->Children.Add(std::move(child));
        if (item.HasBranches())
            stack.push_back(open(added, item));
        else
            release(item.Node());
    }
    return root;
}

} // namespace

TPreparedDocument::TPreparedDocument() = default;
TPreparedDocument::~TPreparedDocument() = default;

TLoadResult LoadDocumentFromBytes(std::string_view bytes, TDecTreeDocument& document, TStyleStates& styleStates,
                                  uint64_t pieceBytes, bool wholeOnFailure)
{
    return Guarded([&](TLoadResult& result) {
        std::unique_ptr<TTreeFileBytes> file = TTreeFileBytes::FromBytes(bytes);
        TReadDocument read = ReadFile(*file, pieceBytes, wholeOnFailure);
        file.reset();
        Deliver(read, document, styleStates, result);
    });
}

std::unique_ptr<TPreparedDocument> PrepareDocument(const QString& fileName)
{
    auto prepared = std::make_unique<TPreparedDocument>();
    // A folder, a device or a pipe is there but no document: refused as a failed read, so the
    // name stays on the recent-file list.
    if (SystemErrors::KindOf(fileName) == SystemErrors::TPathKind::Missing) {
        prepared->FResult = TLoadResult{TLoadStatus::FileMissing, QStringLiteral("File '%1' does not exist.").arg(fileName)};
        return prepared;
    }
    const QString notAFile = SystemErrors::NotARegularFile(fileName);
    if (!notAFile.isEmpty()) {
        prepared->FResult = TLoadResult{TLoadStatus::Failed, notAFile};
        return prepared;
    }
    prepared->FResult = Guarded([&](TLoadResult&) {
        std::unique_ptr<TTreeFileBytes> file = TTreeFileBytes::Open(fileName);
        prepared->FRead = std::make_unique<TReadDocument>(ReadFile(*file, DocumentPieceBytes, true));
    });
    if (!prepared->FResult.Loaded())
        prepared->FRead.reset();
    return prepared;
}

TLoadResult LoadDocument(std::unique_ptr<TPreparedDocument> prepared, TDecTreeDocument& document,
                         TStyleStates& styleStates)
{
    TLoadResult result = prepared->FResult;
    if (prepared->FRead)
        Deliver(*prepared->FRead, document, styleStates, result);
    return result;
}

TLoadResult LoadDocument(const QString& fileName, TDecTreeDocument& document, TStyleStates& styleStates)
{
    return LoadDocument(PrepareDocument(fileName), document, styleStates);
}
