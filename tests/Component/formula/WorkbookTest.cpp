#include "Component/formula/Workbook.h"
#include "Component/formula/XlsxReader.h"
#include "Component/formula/ZipPackage.h"
#include "Component/formula/WorkbookCache.h"

#include "WorkbookFixtures.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

std::shared_ptr<const TWorkbook> LoadOk(const QString& name)
{
    QString error;
    auto book = TWorkbook::Load(fixtures::File(name), error);
    EXPECT_TRUE(book) << name.toStdString() << ": " << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    return book;
}

QString LoadError(const QString& name)
{
    QString error;
    auto book = TWorkbook::Load(fixtures::File(name), error);
    EXPECT_FALSE(book) << name.toStdString();
    EXPECT_FALSE(error.isEmpty()) << name.toStdString();
    return error;
}

} // namespace

TEST(Workbook, CellValuesAsHeld)
{
    auto book = LoadOk(QStringLiteral("book.xlsx"));
    ASSERT_TRUE(book);
    const TWorksheet& data = book->Sheet(0);
    EXPECT_EQ(data.Cell(1, 1).Number, -3);
    EXPECT_EQ(data.Cell(2, 2).Number, 12.5);
    EXPECT_EQ(data.Cell(3, 3).Kind, TCellKind::Text);
    EXPECT_EQ(data.Cell(3, 3).Text, QStringLiteral("hello"));
    EXPECT_EQ(data.Cell(4, 4).Kind, TCellKind::Boolean);
    EXPECT_EQ(data.Cell(4, 4).ToText(), QStringLiteral("TRUE"));
    EXPECT_EQ(data.Cell(5, 5).Number, 45322);  // a date is its day number
    EXPECT_EQ(data.Cell(6, 6).Number, 1e300);
    EXPECT_EQ(data.Cell(7, 28).Number, 42);
    // A formula the spreadsheet never computed has no value, but is known to be a formula.
    EXPECT_TRUE(data.Cell(8, 7).IsEmpty());
    EXPECT_TRUE(data.Cell(8, 7).HasFormula);
    // Cells not stored, and places off the sheet, are empty.
    EXPECT_TRUE(data.Cell(2, 3).IsEmpty());
    EXPECT_TRUE(data.Cell(0, 1).IsEmpty());
    EXPECT_TRUE(data.Cell(1048577, 1).IsEmpty());
    EXPECT_EQ(data.Cell(2, 2).ToText(), QStringLiteral("12.5"));
}

TEST(Workbook, CachedFormulaValuesAndStringKinds)
{
    auto book = LoadOk(QStringLiteral("cached.xlsx"));
    ASSERT_TRUE(book);
    ASSERT_EQ(book->SheetCount(), 2);
    const TWorksheet& calc = book->Sheet(0);
    EXPECT_EQ(calc.Cell(1, 1).Number, 3);
    EXPECT_TRUE(calc.Cell(1, 1).HasFormula);
    EXPECT_EQ(calc.Cell(1, 2).Text, QStringLiteral("Fish & Chips"));
    EXPECT_EQ(calc.Cell(1, 3).Number, 8);  // placed after the previous cell: no reference given
    EXPECT_EQ(calc.Cell(2, 1).Text, QStringLiteral("ab"));
    EXPECT_EQ(calc.Cell(2, 2).Text, QStringLiteral("plain"));
    EXPECT_EQ(calc.Cell(2, 3).Text, QStringLiteral("rich text"));  // the reading aid is left out
    EXPECT_EQ(calc.Cell(2, 4).Text, QStringLiteral("line\rbreak <&> \u00e9"));
    EXPECT_EQ(calc.Cell(3, 1).Kind, TCellKind::Error);
    EXPECT_EQ(calc.Cell(3, 1).ToText(), QStringLiteral("#DIV/0!"));
    EXPECT_TRUE(calc.Cell(4, 1).IsEmpty());
    EXPECT_TRUE(calc.Cell(4, 1).HasFormula);
    // Booleans are held as 1 and 0, whether written as digits or as words; an escape may end the text.
    for (int col : {1, 3, 4}) {
        EXPECT_EQ(calc.Cell(5, col).Kind, TCellKind::Boolean) << col;
        EXPECT_EQ(calc.Cell(5, col).Number, col == 4 ? 0 : 1) << col;
    }
    EXPECT_EQ(calc.Cell(5, 5).Text, QStringLiteral("tailA"));
    EXPECT_EQ(calc.Cell(5, 2).Number, 45322.5);
    EXPECT_EQ(calc.Cell(6, 1).Number, 1500);  // a row without a number follows the one before
    EXPECT_EQ(calc.Cell(1048576, 16384).Number, 99);
    EXPECT_EQ(calc.LastRow(), 1048576);
    EXPECT_EQ(calc.LastColumn(), 16384);
    // Elements with a namespace prefix read the same.
    EXPECT_EQ(book->Sheet(1).Cell(2, 3).Number, 7.25);

    QString error;
    TCellAddress at;
    EXPECT_TRUE(book->ResolveName(*book->FindName(QStringLiteral("Same"), error), at, error));
    EXPECT_EQ(at.Row, 1);
    EXPECT_TRUE(book->FindName(QStringLiteral("Calc!Print_Area"), error));
    EXPECT_FALSE(book->ResolveName(*book->FindName(QStringLiteral("Other"), error), at, error));
    EXPECT_TRUE(error.contains(QStringLiteral("another workbook")));
}

TEST(Workbook, DamagedFilesGiveAnErrorText)
{
    EXPECT_EQ(LoadError(QStringLiteral("missing.xlsx")), "File not found: " + fixtures::File(QStringLiteral("missing.xlsx")));
    EXPECT_TRUE(LoadError(QStringLiteral("truncated.xlsx")).contains(QStringLiteral("zip")));
    LoadError(QStringLiteral("scrambled.xlsx"));
    EXPECT_TRUE(LoadError(QStringLiteral("garbage.xlsx")).contains(QStringLiteral("not a spreadsheet workbook")));
    EXPECT_TRUE(LoadError(QStringLiteral("empty.xlsx")).contains(QStringLiteral("empty")));
    EXPECT_TRUE(LoadError(QStringLiteral("encrypted.xlsx")).contains(QStringLiteral("password")));
    EXPECT_TRUE(LoadError(QStringLiteral("notworkbookxml.xlsx")).contains(QStringLiteral("XML")));
    EXPECT_TRUE(LoadError(QStringLiteral(".")).contains(QStringLiteral("folder")));
}

TEST(Workbook, MalformedSheetXmlGivesAnErrorText)
{
    const QString unclosed = LoadError(QStringLiteral("unclosed.xlsx"));
    EXPECT_TRUE(unclosed.contains(QStringLiteral("sheet \"S\""))) << unclosed.toStdString();
    EXPECT_TRUE(unclosed.contains(QStringLiteral("malformed XML")));
    EXPECT_TRUE(LoadError(QStringLiteral("mismatched.xlsx")).contains(QStringLiteral("does not match")));
    EXPECT_TRUE(LoadError(QStringLiteral("laughs.xlsx")).contains(QStringLiteral("document type declaration")));
    EXPECT_TRUE(LoadError(QStringLiteral("badref.xlsx")).contains(QStringLiteral("XFE1")));
    EXPECT_TRUE(LoadError(QStringLiteral("badnumber.xlsx")).contains(QStringLiteral("invalid number")));
}

TEST(Workbook, ZipBombsAreRefusedBeforeUnpacking)
{
    const QString large = LoadError(QStringLiteral("bomb-large.xlsx"));
    EXPECT_TRUE(large.contains(QStringLiteral("too large"))) << large.toStdString();
    const QString ratio = LoadError(QStringLiteral("bomb-ratio.xlsx"));
    EXPECT_TRUE(ratio.contains(QStringLiteral("zip bomb"))) << ratio.toStdString();
    // A file of 75 KB whose three parts unpack to 25 MB each.
    const QString parts = LoadError(QStringLiteral("bomb-parts.xlsx"));
    EXPECT_TRUE(parts.contains(QStringLiteral("sheet \"S3\": the workbook is too large"))) << parts.toStdString();
}

TEST(Workbook, SharedAndInlineTextsCountTowardsOneBound)
{
    // 240 KB of text in each kind: either alone fits in 300 KB, both together do not.
    for (const auto& [file, fits] : {std::pair{"texts-shared.xlsx", true}, {"texts-inline.xlsx", true}, {"texts-both.xlsx", false}}) {
        TZipPackage package;
        TWorkbook book;
        QString error;
        ASSERT_TRUE(package.Open(fixtures::File(QString::fromLatin1(file)), error)) << error.toStdString();
        EXPECT_EQ(TXlsxReader::Read(package, book, error, 300 * 1024) == TXlsxReader::TResult::Ok, fits) << file;
        EXPECT_EQ(error, fits ? QString() : QStringLiteral("sheet \"T\": the texts of the workbook need more than 300 KB of memory"));
    }
}

TEST(Workbook, SpecialFilesAreRefusedWithoutBlocking)
{
    const QString fifo = fixtures::File(QStringLiteral("pipe.xlsx"));
    QFile::remove(fifo);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(LoadError(QStringLiteral("pipe.xlsx")).contains(QStringLiteral("not a regular file")));
    QFile::remove(fifo);
}

TEST(WorkbookCache, SameObjectUntilTheFileChanges)
{
    TWorkbookCache::Instance().Clear();
    const QString path = fixtures::File(QStringLiteral("cache-copy.xlsx"));
    QFile::remove(path);
    ASSERT_TRUE(QFile::copy(fixtures::File(QStringLiteral("book.xlsx")), path));

    QString error;
    auto first = TWorkbook::Open(path, error);
    ASSERT_TRUE(first) << error.toStdString();
    auto second = TWorkbook::Open(path, error);
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(TWorkbookCache::Instance().Count(), 1);

    // Replacing the file with another workbook is noticed.
    QThread::msleep(20);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::copy(fixtures::File(QStringLiteral("cached.xlsx")), path));
    auto third = TWorkbook::Open(path, error);
    ASSERT_TRUE(third) << error.toStdString();
    EXPECT_EQ(third->Sheet(0).Name(), QStringLiteral("Calc"));
    EXPECT_EQ(TWorkbookCache::Instance().Count(), 1);
    // The earlier object stays valid for whoever still holds it.
    EXPECT_EQ(first->Sheet(0).Name(), QStringLiteral("Data"));

    // Rewriting in place (same inode) with a new modification time is noticed too.
    {
        QFile in(fixtures::File(QStringLiteral("dimension.xlsx")));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    }
    auto fourth = TWorkbook::Open(path, error);
    ASSERT_TRUE(fourth) << error.toStdString();
    EXPECT_EQ(fourth->Sheet(0).Name(), QStringLiteral("Big"));

    // A file that disappears is not served from the cache.
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(TWorkbook::Open(path, error));
    EXPECT_EQ(error, "File not found: " + path);
}

namespace {

// Puts a stand-in "soffice" first on PATH for the life of the object. The stand-in logs its
// arguments and answers a conversion with a copy of a fixture, or fails when given none.
class TFakeConverter {
public:
    explicit TFakeConverter(const QString& result)
        : FOldPath(qgetenv("PATH"))
    {
        const QString script = QStringLiteral(
            "#!/bin/sh\n"
            "echo \"$@\" >> '%1/args.log'\n"
            "out=''; src=''\n"
            "while [ $# -gt 0 ]; do\n"
            "  case \"$1\" in\n"
            "    --outdir) out=\"$2\"; shift ;;\n"
            "    -*) ;;\n"
            "    xlsx) ;;\n"
            "    *) src=\"$1\" ;;\n"
            "  esac\n"
            "  shift\n"
            "done\n"
            "[ -n '%2' ] || exit 1\n"
            "name=$(basename \"$src\")\n"
            "cp '%2' \"$out/${name%.*}.xlsx\"\n")
                                   .arg(FBin.path(), result);
        QFile file(FBin.filePath(QStringLiteral("soffice")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script.toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(FBin.path()) + ":" + FOldPath);
    }
    ~TFakeConverter() { qputenv("PATH", FOldPath); }

    QString Arguments() const
    {
        QFile log(FBin.filePath(QStringLiteral("args.log")));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

private:
    QByteArray FOldPath;
    QTemporaryDir FBin;
};

} // namespace

TEST(Workbook, HugeDeclaredDimensionIsNotTrusted)
{
    auto book = LoadOk(QStringLiteral("dimension.xlsx"));
    ASSERT_TRUE(book);
    const TWorksheet& big = book->Sheet(0);
    EXPECT_EQ(big.CellCount(), 2);
    EXPECT_EQ(big.LastRow(), 3);
    // Rows out of order are sorted; of two cells at one place the later wins.
    EXPECT_EQ(big.Cell(1, 1).Number, 5);
    EXPECT_EQ(big.Cell(3, 2).Number, 2);
}

TEST(WorkbookConversion, OtherFormatsAreReadFromTheConvertedCopy)
{
    TFakeConverter converter(fixtures::File(QStringLiteral("book.xlsx")));
    for (const char* name : {"old.xls", "sheet.ods"}) {
        QString error;
        auto book = TWorkbook::Load(fixtures::File(QLatin1String(name)), error);
        ASSERT_TRUE(book) << name << ": " << error.toStdString();
        EXPECT_EQ(book->FileName(), fixtures::File(QLatin1String(name)));
        EXPECT_EQ(book->Sheet(0).Cell(2, 2).Number, 12.5);
    }
    // A private profile for every run, never the user's.
    EXPECT_TRUE(converter.Arguments().contains(QStringLiteral("-env:UserInstallation=file:///")));
}
