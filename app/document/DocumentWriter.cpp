#include "app/document/DocumentWriter.h"

#include "app/document/DocumentText.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"
#include "shared/core/StringHelpers.h"

#include <QSaveFile>
#include <algorithm>
#include <cmath>
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
    QString text = comment;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return XmlSafe(text);
}

void WriteNodeFields(const TDecTreeNode& node, TXMLBranchType& branch)
{
    branch.SetCaption(XmlSafe(node.Caption));
    branch.SetComment(CommentForFile(node.Comment));
    branch.SetType(NodeTypeText(node.NodeType));
    branch.SetChanceType(node.ChanceType == ctAnySum ? "AnySum" : "Percent");
    if (!std::isfinite(node.Probability))
        throw InvalidOperationException(
            QStringLiteral("The probability of \"%1\" is not a number and cannot be saved.").arg(node.Caption));
    branch.SetProbability(DocumentText::DoubleToText(node.Probability));
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

// Hands the bytes to the save file in large pieces and remembers the first failure.
class TSaveFileWriter : public pugi::xml_writer {
public:
    explicit TSaveFileWriter(QSaveFile& file) : FFile(file) { FBuffer.reserve(kChunk); }
    void write(const void* data, size_t size) override
    {
        FBuffer.append(static_cast<const char*>(data), size);
        if (FBuffer.size() >= kChunk)
            Flush();
    }
    bool Finish()
    {
        Flush();
        return FOk;
    }

private:
    static constexpr size_t kChunk = 1 << 20;
    void Flush()
    {
        if (FOk && !FBuffer.empty())
            FOk = FFile.write(FBuffer.data(), qint64(FBuffer.size())) == qint64(FBuffer.size());
        FBuffer.clear();
    }
    QSaveFile& FFile;
    std::string FBuffer;
    bool FOk = true;
};

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
    return BuildTreeDocument(document, styleStates)->SaveToString();
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
        std::unique_ptr<TXMLTreeDocument> xml = BuildTreeDocument(document, styleStates);
        QSaveFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("Cannot create the file: %1").arg(file.errorString()));
        TSaveFileWriter writer(file);
        xml->SaveTo(writer);
        if (!writer.Finish()) {
            QString reason = file.errorString();
            file.cancelWriting();
            return fail(QStringLiteral("Cannot write the file: %1").arg(reason));
        }
        if (!file.commit())
            return fail(QStringLiteral("Cannot write the file: %1").arg(file.errorString()));
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
