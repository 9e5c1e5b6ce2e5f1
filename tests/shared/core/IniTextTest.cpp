// The settings file's text against QSettings itself, which wrote the files of earlier versions
// and reads the ones this version writes.
#include "shared/core/IniText.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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

// What QSettings reads as texts, under the names that reach them: it also lists names with empty
// segments ("a//b", "/a"), which no question reaches since every name asked for loses those.
TEntries QtReads(const QByteArray& text)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("q.ini"));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {{QStringLiteral("<not written>"), QString()}};
    file.close();
    // QSettings warns of each typed value it cannot decode, which random files are full of.
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QSettings settings(name, QSettings::IniFormat);
    TEntries entries;
    for (const QString& key : settings.allKeys()) {
        if (key.isEmpty() || key.split(QLatin1Char('/')).contains(QString()))
            continue;
        if (const QVariant value = settings.value(key); value.typeId() == QMetaType::QString)
            entries.insert(key, value.toString());
    }
    qInstallMessageHandler(previous);
    return entries;
}

QString RandomText(QRandomGenerator& random, const QStringList& alphabet, int least, int most)
{
    QString text;
    for (int n = random.bounded(least, most + 1); n > 0; --n)
        text += alphabet[random.bounded(int(alphabet.size()))];
    return text;
}

QByteArray RandomBytes(QRandomGenerator& random, const std::vector<QByteArray>& pieces, int least, int most)
{
    QByteArray bytes;
    for (int n = random.bounded(least, most + 1); n > 0; --n)
        bytes += pieces[random.bounded(int(pieces.size()))];
    return bytes;
}

// How many random cases to try, and from which seed: QD_INI_CASES and QD_INI_SEED run more, or
// others, than the suite's own.
int CaseCount(int fallback)
{
    const QByteArray text = qgetenv("QD_INI_CASES");
    return text.isEmpty() ? fallback : text.toInt();
}

quint32 Seed(quint32 fallback)
{
    const QByteArray text = qgetenv("QD_INI_SEED");
    return text.isEmpty() ? fallback : text.toUInt();
}

} // namespace

// Entry sets of every character QSettings treats in a way of its own: escapes, quotes, commas,
// '@' forms, byte-order marks after escapes, surrogates, numeric escapes followed by digits.
// Render writes what QSettings writes for them, and Parse reads that as QSettings reads it.
// Texts the store writes read back whole.
TEST(IniText, WritesWhatQSettingsWritesAndReadsWhatItReads)
{
    const QString bom(QChar(0xFEFF));
    const QStringList keyChars = {"a", "Z", "0", "_", ".", "-", " ", "\t", "%", "U", "\\", "[", "]", "=", ";", "#", "\"", ",",
                                  "@", "\x01", "\x7f", "é", "€", "😀", bom, QString(QChar(0xA0))};
    const QStringList textChars = {"a", "b", "F", "7", "0", "x", " ", "\t", "\n", "\r", QString(QChar(0)), "\x01", "\x1f",
                                   "\x7f", "\a", "\v", ",", ";", "=", "\"", "\\", "'", "?", "@", "#", "[", "%", ")",
                                   "(", "é", "€", "😀", bom, bom, bom, QString(QChar(0xFFFE)), QString(QChar(0x80)),
                                   QString(QChar(0xA0)), QString(QChar(0x2028)), QString(QChar(0xD800)),
                                   QString(QChar(0xDC00)), "@String(", "@Variant(", "@ByteArray(", "@Rect(", "@@",
                                   "@Invalid()", "sz:", "dword:", "hex:"};
    std::vector<TEntries> cases = {
        {},
        {{"SOFTWARE/Orvanta/Quandrel/3/AutoUpdateConfigured", "dword:00000001"},
         {"SOFTWARE/Orvanta/Quandrel/3/RecentFiles/File 0", "sz:/home/ann/trees/plan, v2; final.qdn"},
         {"SOFTWARE/Orvanta/Quandrel/3/.", "key"},
         {"SOFTWARE/Orvanta/Quandrel/3/PageMargins", "hex:e8030000e8030000e8030000e8030000"}},
        {{"Top", "@at"}, {"General/x", " both ends "}, {"A!/y", ""}, {"A/x", "\x01" "b\x01" "9F"}, {"B/z", QString("a") + QChar(0) + "b"}},
        {{"A/q", "sz:a\"" + bom + "b"}, {"A/e", "sz:\n" + bom + "b"}, {"A/c", "sz:a," + bom + "b"}, {"A/b", "sz:" + bom}},
    };
    QRandomGenerator random(Seed(20261207));
    for (int i = CaseCount(300); i > 0; --i) {
        TEntries entries;
        for (int n = random.bounded(1, 5); n > 0; --n) {
            QString name = RandomText(random, keyChars, 1, 5);
            // QSettings writes such a section as "[%General]" in any case; see below.
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
        const TEntries read = IniText::Parse(written);
        ASSERT_EQ(Shown(read), Shown(QtReads(written)));
        // What the store writes starts with its tag; a text of whole characters reads back as it was.
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            const QString& text = it.value();
            const bool whole = std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate(); });
            if (whole && (text.startsWith(QLatin1String("sz:")) || text.startsWith(QLatin1String("hex:")))) {
                ASSERT_EQ(read.value(it.key()).toUtf8().toPercentEncoding().toStdString(),
                          text.toUtf8().toPercentEncoding().toStdString())
                    << it.key().toStdString();
            }
        }
    }
}

// Files of every shape a hand, another program or a cut-off write leaves: pieces of lines that
// QSettings reads in a way of its own, put together at random, read as QSettings reads them.
TEST(IniText, ReadsAnyFileAsQSettingsDoes)
{
    const std::vector<QByteArray> nameBytes = {"k", "K", "a", "0", "F", "U", "x", " ", "\t", "\\", "/", "%", "%U", "%2",
                                               "%+", "% ", "%-", "%0x", "\"", ";", "#", "@", "\xC3", "\xA9", "é", "€",
                                               "\xEF\xBB\xBF", "\v", "\f", QByteArray(1, '\0'), "General", "general",
                                               "%General", "[", "]"};
    const std::vector<QByteArray> valueBytes = {
        "a", "b", "F", "7", "0", "x", " ", "  ", "\t", "\v", ",", ";", "=", "\"", "\\", "\\\"", "\\x", "\\x4", "\\0", "\\7",
        "\\n", "\\t", "\\q", "\\u", "\\ ", "\\\n", "\\\r\n", "\\\n\r", "\n", "\r", "@", "@@", "@String(", "@Variant(",
        "@DateTime(", "@ByteArray(", "@Rect(", "@Size(", "@Point(", "@Invalid()", "(", ")", "1 2", " 3 4)",
        "\\0\\0\\0\\x0a\\0\\0\\0\\x2\\0a", "\\0\\0\\0\\x7f\\0\\0\\0\\x8QString", "\xEF\xBB\xBF", "\xEF\xBB",
        "\xBF", "\xC3", "\xA9", "é", "€", "😀", "\xF0\x9F", QByteArray(1, '\0'), "%", "#", "[", "]"};
    const std::vector<QByteArray> breaks = {"\n", "\n", "\n", "\r\n", "\r", "\n\r", "\n\n", " \n"};
    std::vector<QByteArray> cases = {
        "k=a\\\"\xEF\xBB\xBF" "b", "k=\"\xEF\xBB\xBF" "b\"", "k=\\n\xEF\xBB\xBF" "b", "k=\"a,\xEF\xBB\xBF" "b\"",
        "k=\xEF\xBB\xBF" "b", "k=a\xC3\\t\xA9  ", "k=a  \\", "k=a  \\x", "[b]\nk=1\n[a]\nb\\k=2\n[a\\b]\nk=3\n",
        "a\\k=1\n[a]\nk=2\n[General]\na\\k=3\n", "[]\nk=1", "[ ]\nk=1", "[\"]\nk=1\n\"]\nj=2", "[S]\nk=\"open\n[S]\nj=2\"\n",
        "k=@Rect(1 2 3)", "k=@Rect(1 2 3 4)", "k=@Size(1)2)", "k=@Point(1)", "k=@Variant(\\0\\0\\0\\n\\0\\0\\0\\x4\\0h\\0i)",
        "k=@DateTime(\\0\\0\\0\\n\\0\\0\\0\\0\\x4\\0h\\0i)", "k=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\bQString\\0\\0\\0\\x2\\0h)",
        "%U+0FF=1", "%U 0FF=1", "%U0x1F=1", "% F=1", "%F =1", "\xEF\xBB\xBF k=1", "\xEF\xBB\xBF\xEF\xBB\xBF=1", "\xEF\xBB\xBF[S]\nk=1",
    };
    QRandomGenerator random(Seed(20261208));
    for (int i = CaseCount(1500); i > 0; --i) {
        QByteArray text = random.bounded(8) == 0 ? "\xEF\xBB\xBF" : "";
        for (int lines = random.bounded(1, 7); lines > 0; --lines) {
            const int kind = random.bounded(10);
            if (kind < 2)
                text += RandomBytes(random, {" ", "", "", ""}, 1, 1) + "[" + RandomBytes(random, nameBytes, 0, 3) + "]" +
                        RandomBytes(random, valueBytes, 0, 1);
            else if (kind < 9)
                text += RandomBytes(random, nameBytes, 1, 3) + "=" + RandomBytes(random, valueBytes, 0, 6);
            else
                text += RandomBytes(random, valueBytes, 1, 4);
            if (lines > 1 || random.bounded(2) == 0)
                text += breaks[random.bounded(int(breaks.size()))];
        }
        cases.push_back(text);
    }
    for (const QByteArray& text : cases)
        ASSERT_EQ(Shown(IniText::Parse(text)), Shown(QtReads(text))) << text.toPercentEncoding(" =[]").toStdString();
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
