// The settings file's text against QSettings itself, which wrote the files of earlier versions
// and reads the ones this version writes.
#include "shared/core/IniText.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using IniText::TEntries;

namespace {

std::string Shown(const TEntries& entries)
{
    std::string text;
    for (auto it = entries.begin(); it != entries.end(); ++it)
        text += "<" + it.key().toStdString() + "> = <" + it.value().toUtf8().toPercentEncoding(" ").toStdString() + ">\n";
    return text;
}

QByteArray QtWrites(const TEntries& entries)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("q.ini"));
    {
        QSettings settings(name, QSettings::IniFormat);
        for (auto it = entries.begin(); it != entries.end(); ++it)
            settings.setValue(it.key(), it.value());
    }
    // Nothing to write is no file.
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What QSettings reads as texts.
TEntries QtReads(const QByteArray& text)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("q.ini"));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {{QStringLiteral("<not written>"), QString()}};
    file.close();
    QSettings settings(name, QSettings::IniFormat);
    TEntries entries;
    for (const QString& key : settings.allKeys())
        if (const QVariant value = settings.value(key); value.typeId() == QMetaType::QString)
            entries.insert(key, value.toString());
    return entries;
}

QString RandomText(QRandomGenerator& random, const QStringList& alphabet, int least, int most)
{
    QString text;
    for (int n = random.bounded(least, most + 1); n > 0; --n)
        text += alphabet[random.bounded(int(alphabet.size()))];
    return text;
}

} // namespace

TEST(IniText, WritesWhatQSettingsWritesAndReadsItBackWhole)
{
    const QStringList keyChars = {"a", "Z", "0", "_", ".", "-", " ", "%", "\\", "[", "]", "=", ";", "#", "é", "€", "😀"};
    const QStringList textChars = {"a", "b", "F", "7", " ", "\t", "\n", "\r", QString(QChar(0)), "\x01", "\x1f", "\x7f", ",",
                                   ";", "=", "\"", "\\", "@", "#", "[", "%", "é", "€", "😀"};
    std::vector<TEntries> cases = {
        {},
        {{"SOFTWARE/Orvanta/Quandrel/3/AutoUpdateConfigured", "dword:00000001"},
         {"SOFTWARE/Orvanta/Quandrel/3/RecentFiles/File 0", "sz:/home/ann/trees/plan, v2; final.qdn"},
         {"SOFTWARE/Orvanta/Quandrel/3/.", "key"},
         {"SOFTWARE/Orvanta/Quandrel/3/PageMargins", "hex:e8030000e8030000e8030000e8030000"}},
        {{"Top", "@at"}, {"General/x", " both ends "}, {"A!/y", ""}, {"A/x", "\x01" "b\x01" "9F"}, {"B/z", QString("a") + QChar(0) + "b"}},
    };
    QRandomGenerator random(20261207);
    for (int i = 0; i < 120; ++i) {
        TEntries entries;
        for (int n = random.bounded(1, 5); n > 0; --n) {
            QString name = RandomText(random, keyChars, 1, 5);
            if (name.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0)
                continue;
            for (int segments = random.bounded(3); segments > 0; --segments)
                name += QLatin1Char('/') + RandomText(random, keyChars, 1, 4);
            entries.insert(name, RandomText(random, textChars, 0, 8));
        }
        cases.push_back(entries);
    }
    for (const TEntries& entries : cases) {
        SCOPED_TRACE(Shown(entries));
        const QByteArray written = QtWrites(entries);
        ASSERT_EQ(IniText::Render(entries).toStdString(), written.toStdString());
        ASSERT_EQ(Shown(IniText::Parse(written)), Shown(entries));
    }
}

// The first segment of a name cannot stand as a section when it is "General" in any case.
TEST(IniText, ASectionNamedLikeTheGeneralOneReadsBackUnderItsOwnName)
{
    for (const char* section : {"general", "GENERAL", "General"}) {
        const TEntries entries = {{QString::fromLatin1(section) + "/x", "in"}, {"x", "out"}};
        EXPECT_EQ(Shown(IniText::Parse(IniText::Render(entries))), Shown(entries)) << section;
    }
}

// Lines an edit by hand or another program leaves: read as QSettings reads them, left out where
// it reads no text.
TEST(IniText, ReadsAFileEditedByHandAsQSettingsDoes)
{
    const char* const lines[] = {
        "k=  a b  \t",       "k=a  ,  b",       "k=\"a\" b",          "k=a\"b\"c",        "k=a ; comment",
        "k=a # x",           "k=a\\\n b",       "k=a\\\r\n b",       "k=\\q",             "k=\\101",
        "k=\\x4G",           "k=\\x00041",      "k=\\0",              " k = v ",          "; k=comment",
        "# k=comment",       "k",               "=x",                 "k==5",             "k=\"a\" \"b\"",
        "k=a \"b\" c",       "k=\"  a  \"  ",   "k=a\\\\",            "k=\"a\nb\"",       "k=x;y",
        "k=\"x;y\" ; c",     "k=a,",            "k=,",                "k=\"a,b\"",        "k=@@x",
        "k=@x",              "k=\"@@x\"",       "k=@\"@x\"",          "k=@String(x)",     "k=@String(a)b)",
        "k=@String(x",       "k=@string(x)",    "k=@Invalid()",       "k=@Invalid()x",    "k=@ByteArray(x)",
        "k=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)", "k=@Rect(1 2 3 4)", "k=@Size(1 2)", "k=@Point(1 2)",
        "k=@Rect(x",         "k=\\\"",          "k=a\\,b",            "k=\\;",            "k=\\ a",
        "k=a\\x20",          "k=\\t",           "k=\\u00e9",          "k=é€",             "k%20x=1",
        "k%U20AC=1",         "k%zz=1",          "k%4=1",              "a\\b=1",           "a/b=1",
        "k=1\nk=2",          "k=1\nk=a,b",      "k=\"unterminated\nj=1", "k\tx=1",        "k=\\x",
        "[S]\nk=1",          "[ S ]\nk=1",      "[S]junk\nk=1",       "[S\nk=1",          "[a%2Fb]\nk=1",
        "[a\\b]\nk=1",       "[%U20AC]\nk=1",   "[general]\nk=1",     "[General]\nk=1",   "[%General]\nk=1",
        "[S]\n[General]\nk=1", "\xEF\xBB\xBFk=1",    "\xEF\xBB\xBF[S]\nk=1", "k=1\r\nj=2\rl=3\n",
    };
    for (const char* line : lines) {
        const QByteArray text = QByteArray(line) + "\nk0=after\n";
        EXPECT_EQ(Shown(IniText::Parse(text)), Shown(QtReads(text))) << line;
    }
}
