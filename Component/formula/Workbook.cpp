#include "Component/formula/Workbook.h"
#include "shared/core/SystemErrors.h"

#include "Component/formula/FunctionParser.h"
#include "Component/formula/SpreadsheetConverter.h"
#include "Component/formula/WorkbookCache.h"
#include "Component/formula/XlsxReader.h"
#include "Component/formula/ZipPackage.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cstring>

namespace {

enum class TFileKind { Unknown, Empty, Zip, Compound };

TFileKind KindOf(QFile& file)
{
    const QByteArray head = file.read(8);
    if (head.isEmpty())
        return TFileKind::Empty;
    if (head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06"))
        return TFileKind::Zip;
    if (head == QByteArray::fromHex("D0CF11E0A1B11AE1"))
        return TFileKind::Compound;
    return TFileKind::Unknown;
}

// A password-protected .xlsx is not a zip package but a compound file whose directory names
// a stream "EncryptedPackage".
bool IsEncryptedCompoundFile(QFile& file)
{
    static const QByteArray marker = QByteArray::fromRawData(
        "E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    const qint64 size = file.size();
    uchar* data = file.map(0, size);
    if (!data)
        return false;
    const void* found = memmem(data, size_t(size), marker.constData(), size_t(marker.size()));
    file.unmap(data);
    return found != nullptr;
}

bool NeedsQuotes(const QString& sheet)
{
    if (sheet.isEmpty() || sheet[0].isDigit())
        return true;
    for (QChar c : sheet)
        if (!c.isLetterOrNumber() && c != QLatin1Char('_') && c != QLatin1Char('.'))
            return true;
    return false;
}

// Splits "Sheet1!X" or "'My sheet'!X" into the sheet and the rest; sheet empty when there is no
// qualifier. False for a malformed quoted qualifier.
bool SplitSheetQualifier(const QString& text, QString& sheet, QString& rest)
{
    sheet.clear();
    rest = text;
    if (text.startsWith(QLatin1Char('\''))) {
        QString name;
        qsizetype i = 1;
        for (; i < text.size(); ++i) {
            if (text[i] == QLatin1Char('\'')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\'')) {
                    name += QLatin1Char('\'');
                    ++i;
                    continue;
                }
                break;
            }
            name += text[i];
        }
        if (i + 1 >= text.size() || text[i] != QLatin1Char('\'') || text[i + 1] != QLatin1Char('!'))
            return false;
        sheet = name;
        rest = text.mid(i + 2);
        return true;
    }
    const qsizetype bang = text.lastIndexOf(QLatin1Char('!'));
    if (bang >= 0) {
        sheet = text.left(bang);
        rest = text.mid(bang + 1);
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------

QString TCellValue::ToText() const
{
    switch (Kind) {
    case TCellKind::Empty:
        return QString(QLatin1String(""));
    case TCellKind::Number:
        return QString::number(Number, 'g', QLocale::FloatingPointShortest);
    case TCellKind::Boolean:
        return Number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case TCellKind::Text:
    case TCellKind::Error:
        return Text;
    }
    return QString();
}

QString TDefinedName::FullName(const TWorkbook& book) const
{
    if (SheetIndex < 0 || SheetIndex >= book.SheetCount())
        return Name;
    QString sheet = book.Sheet(SheetIndex).Name();
    if (NeedsQuotes(sheet))
        sheet = QLatin1Char('\'') + sheet.replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
    return sheet + QLatin1Char('!') + Name;
}

void TWorksheet::StoredCell(int index, int& row, int& column, TCellValue& value) const
{
    const Record& r = FCells.at(size_t(index));
    row = int(r.Key >> 14);
    column = int(r.Key & 0x3FFF) + 1;
    value = TCellValue();
    value.Kind = r.Kind;
    value.Number = r.Number;
    value.HasFormula = r.HasFormula;
    if (r.TextIndex >= 0 && FStrings)
        value.Text = (*FStrings)[size_t(r.TextIndex)];
}

TCellValue TWorksheet::Cell(int row, int column) const
{
    TCellValue value;
    if (row < 1 || row > MaxSheetRows || column < 1 || column > MaxSheetColumns)
        return value;
    const quint64 key = (quint64(row) << 14) | quint64(column - 1);
    const auto it = std::lower_bound(FCells.begin(), FCells.end(), key,
                                     [](const Record& r, quint64 k) { return r.Key < k; });
    if (it == FCells.end() || it->Key != key)
        return value;
    value.Kind = it->Kind;
    value.Number = it->Number;
    value.HasFormula = it->HasFormula;
    if (it->TextIndex >= 0 && FStrings)
        value.Text = (*FStrings)[size_t(it->TextIndex)];
    return value;
}

// ---------------------------------------------------------------------------------------------

std::shared_ptr<const TWorkbook> TWorkbook::Open(const QString& fileName, QString& errorText)
{
    return TWorkbookCache::Instance().Open(fileName, errorText);
}

bool TWorkbook::CanConvertOtherFormats()
{
    return !TSpreadsheetConverter::Program().isEmpty();
}

std::shared_ptr<const TWorkbook> TWorkbook::Load(const QString& fileName, QString& errorText)
{
    errorText.clear();
    const QFileInfo info(fileName);
    if (!info.exists()) {
        errorText = QStringLiteral("File not found: %1").arg(fileName);
        return nullptr;
    }
    const QString shownName = info.fileName();
    const auto fail = [&](const QString& reason) {
        errorText = QStringLiteral("The workbook %1 cannot be read: %2").arg(shownName, reason);
        return nullptr;
    };
    // Pipes and devices could block reading or never end.
    switch (SystemErrors::KindOf(fileName)) {
    case SystemErrors::TPathKind::RegularFile:
        break;
    case SystemErrors::TPathKind::Folder:
        return fail(QStringLiteral("it is a folder"));
    case SystemErrors::TPathKind::Device:
        return fail(QStringLiteral("it is a device, not a regular file"));
    case SystemErrors::TPathKind::Pipe:
        return fail(QStringLiteral("it is a named pipe, not a regular file"));
    default:
        return fail(QStringLiteral("it is not a regular file"));
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(SystemErrors::ReasonFor(file));

    bool convert = false;
    switch (KindOf(file)) {
    case TFileKind::Empty:
        return fail(QStringLiteral("the file is empty"));
    case TFileKind::Unknown:
        return fail(QStringLiteral("it is not a spreadsheet workbook"));
    case TFileKind::Compound:
        if (IsEncryptedCompoundFile(file))
            return fail(QStringLiteral("it is protected with a password; remove the password in a spreadsheet "
                                       "program and try again"));
        convert = true;  // a workbook in the older binary format
        break;
    case TFileKind::Zip:
        break;
    }
    file.close();

    auto book = std::make_shared<TWorkbook>();
    book->FFileName = fileName;
    if (!convert) {
        TZipPackage package;
        QString reason;
        if (!package.Open(fileName, reason))
            return fail(reason);
        if (package.Contains(QStringLiteral("mimetype")) && package.Contains(QStringLiteral("content.xml"))) {
            convert = true;  // an OpenDocument spreadsheet
        } else {
            switch (TXlsxReader::Read(package, *book, reason)) {
            case TXlsxReader::TResult::Ok:
                return book;
            case TXlsxReader::TResult::Failed:
                return fail(reason);
            case TXlsxReader::TResult::BinaryWorkbook:
                convert = true;
                break;
            }
        }
    }
    if (TSpreadsheetConverter::Program().isEmpty()) {
        errorText = TSpreadsheetConverter::MissingMessage();
        return nullptr;
    }
    QString reason;
    const QTemporaryDir conversionDir;  // removed again once the converted copy has been read
    const QString readFrom = TSpreadsheetConverter::ConvertToXlsx(fileName, conversionDir, reason);
    if (readFrom.isEmpty())
        return fail(reason);
    TZipPackage package;
    if (!package.Open(readFrom, reason))
        return fail(reason);
    book = std::make_shared<TWorkbook>();
    book->FFileName = fileName;
    if (TXlsxReader::Read(package, *book, reason) != TXlsxReader::TResult::Ok)
        return fail(reason.isEmpty() ? QStringLiteral("the converted copy cannot be read") : reason);
    return book;
}

int TWorkbook::IndexOfSheet(const QString& name) const
{
    for (size_t i = 0; i < FSheets.size(); ++i)
        if (FSheets[i]->Name().compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

const TDefinedName* TWorkbook::FindName(const QString& name, QString& errorText) const
{
    errorText.clear();
    QString sheet, bare;
    if (!SplitSheetQualifier(name.trimmed(), sheet, bare) || bare.isEmpty()) {
        errorText = QStringLiteral("\"%1\" is not a valid name").arg(name);
        return nullptr;
    }
    if (!sheet.isEmpty()) {
        const int index = IndexOfSheet(sheet);
        if (index < 0) {
            errorText = QStringLiteral("Sheet \"%1\" not found").arg(sheet);
            return nullptr;
        }
        for (const TDefinedName& n : FNames)
            if (n.SheetIndex == index && n.Name.compare(bare, Qt::CaseInsensitive) == 0)
                return &n;
        errorText = QStringLiteral("Name \"%1\" not found").arg(name);
        return nullptr;
    }
    const TDefinedName* local = nullptr;
    int localCount = 0;
    for (const TDefinedName& n : FNames) {
        if (n.Name.compare(bare, Qt::CaseInsensitive) != 0)
            continue;
        if (n.SheetIndex < 0)
            return &n;
        if (localCount++ == 0)
            local = &n;
    }
    if (localCount == 1)
        return local;
    errorText = localCount == 0
                    ? QStringLiteral("Name \"%1\" not found").arg(name)
                    : QStringLiteral("Name \"%1\" is defined on several sheets; give it with its sheet, as in "
                                     "Sheet1!%1")
                          .arg(bare);
    return nullptr;
}

bool TWorkbook::ResolveName(const TDefinedName& name, TCellAddress& address, QString& errorText) const
{
    errorText.clear();
    QString text = name.RefersTo.trimmed();
    if (text.startsWith(QLatin1Char('=')))
        text = text.mid(1).trimmed();
    const QString display = name.FullName(*this);
    const auto refuse = [&](const QString& why) {
        errorText = QStringLiteral("Name \"%1\" %2").arg(display, why);
        return false;
    };
    if (text.startsWith(QLatin1Char('[')))
        return refuse(QStringLiteral("refers to another workbook"));
    if (text.contains(QLatin1String("#REF!")))
        return refuse(QStringLiteral("refers to a deleted cell (#REF!)"));
    QString sheet, cells;
    if (!SplitSheetQualifier(text, sheet, cells))
        return refuse(QStringLiteral("does not refer to a cell"));
    if (sheet.contains(QLatin1Char(':')))
        return refuse(QStringLiteral("refers to several sheets"));
    int sheetIndex = name.SheetIndex;
    if (!sheet.isEmpty()) {
        sheetIndex = IndexOfSheet(sheet);
        if (sheetIndex < 0)
            return refuse(QStringLiteral("refers to the missing sheet \"%1\"").arg(sheet));
    } else if (sheetIndex < 0) {
        return refuse(QStringLiteral("does not refer to a cell"));
    }
    const QStringList ends = cells.split(QLatin1Char(':'));
    if (ends.size() > 2)
        return refuse(QStringLiteral("does not refer to a cell"));
    int column = 0, row = 0;
    for (qsizetype i = 0; i < ends.size(); ++i) {
        QString ref = ends[i].trimmed();
        ref.remove(QLatin1Char('$'));
        int c, r;
        QString ignored;
        if (!TryParseCellReference(ref, c, r, ignored))
            return refuse(ends.size() == 2 ? QStringLiteral("refers to a range, not a single cell")
                                           : QStringLiteral("does not refer to a cell"));
        if (i == 0) {
            column = c;
            row = r;
        } else if (c != column || r != row) {
            return refuse(QStringLiteral("refers to a range, not a single cell"));
        }
    }
    address.SheetIndex = sheetIndex;
    address.Row = row;
    address.Column = column;
    return true;
}

TCellValue TWorkbook::Cell(const TCellAddress& address) const
{
    if (address.SheetIndex < 0 || address.SheetIndex >= SheetCount())
        return TCellValue();
    return Sheet(address.SheetIndex).Cell(address.Row, address.Column);
}
