#include "updater/UpdStringList.h"
#include "updater/UpdUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace updUtils;

TEST(UpdUtils, CompareVersions)
{
    const struct {
        const char *a, *b;
        int expected;
    } cases[] = {
        {"1.2", "1.2.0.0", 0}, {"1.10", "1.9", 1}, {"2", "10", -1}, {"1.2b", "1.2a", 1},
        {"1..2", "1.0.2", -1}, // an empty part: compared as text, '.' before '0'
        {"1.2", "1.2.0.a", -1},
        {"3.0.10", "3.0.9", 1}, {"", "0.0.0.0", -1}, {"1.2.3.4.9", "1.2.3.4", 0}, {"3.0.1", "3.0.2", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompareVersions(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST(UpdUtils, ParseHTTPDate)
{
    const QDateTime moment(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC);
    const struct {
        const char* text;
        QDateTime expected;
    } cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", moment},
        {"Sunday, 06-Nov-94 08:49:37 GMT", moment},
        {"Sun Nov  6 08:49:37 1994", moment},
        {"Sun, 06 Nov 1994 08:49:37 +0200", moment.addSecs(-7200)},
        {"Sun, 06 Nov 1994 08:49:37 -0130", moment.addSecs(5400)},
        {"06 Nov 1994", QDateTime(QDate(1994, 11, 6), QTime(0, 0), Qt::UTC)},
        {"Thu, 01 Jan 79 00:00:01 GMT", QDateTime(QDate(2079, 1, 1), QTime(0, 0, 1), Qt::UTC)},
        {"", QDateTime()},
        {"Mon, 31 Feb 2021 10:00:00 GMT", QDateTime()}, // no such day: no date, never an exception
        {"garbage", QDateTime()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseHTTPDate(c.text), c.expected) << c.text;
}

TEST(UpdUtils, PercentFileNamesSplitting)
{
    EXPECT_EQ(Percent(50, 200), 25);
    EXPECT_EQ(Percent(1, 3), 33);
    EXPECT_EQ(Percent(2, 3), 67);
    EXPECT_EQ(Percent(5, 0), 0);
    EXPECT_EQ(Percent(1, 8), 12); // 12.5: half to even
    EXPECT_EQ(Percent(3, 1), 44); // 300 kept as its low byte
    EXPECT_EQ(ExtractURLFileName("https://host/dir/setup.exe"), "setup.exe");
    EXPECT_EQ(ExtractURLFileName("c:\\x\\y.txt"), "y.txt");
    EXPECT_EQ(ExtractURLFileName("name:file"), "file");
    EXPECT_EQ(LastPos("ab", "xabyab"), 5);
    EXPECT_EQ(LastPos("", "x"), 0);
    QString left, right;
    SplitString(" -", "prog -x -y", left, right, 2, false);
    EXPECT_EQ(left + "|" + right, "prog| -x -y");
    SplitString(",", "abc", left, right, 0, true);
    EXPECT_EQ(left + "|" + right, "|abc");
}

TEST(UpdUtils, MacrosFoldersAndFiles)
{
    EXPECT_EQ(ExpandMacros("%TEMP%x.txt", false), GetTempDir() + "x.txt");
    EXPECT_EQ(ExpandMacros("%Current%a%current%", false), CurrentFolder() + "a" + CurrentFolder());
    EXPECT_EQ(ExpandMacros("data/x.txt", true), CurrentFolder() + "data/x.txt");
    EXPECT_EQ(ExpandMacros("/abs/x", true), "/abs/x");
    // No Windows folder here: the macro is refused, never guessed.
    EXPECT_EQ(ExpandMacros("%windows%x.dll", false), "%windows%x.dll");
    EXPECT_TRUE(HasUnknownMacro("%SYSTEM%a"));
    EXPECT_FALSE(HasUnknownMacro("%temp%a"));

    QTemporaryDir dir;
    const QString file = dir.filePath("a/b/c.txt");
    ForceDirectories(file);
    EXPECT_TRUE(DirectoryExists(dir.filePath("a/b")));
    EXPECT_FALSE(QFileInfo::exists(file));
    ForceDirectories(dir.filePath("d/e"));
    EXPECT_TRUE(DirectoryExists(dir.filePath("d")));
    EXPECT_FALSE(DirectoryExists(dir.filePath("d/e")));

    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("12345");
    f.close();
    EXPECT_EQ(GetFileSize64(file), 5);
    EXPECT_EQ(GetFileSize64(dir.filePath("none")), -1);
    const QDateTime stamp(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC);
    ASSERT_TRUE(SetFileTimes(file, stamp, QDateTime()));
    EXPECT_EQ(QFileInfo(file).lastModified().toUTC(), stamp);
    ASSERT_TRUE(SetFileAttributesEx(file, FileAttr(TupdFileAttribute::atrReadOnly)));
    EXPECT_FALSE(QFile::permissions(file) & QFileDevice::WriteOwner);
    ASSERT_TRUE(SetFileAttributesEx(file, FileAttr(TupdFileAttribute::atrArchive)));
    EXPECT_TRUE(QFile::permissions(file) & QFileDevice::WriteOwner);
}

TEST(UpdUtils, OpenURLOpensOnlyWebPages)
{
    QStringList opened;
    const auto old = SetOpenURLHandler([&](const QString& url) {
        opened << url;
        return true;
    });
    EXPECT_TRUE(OpenURL("www.example.org/page"));
    EXPECT_TRUE(OpenURL("https://example.org/x"));
    EXPECT_FALSE(OpenURL("file:///etc/passwd"));
    EXPECT_FALSE(OpenURL("javascript:alert(1)"));
    EXPECT_FALSE(OpenURL("smb://host/share"));
    SetOpenURLHandler(old);
    EXPECT_EQ(opened, QStringList({"http://www.example.org/page", "https://example.org/x"}));
}

TEST(UpdStringList, AddNamesValuesAndSaving)
{
    TupdStringList list;
    list.MaxCount = 3;
    for (const char* s : {"A", "B", "C", "D"})
        list.Add(s);
    EXPECT_EQ(list.Items(), QStringList({"B", "C", "D"}));

    TupdStringList unsorted;
    for (const char* s : {"b", "a", "c"})
        unsorted.Add(s);
    EXPECT_EQ(unsorted.Add("A"), 1);
    EXPECT_EQ(unsorted.Count(), 3);
    unsorted.Duplicates = TupdStringList::TDuplicates::Error;
    EXPECT_THROW(unsorted.Add("C"), EStringListError);
    unsorted.Duplicates = TupdStringList::TDuplicates::Accept;
    EXPECT_EQ(unsorted.Add("C"), 3);

    TupdStringList sorted;
    sorted.Sorted = true;
    for (const char* s : {"m", "c", "x", "a"})
        sorted.Add(s);
    EXPECT_EQ(sorted.Items(), QStringList({"a", "c", "m", "x"}));

    TupdStringList pairs;
    pairs.Add("a=C:\\x.exe");
    pairs.Add("b=");
    pairs.Add("plain");
    pairs.Add("u=v=w");
    EXPECT_EQ(pairs.GetName(0), "a");
    EXPECT_EQ(pairs.GetValue(3), "v=w");
    EXPECT_EQ(pairs.GetName(2), "plain");
    EXPECT_EQ(pairs.GetValue(2), "");
    pairs.SeparatorIsLast = true;
    EXPECT_EQ(pairs.GetName(3), "u=v");
    pairs.SeparatorIsLast = false;
    pairs.SetValue(1, "z");
    pairs.SetValue(2, "z");
    EXPECT_EQ(pairs[1], "b=z");
    EXPECT_EQ(pairs[2], "plain");

    QTemporaryDir dir;
    const QString queue = dir.filePath("queue.txt");
    pairs.SetValue(1, "");
    pairs.Delete(3);
    ASSERT_TRUE(pairs.SaveToFile(queue));
    QFile f(queue);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("C:\\x.exe\r\n"));
    f.close();
    TupdStringList empty;
    empty.Add("x=");
    ASSERT_TRUE(empty.SaveToFile(queue));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("C:\\x.exe\r\n")); // the old file stays
}
