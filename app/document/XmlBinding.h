#pragma once
// The typed binding of document files: one wrapper per element kind with a getter and a setter
// per child element or attribute. Wrappers are cheap handles on nodes of a TXMLTreeDocument and
// are valid while it lives.
//
// Getters never fail on an absent element or attribute: they see the empty text. Integer getters
// raise FormatException on an empty or non-integer text. Setters create the child element at the
// end of their parent when it is not there yet, so the order of the first set calls is the order
// of the elements in the file. Element getters (Branch, Branches, Font) create the element on
// first access, as the writer relies on.

#include "app/document/BranchIndex.h"

#include <QString>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

class QFile;
class TXMLBranchesType;

class TXMLFontType {
public:
    static constexpr const char* InterfaceId = "{7E9C2B06-6B67-4805-A1AC-27DB1ECEDBE1}";
    explicit TXMLFontType(pugi::xml_node node) : FNode(node) {}

    std::string_view FontName() const;
    void SetFontName(const QString& value);
    int FontSize() const;
    void SetFontSize(int value);
    std::string_view FontStyle() const;
    void SetFontStyle(const QString& value);

    // Whether the element holds any child node (an empty legacy element is ignored). A text of
    // blanks only between the tags is layout, not content, as it was to the program that wrote
    // these files.
    bool HasChildNodes() const;
    pugi::xml_node Node() const { return FNode; }

private:
    pugi::xml_node FNode;
};

class TXMLBranchType {
public:
    static constexpr const char* InterfaceId = "{85356C80-1CDE-44C2-9E3D-69FBF5E5F81C}";
    // Indexes the element's children once, so every getter and setter is constant-time.
    explicit TXMLBranchType(pugi::xml_node node);

    std::string_view Id() const;
    void SetId(std::string_view value);
    std::string_view Ref() const;
    void SetRef(std::string_view value);

    std::string_view Caption() const { return Text(ecCaption); }
    void SetCaption(const QString& value) { SetText(ecCaption, value); }
    std::string_view Comment() const { return Text(ecComment); }
    void SetComment(const QString& value) { SetText(ecComment, value); }
    std::string_view Type() const { return Text(ecType); }
    void SetType(std::string_view value) { SetText(ecType, value); }
    std::string_view ChanceType() const { return Text(ecChanceType); }
    void SetChanceType(std::string_view value) { SetText(ecChanceType, value); }
    std::string_view Probability() const { return Text(ecProbability); }
    void SetProbability(std::string_view value) { SetText(ecProbability, value); }
    std::string_view Payoff() const { return Text(ecPayoff); }
    void SetPayoff(std::string_view value) { SetText(ecPayoff, value); }

    int ChildrenVisible() const { return Int(ecChildrenVisible); }
    void SetChildrenVisible(int value) { SetInt(ecChildrenVisible, value); }
    int DecisionFixed() const { return Int(ecDecisionFixed); }
    void SetDecisionFixed(int value) { SetInt(ecDecisionFixed, value); }
    int DecisionShowCaption() const { return Int(ecDecisionShowCaption); }
    void SetDecisionShowCaption(int value) { SetInt(ecDecisionShowCaption, value); }
    int DecisionShowOwner() const { return Int(ecDecisionShowOwner); }
    void SetDecisionShowOwner(int value) { SetInt(ecDecisionShowOwner, value); }
    int DecisionShowDueDate() const { return Int(ecDecisionShowDueDate); }
    void SetDecisionShowDueDate(int value) { SetInt(ecDecisionShowDueDate, value); }
    int DecisionMultiShowBudget() const { return Int(ecDecisionMultiShowBudget); }
    void SetDecisionMultiShowBudget(int value) { SetInt(ecDecisionMultiShowBudget, value); }
    int DecisionMultiShowInvestment() const { return Int(ecDecisionMultiShowInvestment); }
    void SetDecisionMultiShowInvestment(int value) { SetInt(ecDecisionMultiShowInvestment, value); }
    int DecisionShowFixed() const { return Int(ecDecisionShowFixed); }
    void SetDecisionShowFixed(int value) { SetInt(ecDecisionShowFixed, value); }

    std::string_view DecisionCaption() const { return Text(ecDecisionCaption); }
    void SetDecisionCaption(const QString& value) { SetText(ecDecisionCaption, value); }
    std::string_view DecisionOwner() const { return Text(ecDecisionOwner); }
    void SetDecisionOwner(const QString& value) { SetText(ecDecisionOwner, value); }
    std::string_view DecisionDueDate() const { return Text(ecDecisionDueDate); }
    void SetDecisionDueDate(const QString& value) { SetText(ecDecisionDueDate, value); }
    int DecisionMultiBudget() const { return Int(ecDecisionMultiBudget); }
    void SetDecisionMultiBudget(int value) { SetInt(ecDecisionMultiBudget, value); }
    std::string_view PayoffSource() const { return Text(ecPayoffSource); }
    void SetPayoffSource(const QString& value) { SetText(ecPayoffSource, value); }

    // The children; the element is created on first access.
    TXMLBranchesType Branches();
    // Whether the element has a Branches child, without creating one.
    bool HasBranches() const { return bool(FChildren[ecBranches]); }

    pugi::xml_node Node() const { return FNode; }

    enum TElement {
        ecCaption, ecComment, ecType, ecChanceType, ecProbability, ecPayoff, ecChildrenVisible,
        ecDecisionFixed, ecDecisionShowCaption, ecDecisionShowOwner, ecDecisionShowDueDate,
        ecDecisionMultiShowBudget, ecDecisionMultiShowInvestment, ecDecisionShowFixed,
        ecDecisionCaption, ecDecisionOwner, ecDecisionDueDate, ecDecisionMultiBudget,
        ecPayoffSource, ecBranches, ecCount
    };
    static const char* ElementName(TElement element);

private:
    std::string_view Text(TElement element) const;
    void SetText(TElement element, std::string_view value);
    void SetText(TElement element, const QString& value);
    int Int(TElement element) const;
    void SetInt(TElement element, int value);
    pugi::xml_node Child(TElement element);

    pugi::xml_node FNode;
    pugi::xml_node FChildren[ecCount];
};

class TXMLBranchesType {
public:
    static constexpr const char* InterfaceId = "{FBD0F79B-9158-430A-A63A-0BC1F753C0B6}";
    explicit TXMLBranchesType(pugi::xml_node node) : FNode(node) {}

    // The items are the Branch children only, in document order.
    int Count() const;
    TXMLBranchType Branch(int index) const;
    // Appends a new Branch element and answers it.
    TXMLBranchType Add();
    // Inserts a new Branch element before the item at index (at the end when index is Count).
    TXMLBranchType Insert(int index);

    // An id attribute of the element itself; no document uses it.
    std::string_view Id() const;
    void SetId(std::string_view value);

    pugi::xml_node Node() const { return FNode; }

private:
    const std::vector<pugi::xml_node>& Items() const;

    pugi::xml_node FNode;
    mutable std::vector<pugi::xml_node> FItems;
    mutable bool FIndexed = false;
};

class TXMLTreeType {
public:
    static constexpr const char* InterfaceId = "{D7BB1275-17EB-44CD-A1A2-C92A0F2FA60F}";
    explicit TXMLTreeType(pugi::xml_node node) : FNode(node) {}

    int OutlineCodes() const;
    void SetOutlineCodes(int value);
    std::string_view StatusDate() const;
    void SetStatusDate(const QString& value);
    int ShowPayoff() const;
    void SetShowPayoff(int value);
    int CurrencyDecimals() const;
    void SetCurrencyDecimals(int value);
    int CurrencyPosFormat() const;
    void SetCurrencyPosFormat(int value);
    int CurrencyNegFormat() const;
    void SetCurrencyNegFormat(int value);
    std::string_view CurrencySymbol() const;
    void SetCurrencySymbol(const QString& value);

    // Created on first access.
    TXMLFontType Font();
    TXMLBranchType Branch();
    // The legacy font element, or a null node when the file has none (nothing is created).
    pugi::xml_node FindFont() const { return FNode.child("Font"); }
    // The style-state container, or a null node when the file has none. Its element texts are
    // text children as the style-state reader expects them (a parsed file keeps an element's only
    // text inside the element, which saves a node per value).
    pugi::xml_node FindStyleStates() const;
    // Appends a new StyleStates element (the writer's step; never looks for an existing one).
    pugi::xml_node AppendStyleStates() { return FNode.append_child("StyleStates"); }

    pugi::xml_node Node() const { return FNode; }

private:
    pugi::xml_node FNode;
};

// One document file in memory: the XML document and its Tree element.
class TXMLTreeDocument {
public:
    TXMLTreeDocument() = default;
    TXMLTreeDocument(const TXMLTreeDocument&) = delete;
    TXMLTreeDocument& operator=(const TXMLTreeDocument&) = delete;

    TXMLTreeType Tree() const { return TXMLTreeType(FDocument.document_element()); }
    pugi::xml_document& Document() { return FDocument; }

    // Whether nested elements are indented by two blanks per level (with LF line ends) or written
    // without any whitespace between them.
    bool Indented() const { return FIndented; }
    void SetIndented(bool value) { FIndented = value; }

    // The file's bytes: UTF-8 with the declaration naming it.
    std::string SaveToString() const;
    // Writes the bytes to a sink in pieces; the sink answers false to stop (a write error).
    bool SaveTo(pugi::xml_writer& writer) const;

private:
    friend std::unique_ptr<TXMLTreeDocument> NewTree();
    pugi::xml_document FDocument;
    bool FIndented = true;
};

// A document file read through the whitespace filter and checked to be UTF-8, before it is
// parsed. It is parsed whole, as OpenTreeDocument does, or, where the places of its branches are
// known, a piece at a time: the reader then reads each piece while its parsed form is fresh in
// memory, and the parsed form of the whole file never has to be held at once.
class TTreeFileBytes {
public:
    // Raises as OpenTreeDocument does for a file that cannot be read or is not UTF-8.
    static std::unique_ptr<TTreeFileBytes> Open(const QString& fileName);
    // The same for bytes in memory, which must outlive the object.
    static std::unique_ptr<TTreeFileBytes> FromBytes(std::string_view bytes);
    ~TTreeFileBytes();
    TTreeFileBytes(const TTreeFileBytes&) = delete;
    TTreeFileBytes& operator=(const TTreeFileBytes&) = delete;

    // The branches the reader takes as nodes, the root first, in document order; empty when
    // only the whole document can be parsed.
    const std::vector<TBranchIndex::TBranch>& Branches() const;
    // The document without the given branches (in document order, none inside another): the Tree
    // element with its settings and styles and what is left of the root branch. Raises
    // FormatException when that does not parse or has no Tree element.
    std::unique_ptr<TXMLTreeDocument> ParseTop(const std::vector<int32_t>& leftOut) const;
    // Branch i without the given branches inside it, parsed into document, which is given the
    // bytes to keep in scratch. Raises FormatException when they do not parse as one Branch.
    TXMLBranchType ParseBranch(int32_t i, const std::vector<int32_t>& leftOut, pugi::xml_document& document,
                               std::string& scratch) const;
    // The whole document, as OpenTreeDocument and ParseTreeDocument give it, with their errors.
    // At most once.
    std::unique_ptr<TXMLTreeDocument> ParseWhole();

private:
    TTreeFileBytes() = default;
    // The filtered bytes from..to, without the given branches.
    void Gather(uint64_t from, uint64_t to, const std::vector<int32_t>& leftOut, std::string& out) const;

    std::unique_ptr<QFile> FFile; // the file, kept open, or none for bytes in memory
    qint64 FFileSize = 0;
    std::string_view FBytes;      // the bytes in memory
    std::unique_ptr<char, void (*)(char*)> FBuffer{nullptr, nullptr}; // the filtered bytes
    size_t FSize = 0;
    bool FFiltered = false;
    TBranchIndex FIndex;
    std::vector<TBranchIndex::TBranch> FNoBranches;
};

// Parses a file and binds its Tree element. Raises IOException when the file cannot be read and
// FormatException for a parse error (with its line and column) or a root element other than Tree.
std::unique_ptr<TXMLTreeDocument> OpenTreeDocument(const QString& fileName);
// The same for bytes in memory.
std::unique_ptr<TXMLTreeDocument> ParseTreeDocument(std::string_view bytes);
// A new empty document: the declaration with version "1.0" and encoding "UTF-8", root Tree.
std::unique_ptr<TXMLTreeDocument> NewTree();
