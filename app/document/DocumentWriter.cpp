#include "app/document/DocumentWriter.h"

#include "app/document/DocumentText.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"
#include "shared/core/StringHelpers.h"
#include "shared/core/CheckedSaveFile.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

const char* const DocumentComment =
    "This Decision Tree File has been created with Quandrel, available from https://www.orvanta.com/quandrel";

namespace {

const char* NodeTypeText(TNodeType type)
{
    switch (type) {
    case ntDecision:
        return "Decision";
    case ntMultiDecision:
        return "MultiDecision";
    case ntChance:
        return "Chance";
    }
    throw InvalidOperationException(QStringLiteral("Unknown node type %1").arg(int(type)));
}

// Characters XML 1.0 cannot carry would make the file unreadable for other tools; they are rare
// enough that the common text is only scanned.
QString XmlSafe(const QString& text)
{
    for (QChar c : text) {
        char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || (u >= 0xD800 && u <= 0xDFFF) || u >= 0xFFFE)
            return RemoveXmlInvalidChars(text);
    }
    return text;
}

// Line breaks are stored as single LFs; other CRs and LFs stay as they are.
QString CommentForFile(const QString& comment)
{
    if (!comment.contains(QLatin1Char('\r')))
        return XmlSafe(comment);
    // One pass: replacing pair by pair moves the rest of the text each time.
    QString text(comment.size(), Qt::Uninitialized);
    QChar* out = text.data();
    const QChar* in = comment.constData();
    const QChar* end = in + comment.size();
    for (; in != end; ++in) {
        if (*in == QLatin1Char('\r') && in + 1 != end && in[1] == QLatin1Char('\n'))
            continue;
        *out++ = *in;
    }
    text.truncate(out - text.constData());
    return XmlSafe(text);
}

std::string ProbabilityText(const TDecTreeNode& node)
{
    if (!std::isfinite(node.Probability))
        throw InvalidOperationException(
            QStringLiteral("The probability of \"%1\" is not a number and cannot be saved.").arg(node.Caption));
    return DocumentText::DoubleToText(node.Probability);
}

void WriteNodeFields(const TDecTreeNode& node, TXMLBranchType& branch)
{
    branch.SetCaption(XmlSafe(node.Caption));
    branch.SetComment(CommentForFile(node.Comment));
    branch.SetType(NodeTypeText(node.NodeType));
    branch.SetChanceType(node.ChanceType == ctAnySum ? "AnySum" : "Percent");
    branch.SetProbability(ProbabilityText(node));
    branch.SetPayoff(DocumentText::MoneyToText(node.Payoff));
    branch.SetChildrenVisible(node.ChildrenVisible ? 1 : 0);
    branch.SetDecisionFixed(node.DecisionFixed ? 1 : 0);
    // The effective flags, not the stored ones: a flag without effect on this node is saved as 0.
    branch.SetDecisionShowCaption(node.ShowsCaption() ? 1 : 0);
    branch.SetDecisionShowOwner(node.ShowsOwner() ? 1 : 0);
    branch.SetDecisionShowDueDate(node.ShowsDueDate() ? 1 : 0);
    branch.SetDecisionMultiShowBudget(node.ShowsBudget() ? 1 : 0);
    branch.SetDecisionMultiShowInvestment(node.ShowsInvestment() ? 1 : 0);
    branch.SetDecisionShowFixed(node.ShowsFixed() ? 1 : 0);
    branch.SetDecisionCaption(XmlSafe(node.DecisionCaption));
    branch.SetDecisionOwner(XmlSafe(node.DecisionOwner));
    branch.SetDecisionDueDate(DateToYMDString(node.DecisionDueDate));
    branch.SetDecisionMultiBudget(node.DecisionMultiBudget);
    branch.SetPayoffSource(XmlSafe(node.PayoffSource));
    branch.SetId(DocumentText::GuidToText(node.Id));
    if (node.IsClone())
        branch.SetRef(DocumentText::GuidToText(node.CloneMasterId));
}



// The file written straight from the tree, byte for byte what the XML document of
// BuildTreeDocument saves to, without holding that document (several hundred bytes a node) in
// memory first. Only the indented form is written this way; a tree too deep for indentation goes
// the other way.
class TDocumentStream {
public:
    using TSink = std::function<bool(const char*, size_t)>;
    explicit TDocumentStream(TSink sink) : FSink(std::move(sink)) { FBuffer.reserve(kChunk + 4096); }

    void Raw(std::string_view text)
    {
        FBuffer.append(text);
        if (FBuffer.size() >= kChunk)
            Flush();
    }
    void Indent(int depth)
    {
        size_t blanks = size_t(depth) * 2;
        while (blanks > 0) {
            size_t n = std::min(blanks, kBlanks.size());
            FBuffer.append(kBlanks.data(), n);
            blanks -= n;
        }
    }
    // <name>text</name> or <name /> on a line of its own.
    void Element(int depth, std::string_view name, std::string_view text)
    {
        Indent(depth);
        FBuffer += '<';
        FBuffer.append(name);
        if (text.empty()) {
            FBuffer.append(" />\n");
        } else {
            FBuffer += '>';
            Escaped(text);
            FBuffer.append("</");
            FBuffer.append(name);
            FBuffer.append(">\n");
        }
        if (FBuffer.size() >= kChunk)
            Flush();
    }
    void Element(int depth, std::string_view name, const char* text) { Element(depth, name, std::string_view(text)); }
    void Element(int depth, std::string_view name, const std::string& text) { Element(depth, name, std::string_view(text)); }
    void Element(int depth, std::string_view name, const QString& text)
    {
        QByteArray utf8 = text.toUtf8();
        Element(depth, name, std::string_view(utf8.constData(), size_t(utf8.size())));
    }
    void Flag(int depth, std::string_view name, bool value) { Element(depth, name, value ? "1" : "0"); }

    bool Flush()
    {
        if (FOk && !FBuffer.empty())
            FOk = FSink(FBuffer.data(), FBuffer.size());
        FBuffer.clear();
        return FOk;
    }
    std::string& Buffer() { return FBuffer; }

private:
    static constexpr size_t kChunk = 1 << 20;
    static inline const std::string kBlanks = std::string(256, ' ');

    // The escapes of element text: the three markup characters, and control characters other
    // than tab, CR and LF as two-digit character references.
    void Escaped(std::string_view text)
    {
        size_t start = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            const char* escape = nullptr;
            char reference[6];
            if (c == '&')
                escape = "&amp;";
            else if (c == '<')
                escape = "&lt;";
            else if (c == '>')
                escape = "&gt;";
            else if (c < 32 && c != '\t' && c != '\r' && c != '\n') {
                reference[0] = '&';
                reference[1] = '#';
                reference[2] = char('0' + c / 10);
                reference[3] = char('0' + c % 10);
                reference[4] = ';';
                reference[5] = 0;
                escape = reference;
            }
            if (!escape)
                continue;
            FBuffer.append(text.substr(start, i - start));
            FBuffer.append(escape);
            start = i + 1;
        }
        FBuffer.append(text.substr(start));
    }

    TSink FSink;
    std::string FBuffer;
    bool FOk = true;
};

class TPugiStreamWriter : public pugi::xml_writer {
public:
    explicit TPugiStreamWriter(TDocumentStream& stream) : FStream(stream) {}
    void write(const void* data, size_t size) override { FStream.Raw(std::string_view(static_cast<const char*>(data), size)); }

private:
    TDocumentStream& FStream;
};

void StreamNodeFields(TDocumentStream& out, const TDecTreeNode& node, int depth)
{
    out.Element(depth, "Caption", XmlSafe(node.Caption));
    out.Element(depth, "Comment", CommentForFile(node.Comment));
    out.Element(depth, "Type", NodeTypeText(node.NodeType));
    out.Element(depth, "ChanceType", node.ChanceType == ctAnySum ? "AnySum" : "Percent");
    out.Element(depth, "Probability", ProbabilityText(node));
    out.Element(depth, "Payoff", DocumentText::MoneyToText(node.Payoff));
    out.Flag(depth, "ChildrenVisible", node.ChildrenVisible);
    out.Flag(depth, "DecisionFixed", node.DecisionFixed);
    out.Flag(depth, "DecisionShowCaption", node.ShowsCaption());
    out.Flag(depth, "DecisionShowOwner", node.ShowsOwner());
    out.Flag(depth, "DecisionShowDueDate", node.ShowsDueDate());
    out.Flag(depth, "DecisionMultiShowBudget", node.ShowsBudget());
    out.Flag(depth, "DecisionMultiShowInvestment", node.ShowsInvestment());
    out.Flag(depth, "DecisionShowFixed", node.ShowsFixed());
    out.Element(depth, "DecisionCaption", XmlSafe(node.DecisionCaption));
    out.Element(depth, "DecisionOwner", XmlSafe(node.DecisionOwner));
    out.Element(depth, "DecisionDueDate", node.DecisionDueDate == 0 ? QString() : DateToYMDString(node.DecisionDueDate));
    out.Element(depth, "DecisionMultiBudget", DocumentText::IntToText(node.DecisionMultiBudget));
    out.Element(depth, "PayoffSource", XmlSafe(node.PayoffSource));
}

void StreamBranches(TDocumentStream& out, const TDecTreeNode& root)
{
    struct TPending {
        const TDecTreeNode* Node;
        int Depth;   // of the Branch element
        bool Close;  // the closing tags of a node whose children are written
    };
    std::vector<TPending> pending{{&root, 1, false}};
    while (!pending.empty()) {
        TPending item = pending.back();
        pending.pop_back();
        const TDecTreeNode& node = *item.Node;
        if (item.Close) {
            out.Indent(item.Depth + 1);
            out.Raw("</Branches>\n");
            out.Indent(item.Depth);
            out.Raw("</Branch>\n");
            continue;
        }
        out.Indent(item.Depth);
        out.Raw("<Branch id=\"");
        out.Raw(DocumentText::GuidToText(node.Id));
        if (node.IsClone()) {
            out.Raw("\" ref=\"");
            out.Raw(DocumentText::GuidToText(node.CloneMasterId));
        }
        out.Raw("\">\n");
        StreamNodeFields(out, node, item.Depth + 1);
        if (node.IsClone() || !node.HasChildren()) {
            out.Indent(item.Depth);
            out.Raw("</Branch>\n");
            continue;
        }
        out.Indent(item.Depth + 1);
        out.Raw("<Branches>\n");
        pending.push_back({&node, item.Depth, true});
        for (int i = node.Children.Count() - 1; i >= 0; --i)
            pending.push_back({node.Children[i], item.Depth + 2, false});
    }
}

// The number of levels WriteTreeNode would write.
int CountLevels(const TDecTreeNode& root)
{
    int levels = 0;
    std::vector<std::pair<const TDecTreeNode*, int>> stack{{&root, 1}};
    while (!stack.empty()) {
        auto [node, level] = stack.back();
        stack.pop_back();
        levels = std::max(levels, level);
        if (!node->IsClone())
            for (const TDecTreeNode* child : node->Children)
                stack.emplace_back(child, level + 1);
    }
    return levels;
}

// Writes the document file's bytes to sink; answers false when the sink failed.
bool StreamDocument(const TDecTreeDocument& document, const TStyleStates& styleStates, const TDocumentStream::TSink& sink)
{
    if (!document.Root())
        throw InvalidOperationException(QStringLiteral("The document has no root node."));
    TDocumentStream out(sink);
    if (CountLevels(*document.Root()) > MaxIndentedDepth) {
        TPugiStreamWriter writer(out);
        BuildTreeDocument(document, styleStates)->SaveTo(writer);
        return out.Flush();
    }
    const TTreeOptions& options = document.Options;
    out.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tree>\n  <!--");
    out.Raw(DocumentComment);
    out.Raw("-->\n");
    out.Flag(1, "OutlineCodes", options.OutlineCodes);
    out.Element(1, "StatusDate", DateToYMDString(options.StatusDate));
    out.Flag(1, "ShowPayoff", options.ShowPayoff);
    {
        pugi::xml_document styles;
        pugi::xml_node container = styles.append_child("StyleStates");
        SaveStyleStates(styleStates, container);
        TPugiStreamWriter writer(out);
        container.print(writer, "  ", pugi::format_indent, pugi::encoding_utf8, 1);
    }
    out.Element(1, "CurrencyDecimals", DocumentText::IntToText(options.CurrencyDecimals));
    out.Element(1, "CurrencyPosFormat", DocumentText::IntToText(options.CurrencyPosFormat));
    out.Element(1, "CurrencyNegFormat", DocumentText::IntToText(options.CurrencyNegFormat));
    out.Element(1, "CurrencySymbol", XmlSafe(options.CurrencySymbol));
    StreamBranches(out, *document.Root());
    out.Raw("</Tree>\n");
    return out.Flush();
}
} // namespace

int WriteTreeNode(const TDecTreeNode& node, TXMLBranchType branch)
{
    struct TPending {
        const TDecTreeNode* Node;
        pugi::xml_node Element;
        int Level;
    };
    std::vector<TPending> pending;
    pending.push_back({&node, branch.Node(), 1});
    int levels = 0;
    while (!pending.empty()) {
        auto [current, element, level] = pending.back();
        pending.pop_back();
        levels = std::max(levels, level);
        TXMLBranchType target(element);
        WriteNodeFields(*current, target);
        if (current->IsClone() || !current->HasChildren())
            continue;
        // Every child's element is made now, in child order; they are filled as they come off
        // the stack, first child first.
        TXMLBranchesType branches = target.Branches();
        size_t firstPending = pending.size();
        for (TDecTreeNode* child : current->Children)
            pending.push_back({child, branches.Add().Node(), level + 1});
        std::reverse(pending.begin() + ptrdiff_t(firstPending), pending.end());
    }
    return levels;
}

std::unique_ptr<TXMLTreeDocument> BuildTreeDocument(const TDecTreeDocument& document, const TStyleStates& styleStates)
{
    std::unique_ptr<TXMLTreeDocument> xml = NewTree();
    TXMLTreeType tree = xml->Tree();
    tree.Node().prepend_child(pugi::node_comment).set_value(DocumentComment);
    const TTreeOptions& options = document.Options;
    tree.SetOutlineCodes(options.OutlineCodes ? 1 : 0);
    tree.SetStatusDate(DateToYMDString(options.StatusDate));
    tree.SetShowPayoff(options.ShowPayoff ? 1 : 0);
    SaveStyleStates(styleStates, tree.AppendStyleStates());
    tree.SetCurrencyDecimals(options.CurrencyDecimals);
    tree.SetCurrencyPosFormat(options.CurrencyPosFormat);
    tree.SetCurrencyNegFormat(options.CurrencyNegFormat);
    tree.SetCurrencySymbol(XmlSafe(options.CurrencySymbol));
    if (!document.Root())
        throw InvalidOperationException(QStringLiteral("The document has no root node."));
    int levels = WriteTreeNode(*document.Root(), tree.Branch());
    xml->SetIndented(levels <= MaxIndentedDepth);
    return xml;
}

std::string WriteDocumentToString(const TDecTreeDocument& document, const TStyleStates& styleStates)
{
    std::string bytes;
    StreamDocument(document, styleStates, [&bytes](const char* data, size_t size) {
        bytes.append(data, size);
        return true;
    });
    return bytes;
}

bool SaveDocument(const TDecTreeDocument& document, const TStyleStates& styleStates, const QString& fileName,
                  QString* error)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    try {
        TCheckedSaveFile file(fileName);
        if (!file.Open())
            return fail(QStringLiteral("Cannot create the file: %1").arg(file.Reason()));
        const bool written = StreamDocument(document, styleStates, [&file](const char* data, size_t size) {
            return file.WriteAll(std::string_view(data, size));
        });
        if (!written || !file.Commit())
            return fail(QStringLiteral("Cannot write the file: %1").arg(file.Reason()));
    } catch (const Exception& e) {
        return fail(e.Message());
    } catch (const std::bad_alloc&) {
        return fail(QStringLiteral("Not enough memory to save the document."));
    } catch (const std::exception& e) {
        return fail(QString::fromUtf8(e.what()));
    }
    if (error)
        error->clear();
    return true;
}
