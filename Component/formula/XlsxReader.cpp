#include "Component/formula/XlsxReader.h"

#include "Component/formula/FunctionParser.h"
#include "Component/formula/Workbook.h"
#include "Component/formula/XmlScanner.h"
#include "Component/formula/ZipPackage.h"

#include <pugixml.hpp>

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QUrl>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// The small parts (relationships, the workbook part) are read as documents; they hold a few
// entries per sheet, so anything this large is not a real workbook.
constexpr qint64 MaxSmallPartSize = 64ll * 1024 * 1024;

struct TRelationship {
    QString Type;
    QString Target;  // the part name, resolved against the source part's folder
    bool External = false;
};

std::string_view LocalName(const char* qualified)
{
    std::string_view name(qualified);
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(pugi::xml_node parent, std::string_view localName)
{
    for (pugi::xml_node n : parent.children())
        if (n.type() == pugi::node_element && LocalName(n.name()) == localName)
            return n;
    return {};
}

pugi::xml_attribute Attribute(pugi::xml_node node, std::string_view localName)
{
    for (pugi::xml_attribute a : node.attributes())
        if (LocalName(a.name()) == localName)
            return a;
    return {};
}

QString Utf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

bool TypeIs(const QString& relType, const char* kind)
{
    return relType.endsWith(QLatin1Char('/') + QLatin1String(kind));
}

// Strings in the package escape characters that XML cannot carry as _xHHHH_.
void DecodeEscapes(QString& s)
{
    if (!s.contains(QLatin1String("_x")))
        return;
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('_') && i + 6 < s.size() && s[i + 1] == QLatin1Char('x') && s[i + 6] == QLatin1Char('_')) {
            bool ok = false;
            const uint code = s.mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        out += s[i];
    }
    s = out;
}

bool LoadDocument(TZipPackage& package, const QString& part, pugi::xml_document& doc, QString& errorText)
{
    std::string data;
    if (!package.Read(part, data, errorText))
        return false;
    if (qint64(data.size()) > MaxSmallPartSize) {
        errorText = QStringLiteral("the part %1 is too large").arg(part);
        return false;
    }
    const pugi::xml_parse_result r = doc.load_buffer(data.data(), data.size(), pugi::parse_default, pugi::encoding_auto);
    if (!r) {
        errorText = QStringLiteral("the part %1 is not well-formed XML (%2 at offset %3)")
                        .arg(part, QString::fromUtf8(r.description()))
                        .arg(qint64(r.offset));
        return false;
    }
    return true;
}

QString RelationshipsPartOf(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral("_rels/") + part + QStringLiteral(".rels")
                     : part.left(slash) + QStringLiteral("/_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
}

QString ResolveTarget(const QString& sourcePart, const QString& target)
{
    const QString decoded = QUrl::fromPercentEncoding(target.toUtf8());
    if (decoded.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(decoded.mid(1));
    const qsizetype slash = sourcePart.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QString() : sourcePart.left(slash + 1);
    QString path = QDir::cleanPath(folder + decoded);
    while (path.startsWith(QLatin1String("../")))
        path = path.mid(3);
    return path;
}

// Relationships of a part by id. A part without relationships has none: not an error.
bool ReadRelationships(TZipPackage& package, const QString& sourcePart, QHash<QString, TRelationship>& rels,
                       QString& errorText)
{
    const QString relsPart = RelationshipsPartOf(sourcePart);
    if (!package.Contains(relsPart))
        return true;
    pugi::xml_document doc;
    if (!LoadDocument(package, relsPart, doc, errorText))
        return false;
    for (pugi::xml_node n : doc.document_element().children()) {
        if (n.type() != pugi::node_element || LocalName(n.name()) != "Relationship")
            continue;
        TRelationship rel;
        rel.Type = QString::fromUtf8(n.attribute("Type").value());
        rel.External = QString::fromUtf8(n.attribute("TargetMode").value()).compare(QLatin1String("External"), Qt::CaseInsensitive) == 0;
        const QString target = QString::fromUtf8(n.attribute("Target").value());
        rel.Target = rel.External ? target : ResolveTarget(sourcePart, target);
        rels.insert(QString::fromUtf8(n.attribute("Id").value()), rel);
    }
    return true;
}

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool ParseDouble(std::string_view text, double& value)
{
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

bool ParseInt(std::string_view text, qint64 limit, qint64& value)
{
    text = Trimmed(text);
    if (text.empty())
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > limit)
            return false;
    }
    return true;
}

// "B12" as written in a cell's r attribute: letters (upper case as a rule), then the row.
bool ParseCellName(std::string_view ref, int& column, int& row)
{
    size_t i = 0;
    int col = 0;
    for (; i < ref.size() && i < 3; ++i) {
        const char c = ref[i] >= 'a' && ref[i] <= 'z' ? char(ref[i] - 'a' + 'A') : ref[i];
        if (c < 'A' || c > 'Z')
            break;
        col = col * 26 + (c - 'A' + 1);
    }
    if (i == 0 || col > MaxSheetColumns)
        return false;
    qint64 r;
    if (!ParseInt(ref.substr(i), MaxSheetRows, r) || r < 1)
        return false;
    column = col;
    row = int(r);
    return true;
}

// An ISO 8601 date as the day-count number the spreadsheet stores for dates.
bool ParseIsoDate(const QString& text, double& serial)
{
    QDateTime dt = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(text.trimmed(), Qt::ISODate);
        if (!d.isValid())
            return false;
        dt = QDateTime(d, QTime(0, 0));
    }
    serial = double(QDate(1899, 12, 30).daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
    return true;
}

// Every text costs its characters and a string object of its own, so a part of tiny entries
// (millions of empty ones pack into a few megabytes) is bounded by what it takes in memory, not
// by its bytes; the texts of all parts count together. False once they would need too much.
struct TTextBudget {
    qint64 Used = 0;
    qint64 Limit = TXlsxReader::MaxTextMemory;
};

bool CountText(const QString& text, TTextBudget& budget)
{
    budget.Used += TXlsxReader::StringOverhead + qint64(text.size()) * qint64(sizeof(QChar));
    return budget.Used <= budget.Limit;
}

QString TooMuchTextError(const TTextBudget& budget)
{
    return QStringLiteral("the texts of the workbook need more than %1 KB of memory").arg(budget.Limit / 1024);
}

} // namespace

// Reads one worksheet part into the sheet's sparse cell list.
class TSheetParser {
public:
    TSheetParser(TWorksheet& sheet, std::vector<QString>& strings, qsizetype sharedCount, qint64& totalCells,
                 TTextBudget& texts)
        : FSheet(sheet), FStrings(strings), FSharedCount(sharedCount), FTotalCells(totalCells), FTexts(texts)
    {
    }

    bool Parse(const std::string& xml, QString& errorText);

private:
    bool FinishCell(QString& errorText);

    TWorksheet& FSheet;
    std::vector<QString>& FStrings;
    qsizetype FSharedCount;
    qint64& FTotalCells;
    TTextBudget& FTexts;

    int FRow = 0;
    int FCellRow = 0, FCellColumn = 0;
    std::string_view FType;
    bool FHasFormula = false, FHasValue = false, FHasInline = false;
    std::string FValue, FInline;
};

bool TSheetParser::Parse(const std::string& xml, QString& errorText)
{
    TXmlScanner x(xml.data(), xml.data() + xml.size());
    bool inSheetData = false, inRow = false, inCell = false, inInline = false, inPhonetic = false;
    bool collectValue = false, collectInline = false;
    int previousColumn = 0;
    bool sorted = true;
    quint64 lastKey = 0;
    for (;;) {
        switch (x.Next()) {
        case TXmlScanner::TToken::StartElement: {
            const std::string_view name = x.LocalName();
            if (!inSheetData) {
                inSheetData = name == "sheetData";
            } else if (!inRow) {
                if (name == "row") {
                    inRow = true;
                    std::string_view r;
                    qint64 n;
                    if (x.Attribute("r", r)) {
                        if (!ParseInt(r, MaxSheetRows, n) || n < 1) {
                            errorText = QStringLiteral("invalid row number %1").arg(Utf8(r));
                            return false;
                        }
                        FRow = int(n);
                    } else if (++FRow > MaxSheetRows) {
                        errorText = QStringLiteral("more than %1 rows").arg(MaxSheetRows);
                        return false;
                    }
                    previousColumn = 0;
                }
            } else if (!inCell) {
                if (name == "c") {
                    inCell = true;
                    std::string_view r;
                    if (x.Attribute("r", r)) {
                        if (!ParseCellName(Trimmed(r), FCellColumn, FCellRow)) {
                            errorText = QStringLiteral("invalid cell reference %1").arg(Utf8(r));
                            return false;
                        }
                    } else {
                        FCellRow = FRow;
                        FCellColumn = previousColumn + 1;
                        if (FCellColumn > MaxSheetColumns) {
                            errorText = QStringLiteral("more than %1 columns").arg(MaxSheetColumns);
                            return false;
                        }
                    }
                    previousColumn = FCellColumn;
                    if (!x.Attribute("t", FType))
                        FType = "n";
                    FHasFormula = FHasValue = FHasInline = false;
                    FValue.clear();
                    FInline.clear();
                }
            } else if (name == "v") {
                collectValue = FHasValue = true;
            } else if (name == "f") {
                FHasFormula = true;
            } else if (name == "is") {
                inInline = FHasInline = true;
            } else if (inInline && name == "rPh") {
                inPhonetic = true;  // reading aids, not part of the value
            } else if (inInline && !inPhonetic && name == "t") {
                collectInline = true;
            }
            break;
        }
        case TXmlScanner::TToken::EndElement: {
            if (!inSheetData)
                break;
            const std::string_view name = x.LocalName();
            if (inCell) {
                if (name == "v")
                    collectValue = false;
                else if (name == "t")
                    collectInline = false;
                else if (name == "rPh")
                    inPhonetic = false;
                else if (name == "is")
                    inInline = false;
                else if (name == "c") {
                    inCell = collectValue = collectInline = inInline = inPhonetic = false;
                    if (!FinishCell(errorText))
                        return false;
                    const quint64 key = (quint64(FCellRow) << 14) | quint64(FCellColumn - 1);
                    if (key <= lastKey && lastKey != 0)
                        sorted = false;
                    lastKey = key;
                }
            } else if (inRow) {
                if (name == "row")
                    inRow = false;
            } else if (name == "sheetData") {
                inSheetData = false;
            }
            break;
        }
        case TXmlScanner::TToken::Text: {
            std::string* target = collectValue ? &FValue : collectInline ? &FInline : nullptr;
            if (!target)
                break;
            if (x.IsCData())
                target->append(x.RawText());
            else if (!TXmlScanner::AppendDecoded(x.RawText(), *target)) {
                errorText = QStringLiteral("an unknown entity in a cell value");
                return false;
            }
            break;
        }
        case TXmlScanner::TToken::EndOfDocument: {
            auto& cells = FSheet.FCells;
            if (!sorted) {
                // Cells are written in row order by every common writer; a file that does
                // otherwise is sorted once, the later of two cells at one place winning.
                std::stable_sort(cells.begin(), cells.end(),
                                 [](const auto& a, const auto& b) { return a.Key < b.Key; });
                std::vector<TWorksheet::Record> unique;
                unique.reserve(cells.size());
                for (const auto& c : cells) {
                    if (!unique.empty() && unique.back().Key == c.Key)
                        unique.back() = c;
                    else
                        unique.push_back(c);
                }
                cells.swap(unique);
            }
            cells.shrink_to_fit();
            return true;
        }
        case TXmlScanner::TToken::Error:
            errorText = QStringLiteral("malformed XML: %1").arg(x.ErrorText());
            return false;
        }
    }
}

bool TSheetParser::FinishCell(QString& errorText)
{
    FSheet.FLastRow = std::max(FSheet.FLastRow, FCellRow);
    FSheet.FLastColumn = std::max(FSheet.FLastColumn, FCellColumn);

    TWorksheet::Record rec{(quint64(FCellRow) << 14) | quint64(FCellColumn - 1), 0, -1, TCellKind::Empty, FHasFormula};
    const auto where = [&] { return ColumnIndexToLetters(FCellColumn - 1) + QString::number(FCellRow); };
    bool tooMuchText = false;
    const auto addText = [&](QString text) {
        DecodeEscapes(text);
        if (!CountText(text, FTexts)) {
            tooMuchText = true;
            return;
        }
        FStrings.push_back(std::move(text));
        rec.TextIndex = qint32(FStrings.size() - 1);
    };
    if (FType == "n") {
        if (FHasValue && !Trimmed(FValue).empty()) {
            if (!ParseDouble(FValue, rec.Number)) {
                errorText = QStringLiteral("cell %1 holds an invalid number").arg(where());
                return false;
            }
            rec.Kind = TCellKind::Number;
        }
    } else if (FType == "s") {
        if (FHasValue) {
            qint64 index;
            if (!ParseInt(FValue, FSharedCount - 1, index)) {
                errorText = QStringLiteral("cell %1 refers to a missing shared string").arg(where());
                return false;
            }
            rec.Kind = TCellKind::Text;
            rec.TextIndex = qint32(index);
        }
    } else if (FType == "str") {
        if (FHasValue) {
            rec.Kind = TCellKind::Text;
            addText(QString::fromUtf8(FValue.data(), qsizetype(FValue.size())));
        }
    } else if (FType == "inlineStr") {
        if (FHasInline) {
            rec.Kind = TCellKind::Text;
            addText(QString::fromUtf8(FInline.data(), qsizetype(FInline.size())));
        }
    } else if (FType == "b") {
        if (FHasValue) {
            const std::string_view v = Trimmed(FValue);
            rec.Kind = TCellKind::Boolean;
            rec.Number = (v == "1" || v == "true") ? 1 : 0;
        }
    } else if (FType == "e") {
        if (FHasValue) {
            rec.Kind = TCellKind::Error;
            addText(QString::fromUtf8(FValue.data(), qsizetype(FValue.size())).trimmed());
        }
    } else if (FType == "d") {
        if (FHasValue) {
            const QString text = QString::fromUtf8(FValue.data(), qsizetype(FValue.size()));
            if (ParseIsoDate(text, rec.Number)) {
                rec.Kind = TCellKind::Number;
            } else {
                rec.Kind = TCellKind::Text;
                addText(text);
            }
        }
    } else {
        errorText = QStringLiteral("cell %1 has the unknown type \"%2\"").arg(where(), Utf8(FType));
        return false;
    }
    if (tooMuchText) {
        errorText = TooMuchTextError(FTexts);
        return false;
    }
    // A cell that only carries formatting widens the used area but needs no record.
    if (rec.Kind == TCellKind::Empty && !rec.HasFormula)
        return true;
    if (++FTotalCells > TXlsxReader::MaxCells) {
        errorText = QStringLiteral("the workbook holds more than %1 cells").arg(TXlsxReader::MaxCells);
        return false;
    }
    FSheet.FCells.push_back(rec);
    return true;
}

namespace {

bool ReadSharedStrings(TZipPackage& package, const QString& part, std::vector<QString>& strings, TTextBudget& texts,
                       QString& errorText)
{
    std::string xml;
    if (!package.Read(part, xml, errorText))
        return false;
    TXmlScanner x(xml.data(), xml.data() + xml.size());
    bool inItem = false, inPhonetic = false, collect = false;
    std::string text;
    for (;;) {
        switch (x.Next()) {
        case TXmlScanner::TToken::StartElement: {
            const std::string_view name = x.LocalName();
            if (name == "si") {
                inItem = true;
                text.clear();
            } else if (inItem && name == "rPh") {
                inPhonetic = true;
            } else if (inItem && !inPhonetic && name == "t") {
                collect = true;
            }
            break;
        }
        case TXmlScanner::TToken::EndElement: {
            const std::string_view name = x.LocalName();
            if (name == "t") {
                collect = false;
            } else if (name == "rPh") {
                inPhonetic = false;
            } else if (name == "si" && inItem) {
                inItem = false;
                QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
                DecodeEscapes(s);
                if (!CountText(s, texts)) {
                    errorText = TooMuchTextError(texts);
                    return false;
                }
                strings.push_back(std::move(s));
            }
            break;
        }
        case TXmlScanner::TToken::Text:
            if (collect) {
                if (x.IsCData())
                    text.append(x.RawText());
                else if (!TXmlScanner::AppendDecoded(x.RawText(), text)) {
                    errorText = QStringLiteral("the shared strings hold an unknown entity");
                    return false;
                }
            }
            break;
        case TXmlScanner::TToken::EndOfDocument:
            return true;
        case TXmlScanner::TToken::Error:
            errorText = QStringLiteral("the shared strings are malformed XML: %1").arg(x.ErrorText());
            return false;
        }
    }
}

} // namespace

TXlsxReader::TResult TXlsxReader::Read(TZipPackage& package, TWorkbook& book, QString& errorText, qint64 maxTextMemory)
{
    // The package's root relationships name the workbook part.
    QHash<QString, TRelationship> rootRels;
    if (!ReadRelationships(package, QString(), rootRels, errorText))
        return TResult::Failed;
    QString workbookPart;
    for (const TRelationship& rel : std::as_const(rootRels))
        if (!rel.External && TypeIs(rel.Type, "officeDocument"))
            workbookPart = rel.Target;
    if (workbookPart.isEmpty()) {
        if (package.Contains(QStringLiteral("xl/workbook.xml")))
            workbookPart = QStringLiteral("xl/workbook.xml");
        else if (package.Contains(QStringLiteral("xl/workbook.bin")))
            return TResult::BinaryWorkbook;
        else {
            errorText = QStringLiteral("the archive holds no spreadsheet workbook");
            return TResult::Failed;
        }
    }
    if (workbookPart.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive))
        return TResult::BinaryWorkbook;

    pugi::xml_document doc;
    if (!LoadDocument(package, workbookPart, doc, errorText))
        return TResult::Failed;
    const pugi::xml_node root = doc.document_element();
    if (LocalName(root.name()) != "workbook") {
        errorText = QStringLiteral("the workbook part %1 is not a spreadsheet workbook").arg(workbookPart);
        return TResult::Failed;
    }
    QHash<QString, TRelationship> rels;
    if (!ReadRelationships(package, workbookPart, rels, errorText))
        return TResult::Failed;
    TTextBudget texts;
    texts.Limit = maxTextMemory;

    for (const TRelationship& rel : std::as_const(rels)) {
        if (!rel.External && TypeIs(rel.Type, "sharedStrings")) {
            if (!ReadSharedStrings(package, rel.Target, book.FStrings, texts, errorText))
                return TResult::Failed;
            break;
        }
    }
    const qsizetype sharedCount = qsizetype(book.FStrings.size());

    // Sheet positions in the workbook part count chart sheets too; names local to a sheet
    // refer to those positions.
    std::vector<int> worksheetOfPosition;
    qint64 totalCells = 0;
    for (pugi::xml_node s : Child(root, "sheets").children()) {
        if (s.type() != pugi::node_element || LocalName(s.name()) != "sheet")
            continue;
        worksheetOfPosition.push_back(-1);
        const QString id = QString::fromUtf8(Attribute(s, "id").value());
        const auto rel = rels.constFind(id);
        if (rel == rels.constEnd()) {
            errorText = QStringLiteral("the sheet \"%1\" cannot be found: the workbook names no part for it")
                            .arg(QString::fromUtf8(s.attribute("name").value()));
            return TResult::Failed;
        }
        if (rel->External || !TypeIs(rel->Type, "worksheet"))
            continue;  // chart, dialog and macro sheets hold no cells to read
        auto sheet = std::make_unique<TWorksheet>();
        sheet->FName = QString::fromUtf8(s.attribute("name").value());
        sheet->FStrings = &book.FStrings;
        std::string xml;
        if (!package.Read(rel->Target, xml, errorText)) {
            errorText = QStringLiteral("sheet \"%1\": %2").arg(sheet->FName, errorText);
            return TResult::Failed;
        }
        TSheetParser parser(*sheet, book.FStrings, sharedCount, totalCells, texts);
        if (!parser.Parse(xml, errorText)) {
            errorText = QStringLiteral("sheet \"%1\": %2").arg(sheet->FName, errorText);
            return TResult::Failed;
        }
        worksheetOfPosition.back() = int(book.FSheets.size());
        book.FSheets.push_back(std::move(sheet));
    }

    if (worksheetOfPosition.empty()) {
        errorText = QStringLiteral("the workbook's sheets cannot be found: it lists none");
        return TResult::Failed;
    }

    for (pugi::xml_node n : Child(root, "definedNames").children()) {
        if (n.type() != pugi::node_element || LocalName(n.name()) != "definedName")
            continue;
        TDefinedName name;
        name.Name = QString::fromUtf8(n.attribute("name").value());
        if (name.Name.startsWith(QLatin1String("_xlnm.")))
            name.Name = name.Name.mid(6);  // built-in names such as Print_Area
        const QString hidden = QString::fromUtf8(n.attribute("hidden").value());
        name.Hidden = hidden == QLatin1String("1") || hidden == QLatin1String("true");
        name.RefersTo = QLatin1Char('=') + QString::fromUtf8(n.child_value()).trimmed();
        const pugi::xml_attribute local = n.attribute("localSheetId");
        if (local) {
            const int position = local.as_int(-1);
            if (position < 0 || position >= int(worksheetOfPosition.size()) || worksheetOfPosition[size_t(position)] < 0)
                continue;  // local to a chart sheet, or to no sheet at all
            name.SheetIndex = worksheetOfPosition[size_t(position)];
        }
        if (!name.Name.isEmpty())
            book.FNames.push_back(std::move(name));
    }
    return TResult::Ok;
}
