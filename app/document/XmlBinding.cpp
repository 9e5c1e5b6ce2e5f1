#include "app/document/XmlBinding.h"

#include "app/document/DocumentText.h"
#include "app/document/XmlWhitespaceFilter.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"
#include "shared/core/SystemErrors.h"
#include "shared/core/Utf8Check.h"

#include <QFile>
#include <charconv>
#include <cstring>
#include <vector>

namespace {

const char* const kBranchElementNames[TXMLBranchType::ecCount] = {
    "Caption", "Comment", "Type", "ChanceType", "Probability", "Payoff", "ChildrenVisible",
    "DecisionFixed", "DecisionShowCaption", "DecisionShowOwner", "DecisionShowDueDate",
    "DecisionMultiShowBudget", "DecisionMultiShowInvestment", "DecisionShowFixed",
    "DecisionCaption", "DecisionOwner", "DecisionDueDate", "DecisionMultiBudget",
    "PayoffSource", "Branches"};

// A branch has some twenty children and a document may have a hundred thousand branches, so the
// name test first narrows by the leading letter.
int BranchElementOf(const char* name)
{
    auto is = [name](TXMLBranchType::TElement e) { return std::strcmp(name, kBranchElementNames[e]) == 0; };
    using B = TXMLBranchType;
    switch (name[0]) {
    case 'C':
        for (auto e : {B::ecCaption, B::ecComment, B::ecChanceType, B::ecChildrenVisible})
            if (is(e))
                return e;
        break;
    case 'T':
        if (is(B::ecType))
            return B::ecType;
        break;
    case 'P':
        for (auto e : {B::ecProbability, B::ecPayoff, B::ecPayoffSource})
            if (is(e))
                return e;
        break;
    case 'D':
        for (int e = B::ecDecisionFixed; e <= B::ecDecisionMultiBudget; ++e)
            if (is(B::TElement(e)))
                return e;
        break;
    case 'B':
        if (is(B::ecBranches))
            return B::ecBranches;
        break;
    default:
        break;
    }
    return -1;
}

std::string_view ValueOf(pugi::xml_node element)
{
    return element ? std::string_view(element.child_value()) : std::string_view();
}

std::string_view AttributeOf(pugi::xml_node element, const char* name)
{
    return std::string_view(element.attribute(name).value());
}

// Sets an element's text. An empty text leaves the element without a text node (<Name />).
void SetElementText(pugi::xml_node element, std::string_view value)
{
    if (value.empty()) {
        while (pugi::xml_node text = element.first_child()) {
            if (text.type() != pugi::node_pcdata && text.type() != pugi::node_cdata)
                break;
            element.remove_child(text);
        }
        return;
    }
    element.text().set(std::string(value).c_str());
}

pugi::xml_node ChildOrNew(pugi::xml_node parent, const char* name)
{
    pugi::xml_node child = parent.child(name);
    return child ? child : parent.append_child(name);
}

void SetChildText(pugi::xml_node parent, const char* name, std::string_view value)
{
    SetElementText(ChildOrNew(parent, name), value);
}

void SetChildText(pugi::xml_node parent, const char* name, const QString& value)
{
    QByteArray utf8 = value.toUtf8();
    SetElementText(ChildOrNew(parent, name), std::string_view(utf8.constData(), size_t(utf8.size())));
}

int ChildInt(pugi::xml_node parent, const char* name)
{
    return DocumentText::TextToInt(ValueOf(parent.child(name)), name);
}

void SetChildInt(pugi::xml_node parent, const char* name, int value)
{
    SetChildText(parent, name, std::string_view(DocumentText::IntToText(value)));
}

// Those of the style-state XML, which keeps a setting text made only of blanks.
// An element's only text is kept in the element itself, not in a node of its own: a large document
// has over a dozen such texts a branch.
const unsigned kParseOptions = StyleXmlParseOptions | pugi::parse_embed_pcdata;

std::unique_ptr<TXMLTreeDocument> Bind(std::unique_ptr<TXMLTreeDocument> document, const pugi::xml_parse_result& result,
                                       std::string_view bytes)
{
    if (!result) {
        // Line and column of the failure, counted in the bytes as they were before parsing.
        size_t offset = std::min(size_t(std::max<ptrdiff_t>(result.offset, 0)), bytes.size());
        // The parser stops at a NUL byte and at the end of the text with a message about the
        // element it was in; what happened is that the text holds a NUL or ends early.
        QString reason = QString::fromUtf8(result.description());
        const size_t nul = bytes.substr(0, offset + 1).find('\0');
        if (nul != std::string_view::npos) {
            offset = nul;
            reason = QStringLiteral("the file holds a NUL character, which XML text cannot hold");
        } else if (bytes.find('>', offset) == std::string_view::npos &&
                   result.status != pugi::status_no_document_element) {
            reason = QStringLiteral("the file ends before the document is complete (%1)").arg(reason);
        }
        int line = 1;
        size_t lineStart = 0;
        for (size_t i = 0; i < offset; ++i)
            if (bytes[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        throw FormatException(QStringLiteral("XML parse error at line %1, column %2: %3")
                                  .arg(line)
                                  .arg(qulonglong(offset - lineStart + 1))
                                  .arg(reason));
    }
    pugi::xml_node root = document->Document().document_element();
    if (std::strcmp(root.name(), "Tree") != 0)
        throw FormatException(QStringLiteral("The document element must be 'Tree', not '%1'.")
                                  .arg(DocumentText::Excerpt(root.name())));
    return document;
}

class TStringWriter : public pugi::xml_writer {
public:
    explicit TStringWriter(std::string& out) : FOut(out) {}
    void write(const void* data, size_t size) override { FOut.append(static_cast<const char*>(data), size); }

private:
    std::string& FOut;
};

} // namespace

// ---- TXMLFontType

std::string_view TXMLFontType::FontName() const { return ValueOf(FNode.child("FontName")); }
void TXMLFontType::SetFontName(const QString& value) { SetChildText(FNode, "FontName", value); }
int TXMLFontType::FontSize() const { return ChildInt(FNode, "FontSize"); }
void TXMLFontType::SetFontSize(int value) { SetChildInt(FNode, "FontSize", value); }
bool TXMLFontType::HasChildNodes() const
{
    auto blank = [](const char* text) { return DocumentText::Trim(text).empty(); };
    if (!blank(FNode.value()))
        return true;
    for (pugi::xml_node child = FNode.first_child(); child; child = child.next_sibling())
        if (child.type() != pugi::node_pcdata || !blank(child.value()))
            return true;
    return false;
}

std::string_view TXMLFontType::FontStyle() const { return ValueOf(FNode.child("FontStyle")); }
void TXMLFontType::SetFontStyle(const QString& value) { SetChildText(FNode, "FontStyle", value); }

// ---- TXMLBranchType

TXMLBranchType::TXMLBranchType(pugi::xml_node node) : FNode(node)
{
    // The writer puts the elements in the order of TElement, so the name expected next is
    // tried first: one comparison a child for every file this program wrote.
    int expected = 0;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        const char* name = child.name();
        int e = expected < ecCount && std::strcmp(name, kBranchElementNames[expected]) == 0 ? expected
                                                                                            : BranchElementOf(name);
        if (e < 0)
            continue;
        expected = e + 1;
        if (!FChildren[e])
            FChildren[e] = child;
    }
}

const char* TXMLBranchType::ElementName(TElement element) { return kBranchElementNames[element]; }

std::string_view TXMLBranchType::Id() const { return AttributeOf(FNode, "id"); }

void TXMLBranchType::SetId(std::string_view value)
{
    pugi::xml_attribute a = FNode.attribute("id");
    if (!a)
        a = FNode.append_attribute("id");
    a.set_value(std::string(value).c_str());
}

std::string_view TXMLBranchType::Ref() const { return AttributeOf(FNode, "ref"); }

void TXMLBranchType::SetRef(std::string_view value)
{
    pugi::xml_attribute a = FNode.attribute("ref");
    if (!a)
        a = FNode.append_attribute("ref");
    a.set_value(std::string(value).c_str());
}

std::string_view TXMLBranchType::Text(TElement element) const { return ValueOf(FChildren[element]); }

pugi::xml_node TXMLBranchType::Child(TElement element)
{
    if (!FChildren[element])
        FChildren[element] = FNode.append_child(kBranchElementNames[element]);
    return FChildren[element];
}

void TXMLBranchType::SetText(TElement element, std::string_view value) { SetElementText(Child(element), value); }

void TXMLBranchType::SetText(TElement element, const QString& value)
{
    QByteArray utf8 = value.toUtf8();
    SetElementText(Child(element), std::string_view(utf8.constData(), size_t(utf8.size())));
}

int TXMLBranchType::Int(TElement element) const
{
    return DocumentText::TextToInt(Text(element), kBranchElementNames[element]);
}

void TXMLBranchType::SetInt(TElement element, int value)
{
    char buffer[16];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    *result.ptr = 0;
    Child(element).text().set(buffer);
}

TXMLBranchesType TXMLBranchType::Branches() { return TXMLBranchesType(Child(ecBranches)); }

// ---- TXMLBranchesType

const std::vector<pugi::xml_node>& TXMLBranchesType::Items() const
{
    if (!FIndexed) {
        for (pugi::xml_node child = FNode.child("Branch"); child; child = child.next_sibling("Branch"))
            FItems.push_back(child);
        FIndexed = true;
    }
    return FItems;
}

int TXMLBranchesType::Count() const { return int(Items().size()); }

TXMLBranchType TXMLBranchesType::Branch(int index) const
{
    const auto& items = Items();
    if (index < 0 || size_t(index) >= items.size())
        throw ArgumentOutOfRangeException(QStringLiteral("Branch index %1 out of range").arg(index));
    return TXMLBranchType(items[size_t(index)]);
}

TXMLBranchType TXMLBranchesType::Add()
{
    Items();
    FItems.push_back(FNode.append_child("Branch"));
    return TXMLBranchType(FItems.back());
}

TXMLBranchType TXMLBranchesType::Insert(int index)
{
    const auto& items = Items();
    if (index < 0 || size_t(index) > items.size())
        throw ArgumentOutOfRangeException(QStringLiteral("Branch index %1 out of range").arg(index));
    if (size_t(index) == items.size())
        return Add();
    pugi::xml_node node = FNode.insert_child_before("Branch", items[size_t(index)]);
    FItems.insert(FItems.begin() + index, node);
    return TXMLBranchType(node);
}

std::string_view TXMLBranchesType::Id() const { return AttributeOf(FNode, "id"); }

void TXMLBranchesType::SetId(std::string_view value)
{
    pugi::xml_attribute a = FNode.attribute("id");
    if (!a)
        a = FNode.append_attribute("id");
    a.set_value(std::string(value).c_str());
}

// ---- TXMLTreeType

int TXMLTreeType::OutlineCodes() const { return ChildInt(FNode, "OutlineCodes"); }
void TXMLTreeType::SetOutlineCodes(int value) { SetChildInt(FNode, "OutlineCodes", value); }
std::string_view TXMLTreeType::StatusDate() const { return ValueOf(FNode.child("StatusDate")); }
void TXMLTreeType::SetStatusDate(const QString& value) { SetChildText(FNode, "StatusDate", value); }
int TXMLTreeType::ShowPayoff() const { return ChildInt(FNode, "ShowPayoff"); }
void TXMLTreeType::SetShowPayoff(int value) { SetChildInt(FNode, "ShowPayoff", value); }
int TXMLTreeType::CurrencyDecimals() const { return ChildInt(FNode, "CurrencyDecimals"); }
void TXMLTreeType::SetCurrencyDecimals(int value) { SetChildInt(FNode, "CurrencyDecimals", value); }
int TXMLTreeType::CurrencyPosFormat() const { return ChildInt(FNode, "CurrencyPosFormat"); }
void TXMLTreeType::SetCurrencyPosFormat(int value) { SetChildInt(FNode, "CurrencyPosFormat", value); }
int TXMLTreeType::CurrencyNegFormat() const { return ChildInt(FNode, "CurrencyNegFormat"); }
void TXMLTreeType::SetCurrencyNegFormat(int value) { SetChildInt(FNode, "CurrencyNegFormat", value); }
std::string_view TXMLTreeType::CurrencySymbol() const { return ValueOf(FNode.child("CurrencySymbol")); }
void TXMLTreeType::SetCurrencySymbol(const QString& value) { SetChildText(FNode, "CurrencySymbol", value); }
pugi::xml_node TXMLTreeType::FindStyleStates() const
{
    pugi::xml_node container = FNode.child("StyleStates");
    if (!container)
        return container;
    std::vector<pugi::xml_node> stack{container};
    while (!stack.empty()) {
        pugi::xml_node node = stack.back();
        stack.pop_back();
        if (node.type() != pugi::node_element)
            continue;
        if (*node.value() && !node.first_child())
            node.append_child(pugi::node_pcdata).set_value(node.value());
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
            stack.push_back(child);
    }
    return container;
}

TXMLFontType TXMLTreeType::Font() { return TXMLFontType(ChildOrNew(FNode, "Font")); }
TXMLBranchType TXMLTreeType::Branch() { return TXMLBranchType(ChildOrNew(FNode, "Branch")); }

// ---- documents

std::string TXMLTreeDocument::SaveToString() const
{
    std::string out;
    TStringWriter writer(out);
    SaveTo(writer);
    return out;
}

bool TXMLTreeDocument::SaveTo(pugi::xml_writer& writer) const
{
    FDocument.save(writer, "  ", FIndented ? pugi::format_indent : pugi::format_raw, pugi::encoding_utf8);
    return true;
}

std::unique_ptr<TXMLTreeDocument> NewTree()
{
    auto document = std::make_unique<TXMLTreeDocument>();
    pugi::xml_node declaration = document->FDocument.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-8");
    document->FDocument.append_child("Tree");
    return document;
}

namespace {

// Parses bytes handed over in a buffer of the XML layer's allocator, which the document takes.
pugi::xml_parse_result ParseOwned(TXMLTreeDocument& document, void* buffer, size_t size)
{
    return document.Document().load_buffer_inplace_own(buffer, size, kParseOptions, pugi::encoding_auto);
}

void* Allocate(size_t size)
{
    void* buffer = pugi::get_memory_allocation_function()(std::max<size_t>(size, 1));
    if (!buffer)
        throw std::bad_alloc();
    return buffer;
}

// Parses the original bytes as they are: when the filtered ones fail, this gives the error its
// true position (and the document, should the filter ever be at fault).
std::unique_ptr<TXMLTreeDocument> ParseUnfiltered(std::string_view bytes)
{
    auto document = std::make_unique<TXMLTreeDocument>();
    void* buffer = Allocate(bytes.size());
    std::memcpy(buffer, bytes.data(), bytes.size());
    pugi::xml_parse_result result = ParseOwned(*document, buffer, bytes.size());
    return Bind(std::move(document), result, bytes);
}

// The whole text in one piece; raises with the position of the first malformed character.
void CheckUtf8(std::string_view bytes)
{
    if (!TUtf8Check::ReadAsUtf8(bytes.substr(0, 1024)))
        return;
    TUtf8Check check;
    if (!check.Feed(bytes.data(), bytes.size()) || !check.Finish())
        throw FormatException(check.ErrorMessage());
}

// Whether the filtered bytes of a text whose first kilobyte is head pass the UTF-8 check (or
// need none). The filter drops only blanks, and only between a '>' and a '<' or at either end,
// so the filtered bytes are well-formed exactly when the original ones are; a third as many are
// checked. Where they are not, the caller checks the original bytes for the error's place.
bool FilteredIsUtf8(std::string_view head, const char* filtered, size_t size)
{
    if (!TUtf8Check::ReadAsUtf8(head.substr(0, 1024)))
        return true;
    TUtf8Check check;
    return check.Feed(filtered, size) && check.Finish();
}

// The whole file read again in pieces; raises with the position of the first malformed character.
void CheckUtf8InFile(QFile& file)
{
    if (!file.seek(0))
        throw IOException(QStringLiteral("Cannot read the file: %1").arg(SystemErrors::ReasonFor(file)));
    std::vector<char> chunk(size_t(1) << 20);
    TUtf8Check check;
    for (;;) {
        const qint64 n = file.read(chunk.data(), qint64(chunk.size()));
        if (n < 0)
            throw IOException(QStringLiteral("Cannot read the file: %1").arg(SystemErrors::ReasonFor(file)));
        if (n == 0)
            break;
        if (!check.Feed(chunk.data(), size_t(n)))
            throw FormatException(check.ErrorMessage());
    }
    if (!check.Finish())
        throw FormatException(check.ErrorMessage());
}

} // namespace

namespace {

void FreeBuffer(char* buffer)
{
    pugi::get_memory_deallocation_function()(buffer);
}

} // namespace

TTreeFileBytes::~TTreeFileBytes() = default;

std::unique_ptr<TTreeFileBytes> TTreeFileBytes::FromBytes(std::string_view bytes)
{
    std::unique_ptr<TTreeFileBytes> file(new TTreeFileBytes);
    file->FBytes = bytes;
    file->FBuffer = {static_cast<char*>(Allocate(bytes.size())), FreeBuffer};
    TXmlWhitespaceFilter filter(file->FBuffer.get(), &file->FIndex);
    file->FFiltered = filter.Feed(bytes.data(), bytes.size());
    if (!file->FFiltered) {
        CheckUtf8(bytes);
        return file;
    }
    file->FSize = filter.Finish();
    if (!FilteredIsUtf8(bytes.substr(0, 1024), file->FBuffer.get(), file->FSize))
        CheckUtf8(bytes);
    if (!TUtf8Check::ReadAsUtf8(bytes.substr(0, 1024)))
        file->FIndex = TBranchIndex();
    return file;
}

std::unique_ptr<TTreeFileBytes> TTreeFileBytes::Open(const QString& fileName)
{
    // A folder, a device or a pipe would be read for ever or block; it is no document.
    const QString notAFile = SystemErrors::NotARegularFile(fileName);
    if (!notAFile.isEmpty())
        throw IOException(notAFile);
    std::unique_ptr<TTreeFileBytes> bytes(new TTreeFileBytes);
    bytes->FFile = std::make_unique<QFile>(fileName);
    QFile& file = *bytes->FFile;
    if (!file.open(QIODevice::ReadOnly))
        throw IOException(QStringLiteral("Cannot open the file: %1").arg(SystemErrors::ReasonFor(file)));
    // The file is read in pieces through the whitespace filter into one buffer of the file's
    // size, of which only the part written becomes resident.
    const qint64 size = file.size();
    bytes->FFileSize = size;
    bytes->FBuffer = {static_cast<char*>(Allocate(size_t(size))), FreeBuffer};
    TXmlWhitespaceFilter filter(bytes->FBuffer.get(), &bytes->FIndex);
    std::vector<char> chunk(size_t(1) << 20);
    qint64 total = 0;
    bytes->FFiltered = true;
    std::string head;
    while (total < size) {
        qint64 n = file.read(chunk.data(), std::min<qint64>(qint64(chunk.size()), size - total));
        if (n <= 0)
            throw IOException(QStringLiteral("Cannot read the file: %1").arg(SystemErrors::ReasonFor(file)));
        if (total == 0)
            head.assign(chunk.data(), size_t(std::min<qint64>(n, 1024)));
        total += n;
        if (!filter.Feed(chunk.data(), size_t(n))) {
            bytes->FFiltered = false;
            break;
        }
    }
    if (!bytes->FFiltered)
        return bytes; // checked as it is parsed
    bytes->FSize = filter.Finish();
    if (!FilteredIsUtf8(head, bytes->FBuffer.get(), bytes->FSize)) {
        // The file is read again for the first bad character's place in it as it is.
        bytes->FBuffer.reset();
        CheckUtf8InFile(file);
    }
    if (!TUtf8Check::ReadAsUtf8(head))
        bytes->FIndex = TBranchIndex();
    return bytes;
}

const std::vector<TBranchIndex::TBranch>& TTreeFileBytes::Branches() const
{
    return FFiltered && FBuffer && FIndex.Complete() ? FIndex.Branches() : FNoBranches;
}

void TTreeFileBytes::Gather(uint64_t from, uint64_t to, const std::vector<int32_t>& leftOut, std::string& out) const
{
    const std::vector<TBranchIndex::TBranch>& branches = FIndex.Branches();
    out.clear();
    uint64_t at = from;
    for (int32_t i : leftOut) {
        const TBranchIndex::TBranch& b = branches[size_t(i)];
        out.append(FBuffer.get() + at, size_t(b.Start - at));
        at = b.End;
    }
    out.append(FBuffer.get() + at, size_t(to - at));
}

std::unique_ptr<TXMLTreeDocument> TTreeFileBytes::ParseTop(const std::vector<int32_t>& leftOut) const
{
    std::string bytes;
    Gather(0, FSize, leftOut, bytes);
    auto document = std::make_unique<TXMLTreeDocument>();
    void* buffer = Allocate(bytes.size());
    std::memcpy(buffer, bytes.data(), bytes.size());
    const pugi::xml_parse_result result = ParseOwned(*document, buffer, bytes.size());
    return Bind(std::move(document), result, bytes);
}

TXMLBranchType TTreeFileBytes::ParseBranch(int32_t i, const std::vector<int32_t>& leftOut,
                                           pugi::xml_document& document, std::string& scratch) const
{
    const TBranchIndex::TBranch& b = FIndex.Branches()[size_t(i)];
    document.reset(); // before its bytes are overwritten
    Gather(b.Start, b.End, leftOut, scratch);
    const pugi::xml_parse_result result = document.load_buffer_inplace(
        scratch.data(), scratch.size(), kParseOptions | pugi::parse_fragment, pugi::encoding_utf8);
    const pugi::xml_node branch = document.first_child();
    if (!result || branch.type() != pugi::node_element || std::strcmp(branch.name(), "Branch") != 0 ||
        branch.next_sibling())
        throw FormatException(QStringLiteral("A branch of the document does not parse alone."));
    return TXMLBranchType(branch);
}

std::unique_ptr<TXMLTreeDocument> TTreeFileBytes::ParseWhole()
{
    if (FFiltered && FBuffer) {
        auto document = std::make_unique<TXMLTreeDocument>();
        pugi::xml_parse_result result = ParseOwned(*document, FBuffer.release(), FSize);
        if (result)
            return Bind(std::move(document), result, {});
    }
    FBuffer.reset();
    // Parses the original bytes as they are: where the filtered ones fail, this gives the error
    // its true position.
    if (!FFile)
        return ParseUnfiltered(FBytes);
    QFile& file = *FFile;
    file.seek(0);
    QByteArray bytes = file.readAll();
    if (bytes.size() != FFileSize)
        throw IOException(QStringLiteral("Cannot read the file: %1").arg(SystemErrors::ReasonFor(file)));
    CheckUtf8(std::string_view(bytes.constData(), size_t(bytes.size())));
    return ParseUnfiltered(std::string_view(bytes.constData(), size_t(bytes.size())));
}

std::unique_ptr<TXMLTreeDocument> ParseTreeDocument(std::string_view bytes)
{
    return TTreeFileBytes::FromBytes(bytes)->ParseWhole();
}

std::unique_ptr<TXMLTreeDocument> OpenTreeDocument(const QString& fileName)
{
    return TTreeFileBytes::Open(fileName)->ParseWhole();
}
