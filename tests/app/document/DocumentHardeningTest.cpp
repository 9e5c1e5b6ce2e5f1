#include "Component/model/Clones.h"
#include "DocumentTestSupport.h"

#include "app/document/DocumentReader.h"
#include "app/document/DocumentWriter.h"
#include "app/document/SavedStyle.h"
#include "shared/core/Exceptions.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleTreeSerializer.h"

#include <QTemporaryDir>
#include <sys/stat.h>

using namespace doctest;

namespace {

std::string Branch(const std::string& id, const std::string& inner = "", const std::string& attributes = "")
{
    return "<Branch id=\"" + id + "\"" + attributes + "><Type>Decision</Type><Probability>100</Probability>" +
           "<Payoff>0</Payoff><ChildrenVisible>1</ChildrenVisible><DecisionFixed>0</DecisionFixed>"
           "<DecisionShowCaption>0</DecisionShowCaption><DecisionShowOwner>0</DecisionShowOwner>"
           "<DecisionShowDueDate>0</DecisionShowDueDate><DecisionMultiShowBudget>0</DecisionMultiShowBudget>"
           "<DecisionMultiShowInvestment>0</DecisionMultiShowInvestment><DecisionShowFixed>0</DecisionShowFixed>"
           "<DecisionMultiBudget>-1</DecisionMultiBudget>" + inner + "</Branch>";
}

std::string Tree(const std::string& root, const std::string& declaration = "encoding=\"UTF-8\"")
{
    return "<?xml version=\"1.0\" " + declaration + "?>\n<Tree><OutlineCodes>0</OutlineCodes><ShowPayoff>1</ShowPayoff>"
           "<CurrencyDecimals>2</CurrencyDecimals><CurrencyPosFormat>0</CurrencyPosFormat>"
           "<CurrencyNegFormat>1</CurrencyNegFormat>\n" + root + "</Tree>\n";
}



} // namespace

TEST(DocumentHardening, PathsThatAreNoFilesAreRefusedAtOnceAndSaySo)
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("pipe.qdn"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const struct { QString path; const char* what; } cases[] = {
        {dir.path(), "is a folder, not a file."},
        {QStringLiteral("/dev/zero"), "is a device, not a file."},
        {pipe, "is a named pipe, not a file."},
    };
    for (const auto& c : cases) {
        TTarget target;
        TLoadResult result = LoadDocument(c.path, target.Doc, target.Styles);
        EXPECT_EQ(result.Status, TLoadStatus::Failed) << c.path.toStdString();
        EXPECT_EQ(result.ErrorText, QStringLiteral("'%1' %2").arg(c.path, QLatin1String(c.what)));
        target.ExpectUntouched();
    }
}

TEST(DocumentHardening, MalformedTextIsRefusedWithWhereItIs)
{
    const std::string caption = "<Caption>caf\xC3\xA9</Caption>";
    const struct { std::string bytes; const char* message; } cases[] = {
        // A latin1 letter in a file that declares UTF-8, and one that declares nothing.
        {Tree(Branch(G(1), "<Caption>caf\xE9</Caption>")),
         "The file is not valid UTF-8 text: the bytes at line 3, column 525 (byte offset 744) are not a UTF-8 "
         "character."},
        {Tree(Branch(G(1), "<Caption>\xED\xA0\x80</Caption>"), "standalone=\"yes\""),
         "The file is not valid UTF-8 text: the bytes at line 3, column 522 (byte offset 741) are not a UTF-8 "
         "character."},
        {Tree(Branch(G(1), caption)).substr(0, 600),
         "XML parse error at line 3, column 380: the file ends before the document is complete"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.qdn"));
    for (const auto& c : cases) {
        TTarget target;
        TLoadResult result = target.Load(c.bytes);
        // Read from a file, the text goes through the reader's pieces and must fail the same way.
        ASSERT_TRUE(WriteFile(path, QByteArray::fromStdString(c.bytes)));
        EXPECT_EQ(LoadDocument(path, target.Doc, target.Styles).ErrorText.toStdString(), result.ErrorText.toStdString());
        EXPECT_EQ(result.Status, TLoadStatus::Failed);
        if (c.message) {
            EXPECT_TRUE(result.ErrorText.startsWith(QLatin1String(c.message))) << result.ErrorText.toStdString();
        }
        target.ExpectUntouched();
    }
    std::string withNul = Tree(Branch(G(1), "<Caption>xq</Caption>"));
    withNul[withNul.find("xq") + 1] = '\0';
    TTarget target;
    TLoadResult result = target.Load(withNul);
    EXPECT_EQ(result.ErrorText.toStdString(),
              "XML parse error at line 3, column 523: the file holds a NUL character, which XML text cannot hold");
    // A file that names latin1 is converted, not refused; UTF-8 loads as it stands.
    for (const auto& [declaration, text] : {std::pair<std::string, std::string>{"encoding=\"ISO-8859-1\"", "caf\xE9"},
                                            {"encoding=\"UTF-8\"", "caf\xC3\xA9"}}) {
        TTarget ok;
        TLoadResult loaded = ok.Load(Tree(Branch(G(1), "<Caption>" + text + "</Caption>"), declaration));
        ASSERT_TRUE(loaded.Loaded()) << loaded.ErrorText.toStdString();
        EXPECT_EQ(ok.Doc.Root()->Caption, QStringLiteral("caf\u00E9"));
    }
}

TEST(DocumentHardening, CommentLineBreaksConvertBothWays)
{
    TTarget target;
    target.Root->Comment = QStringLiteral("a\r\nb\r\r\n\r\nc\n\r");
    const std::string written = WriteDocumentToString(target.Doc, target.Styles);
    EXPECT_NE(written.find("<Comment>a\nb\r\n\nc\n\r</Comment>"), std::string::npos);
    TTarget back;
    ASSERT_TRUE(back.Load(written).Loaded());
    // The XML layer reads the lone CR as a line break of its own.
    EXPECT_EQ(back.Doc.Root()->Comment.toStdString(), "a\r\nb\r\n\r\nc\r\n\r\n");
}

TEST(DocumentHardening, ADocumentWhoseClonesMultiplyPastTheLimitIsNotOpened)
{
    // Level k holds two clones of level k - 1: 30 levels would be two thousand million nodes.
    std::string levels = Branch(G(1), "<Branches>" + Branch(G(1000)) + Branch(G(1001)) + "</Branches>");
    for (int k = 2; k <= 30; ++k)
        levels += Branch(G(k), "<Branches>" + Branch(G(2000 + 2 * k), "", " ref=\"" + G(k - 1) + "\"") +
                                   Branch(G(2001 + 2 * k), "", " ref=\"" + G(k - 1) + "\"") + "</Branches>");
    TTarget target;
    TLoadResult result = target.Load(Tree(Branch(G(0), "<Branches>" + levels + "</Branches>")));
    EXPECT_EQ(result.Status, TLoadStatus::Failed);
    EXPECT_EQ(result.ErrorText, CloneTexts::DocumentTooLarge);
    target.ExpectUntouched();
}

namespace {

// depth elements, one inside the other: root and its descendants.
std::string Nested(const std::string& root, int depth)
{
    std::string open = "<" + root + " Name=\"n\">", close = "</" + root + ">";
    for (int i = 1; i < depth; ++i)
        open += "<a>", close = "</a>" + close;
    return open + close;
}

} // namespace

TEST(DocumentHardening, StyleFilesThatAreNoFilesNotUtf8OrNestedDeeperThanAnyStyleFileAreRefused)
{
    QTemporaryDir dir;
    const QString nested = QStringLiteral("the styles are nested deeper than %1 levels, which no style file needs").arg(MaxStyleXmlDepth);
    // A document's own branches nest as deep as its tree; only its styles are held to the bound.
    const struct { QString Path; std::string Bytes; QString Reason; } cases[] = {
        {QStringLiteral("/dev/zero"), {}, QStringLiteral("'/dev/zero' is a device, not a file.")},
        {dir.filePath("latin.qdns"), "<StyleStates Name=\"caf\xE9\"/>",
         QStringLiteral("The file is not valid UTF-8 text: the bytes at line 1, column 23 (byte offset 22) are not a UTF-8 character.")},
        {dir.filePath("deepest.qdns"), Nested("StyleStates", MaxStyleXmlDepth), QString()},
        {dir.filePath("deeper.qdns"), Nested("StyleStates", MaxStyleXmlDepth + 1), nested},
        {dir.filePath("deeper.qdn"), "<Tree>" + Nested("StyleStates", MaxStyleXmlDepth + 1) + "</Tree>", nested},
        {dir.filePath("tree.qdn"), "<Tree><StyleStates/>" + Nested("Branch", 2 * MaxStyleXmlDepth) + "</Tree>", QString()},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.Bytes.empty() || WriteFile(c.Path, QByteArray::fromStdString(c.Bytes)));
        QString message;
        try {
            LoadStyleDocument(c.Path);
        } catch (const IOException& e) {
            message = e.Message();
        }
        EXPECT_EQ(message, c.Reason.isEmpty() ? QString() : QStringLiteral("Error loading Style file: %1 (%2)").arg(c.Path, c.Reason));
    }
    // Two blanks a level as deep as a style file goes; deeper, no indentation at all.
    for (const int depth : {MaxStyleXmlDepth, MaxStyleXmlDepth + 1}) {
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(Nested("StyleStates", depth).c_str()));
        const std::string text = StyleDocumentText(document);
        EXPECT_EQ(text.find("\n  <a>\n    <a>") != std::string::npos, depth <= MaxStyleXmlDepth) << depth;
        EXPECT_EQ(text.find('\n', text.find("<StyleStates")) == std::string::npos, depth > MaxStyleXmlDepth) << depth;
    }
}
