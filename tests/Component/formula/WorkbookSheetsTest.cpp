#include "Component/formula/Workbook.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>
#include <zip.h>

namespace {

const char* const Main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* const Rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

bool WriteZip(const QString& path, const std::vector<std::pair<std::string, std::string>>& parts)
{
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    for (const auto& [name, body] : parts) {
        zip_source_t* source = zip_source_buffer(zip, body.data(), body.size(), 0);
        if (!source || zip_file_add(zip, name.c_str(), source, ZIP_FL_OVERWRITE) < 0)
            return false;
    }
    return zip_close(zip) == 0;
}

// A package whose workbook part lists sheetsXml and relates only the first sheet's id, rId1.
QString MakeBook(const QTemporaryDir& dir, const std::string& sheetsXml)
{
    const QString path = dir.filePath(QStringLiteral("book.xlsx"));
    const std::string workbook = std::string("<workbook xmlns=\"") + Main + "\" xmlns:r=\"" + Rel + "\">" + sheetsXml +
                                 "</workbook>";
    const std::string rels = std::string("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                                         "relationships\"><Relationship Id=\"rId1\" Type=\"") +
                             Rel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>";
    const std::string rootRels = std::string("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                                             "relationships\"><Relationship Id=\"r\" Type=\"") +
                                 Rel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    const std::string sheet = std::string("<worksheet xmlns=\"") + Main +
                              "\"><sheetData><row r=\"1\"><c r=\"A1\"><v>4</v></c></row></sheetData></worksheet>";
    EXPECT_TRUE(WriteZip(path, {{"_rels/.rels", rootRels},
                                {"xl/workbook.xml", workbook},
                                {"xl/_rels/workbook.xml.rels", rels},
                                {"xl/worksheets/sheet1.xml", sheet}}));
    return path;
}

} // namespace

TEST(WorkbookSheets, AWorkbookWhoseSheetsCannotBeFoundSaysSo)
{
    const struct { std::string sheets; QString error; } cases[] = {
        {"<sheets><sheet name=\"One\" sheetId=\"1\" r:id=\"rId1\"/></sheets>", QString()},
        {"", QStringLiteral("The workbook book.xlsx cannot be read: the workbook's sheets cannot be found: it lists none")},
        {"<sheets><sheet name=\"One\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Two\" sheetId=\"2\" r:id=\"rId7\"/></sheets>",
         QStringLiteral("The workbook book.xlsx cannot be read: the sheet \"Two\" cannot be found: the workbook names no "
                        "part for it")},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        QString error;
        auto book = TWorkbook::Load(MakeBook(dir, c.sheets), error);
        EXPECT_EQ(error.toStdString(), c.error.toStdString());
        EXPECT_EQ(bool(book), c.error.isEmpty());
        if (book) {
            EXPECT_EQ(book->Sheet(0).Cell(1, 1).Number, 4);
        }
    }
}
