#include "DocumentTestSupport.h"

#include "app/document/DocumentReader.h"
#include "app/document/DocumentWriter.h"
#include "Component/styles/DefaultStyles.h"
#include "shared/core/StringHelpers.h"

#include <QTemporaryDir>

#include <random>

using namespace doctest;

namespace {

// A Branch element with every required child; extra is put inside it, after the fields.
std::string Branch(const std::string& id, const std::string& fields = "", const std::string& extra = "",
                   const std::string& type = "Decision", const std::string& attributes = "")
{
    std::string s = "<Branch id=\"" + id + "\"" + attributes + ">";
    s += "<Type>" + type + "</Type>";
    auto put = [&](const char* name, const char* value) {
        if (fields.find(std::string("<") + name + ">") == std::string::npos &&
            fields.find(std::string("<") + name + " />") == std::string::npos)
            s += std::string("<") + name + ">" + value + "</" + name + ">";
    };
    s += fields;
    put("Probability", "100");
    put("Payoff", "0");
    for (const char* flag : {"ChildrenVisible", "DecisionFixed", "DecisionShowCaption", "DecisionShowOwner",
                             "DecisionShowDueDate", "DecisionMultiShowBudget", "DecisionMultiShowInvestment",
                             "DecisionShowFixed"})
        put(flag, "0");
    put("DecisionMultiBudget", "-1");
    return s + extra + "</Branch>";
}

std::string Tree(const std::string& root, const std::string& settings = "", const std::string& styles = "")
{
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tree>";
    auto put = [&](const char* name, const char* value) {
        if (settings.find(std::string("<") + name) == std::string::npos)
            s += std::string("<") + name + ">" + value + "</" + name + ">";
    };
    s += settings;
    put("OutlineCodes", "1");
    put("ShowPayoff", "1");
    put("CurrencyDecimals", "2");
    put("CurrencyPosFormat", "0");
    put("CurrencyNegFormat", "1");
    return s + styles + root + "</Tree>\n";
}


struct TRoundTrip {
    TDecTreeDocument Doc;
    TStyleStates Styles;
};

} // namespace

TEST(DocumentReader, RoundTripKeepsEveryField)
{
    TDecTreeDocument doc;
    TStyleStates styles;
    ResetDefaultStyles(styles);
    styles.CloneInTakenPath()->RootStyle()->FindStyle(QStringLiteral("Symbols"));
    doc.Options.SetOutlineCodes(true);
    doc.Options.SetStatusDate(YMDStringToDate(QStringLiteral("2025 1 9")));
    doc.Options.SetShowPayoff(false);
    doc.Options.SetCurrencySymbol(QString::fromUtf8("Kč"));
    doc.Options.SetCurrencyDecimals(4);
    doc.Options.SetCurrencyPosFormat(2);
    doc.Options.SetCurrencyNegFormat(15);

    TDecTreeNode* root = NewRoot(doc, QString::fromUtf8("Entscheidung ÄÖÜ – 決定 🎲"));
    root->Comment = QString::fromUtf8("first line\r\nzweite Zeile – ü\r\n\r\nlast <&>");
    root->DecisionShowCaption = root->DecisionShowOwner = root->DecisionShowDueDate = root->DecisionShowFixed = true;
    root->DecisionCaption = QString::fromUtf8("Which way? «»");
    root->DecisionOwner = QString::fromUtf8("José");
    root->DecisionDueDate = YMDStringToDate(QStringLiteral("2024 3 5"));
    root->DecisionFixed = true;
    TDecTreeNode* multi = Add(root, QStringLiteral("multi"), ntMultiDecision, 100, -123456789);
    multi->DecisionMultiBudget = 2147483647;
    multi->DecisionMultiShowBudget = multi->DecisionMultiShowInvestment = true;
    multi->ChildrenVisible = false;
    TDecTreeNode* chance = Add(multi, QStringLiteral("chance"), ntChance, 1e-7, 1);
    chance->ChanceType = ctAnySum;
    Add(chance, QStringLiteral("third"), ntChance, 1.0 / 3, 3333);
    Add(chance, QStringLiteral("huge"), ntChance, 1.7976931348623157e308, INT64_MAX);
    Add(chance, QStringLiteral("tiny"), ntChance, 4.9406564584124654e-324, INT64_MIN);
    TDecTreeNode* imported = Add(multi, QStringLiteral("imported"), ntDecision, 0, 0);
    imported->PayoffSource = QStringLiteral("Import: [C:\\Data\\Book.xlsx]Sheet1!B2");
    TDecTreeNode* clone = Add(root, QStringLiteral("clone"), ntChance, 0, 0);
    clone->CloneMasterId = multi->Id;
    // Texts made only of blanks, and blanks around a text, are values too.
    TDecTreeNode* blank = Add(root, QStringLiteral("   "), ntDecision, 0, 0);
    blank->DecisionOwner = QStringLiteral(" \t ");
    blank->Comment = QStringLiteral("\r\n");
    blank->PayoffSource = QStringLiteral("  padded  ");
    // A decision showing its caption but not its owner, and one the other way round.
    for (bool caption : {true, false}) {
        TDecTreeNode* d = Add(root, QStringLiteral("shows"), ntDecision, 0, 0);
        Add(d, QStringLiteral("option"), ntChance, 0, 0);
        d->DecisionShowCaption = caption;
        d->DecisionShowOwner = !caption;
        d->DecisionCaption = QStringLiteral("c");
        d->DecisionOwner = QStringLiteral("o");
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QString::fromUtf8("Bäume.qdn"));
    QString error;
    ASSERT_TRUE(SaveDocument(doc, styles, path, &error)) << error.toStdString();

    TRoundTrip back;
    TLoadResult result = LoadDocument(path, back.Doc, back.Styles);
    ASSERT_TRUE(result.Loaded()) << result.ErrorText.toStdString();
    EXPECT_TRUE(result.HasExternalData);
    EXPECT_EQ(result.RemovedCloneReferences, 0);
    EXPECT_TRUE(SameText(DescribeTree(back.Doc.Root()), DescribeTree(root)));
    EXPECT_TRUE(back.Doc.Options == doc.Options);
    EXPECT_EQ(StylesXml(back.Styles), StylesXml(styles));
    EXPECT_EQ(back.Doc.Root()->Tree, &back.Doc);
    EXPECT_EQ(back.Doc.Root()->Children[0]->Children[0]->Tree, &back.Doc);
    EXPECT_EQ(back.Doc.Root()->Children[0]->Children[0]->Parent(), back.Doc.Root()->Children[0]);
    EXPECT_EQ(back.Doc.Selection.Count(), 1);
    EXPECT_TRUE(back.Doc.Selection.Contains(back.Doc.Root()->Id));
}

TEST(DocumentReader, GoldenFileReadsAndWritesBackIdentically)
{
    QString path = TestDataPath(QStringLiteral("golden.qdn"));
    TRoundTrip doc;
    TLoadResult result = LoadDocument(path, doc.Doc, doc.Styles);
    ASSERT_TRUE(result.Loaded()) << result.ErrorText.toStdString();
    EXPECT_EQ(WriteDocumentToString(doc.Doc, doc.Styles), ReadFile(path).toStdString());
}

TEST(DocumentReader, OlderValueFormsReadAsBefore)
{
    TRoundTrip doc;
    std::string root = Branch("x1",
                              "<Probability> 33.3333333333333 </Probability>"
                              "<Payoff>1234.56789012345</Payoff>",
                              "<Branches>" +
                                  Branch("x2", "<Probability>1E-5</Probability><Payoff>-2.5E3</Payoff>") +
                                  Branch("x3", "<Probability>+12.5</Probability><Payoff>0.00005</Payoff>") +
                                  "</Branches>");
    TLoadResult result = LoadDocumentFromBytes(Tree(root), doc.Doc, doc.Styles);
    ASSERT_TRUE(result.Loaded()) << result.ErrorText.toStdString();
    TDecTreeNode* r = doc.Doc.Root();
    EXPECT_EQ(r->Probability, 33.3333333333333);
    EXPECT_EQ(r->Payoff, 12345679);
    EXPECT_EQ(r->Children[0]->Probability, 1e-5);
    EXPECT_EQ(r->Children[0]->Payoff, -25000000);
    EXPECT_EQ(r->Children[1]->Probability, 12.5);
    EXPECT_EQ(r->Children[1]->Payoff, 0); // 0.5 units of 1/10000, halves to even
}

// A file may list branches under a clone, here the master's own, ids and all, ahead of the master.
// Its first recalculation makes them again: every id stays with one node, and the master's children
// are what a search finds and what the copies number on from.
TEST(DocumentReader, CopiesListedUnderACloneAreMadeAgain)
{
    const std::string children = Branch(G(11), "<Caption>a</Caption>", "", "Chance") +
                                 Branch(G(12), "<Caption>b</Caption>", "", "Chance");
    const std::string clone =
        Branch(G(20), "<Caption>c</Caption>", "<Branches>" + children + "</Branches>", "Chance",
               " ref=\"" + G(10) + "\"");
    const std::string master = Branch(G(10), "<Caption>m</Caption>", "<Branches>" + children + "</Branches>", "Chance");
    TRoundTrip doc;
    ASSERT_TRUE(LoadDocumentFromBytes(Tree(Branch(G(1), "", "<Branches>" + clone + master + "</Branches>")), doc.Doc,
                                      doc.Styles)
                    .Loaded());
    TDecTreeNode* root = doc.Doc.Root();
    for (int round = 0; round < 2; ++round) {
        root->RefreshClones();
        doc.Doc.CalculateValues();
        const TDecTreeNode* m = root->Children[1];
        for (int i = 0; i < 2; ++i) {
            const TDecTreeNode* copy = root->Children[0]->Children[i];
            EXPECT_EQ(root->FindNodeById(m->Children[i]->Id), m->Children[i]);
            EXPECT_NE(copy->Id, m->Children[i]->Id);
            EXPECT_EQ(copy->Caption, m->Children[i]->Caption);
            EXPECT_EQ(copy->GetOutlineCode(), QStringLiteral("2.%1  ").arg(i + 1));
        }
    }
}

TEST(DocumentReader, DepthLimit)
{
    auto nested = [](int levels) {
        std::string open, close;
        for (int i = 1; i < levels; ++i) {
            open += "<Branch id=\"n" + std::to_string(i) +
                    "\"><Type>Chance</Type><Probability>1</Probability><Payoff>0</Payoff><ChildrenVisible>1"
                    "</ChildrenVisible><DecisionFixed>0</DecisionFixed><DecisionShowCaption>0</DecisionShowCaption>"
                    "<DecisionShowOwner>0</DecisionShowOwner><DecisionShowDueDate>0</DecisionShowDueDate>"
                    "<DecisionMultiShowBudget>0</DecisionMultiShowBudget><DecisionMultiShowInvestment>0"
                    "</DecisionMultiShowInvestment><DecisionShowFixed>0</DecisionShowFixed><DecisionMultiBudget>-1"
                    "</DecisionMultiBudget><Branches>";
            close += "</Branches></Branch>";
        }
        return Tree(open + Branch("n0") + close);
    };
    TRoundTrip doc;
    TLoadResult result = LoadDocumentFromBytes(nested(MaxDocumentDepth), doc.Doc, doc.Styles);
    ASSERT_TRUE(result.Loaded()) << result.ErrorText.toStdString();
    EXPECT_EQ(doc.Doc.PreOrder().size(), size_t(MaxDocumentDepth));

    TTarget target;
    result = target.Load(nested(MaxDocumentDepth + 1));
    EXPECT_EQ(result.Status, TLoadStatus::Failed);
    EXPECT_EQ(result.ErrorText, QStringLiteral("The tree is nested deeper than 10000 levels."));
    target.ExpectUntouched();
}

TEST(DocumentReader, EveryErrorLeavesTheTargetUntouched)
{
    struct TCase {
        std::string Bytes;
        QString Message; // the whole message, or a part of it when Partial
        bool Partial;
    };
    const std::string ok = Branch(G(1));
    const std::vector<TCase> cases = {
        {Tree(Branch(G(1), "", "", "decision")), "Type must be 'Decision', 'MultiDecision' or 'Chance'.", false},
        {Tree(""), "Type must be 'Decision', 'MultiDecision' or 'Chance'.", false}, // no root Branch
        {Tree(Branch(G(1), "<ChanceType>percent</ChanceType>")), "ChanceType must be 'Percent', or 'AnySum'.", false},
        {Tree(Branch("n100001")), "IntId greater than 100000 not supported", false},
        {Tree(Branch("nabc")), "'abc' is not a valid integer value", false},
        {Tree(Branch("0000-zz")), "", true},
        {Tree(Branch(G(1), "<Probability>abc</Probability>")), "'abc' is not a valid number in element 'Probability'.", false},
        {Tree(Branch(G(1), "<Probability>inf</Probability>")), "Probability", true},
        {Tree(Branch(G(1), "<Probability>1e999</Probability>")), "'1e999' in element 'Probability' is out of range.", false},
        {Tree(Branch(G(1), "<Payoff>1e300</Payoff>")), "'1e300' in element 'Payoff' is out of range.", false},
        {Tree(Branch(G(1), "<Payoff>922337203685477.5808</Payoff>")), "out of range", true},
        {Tree(Branch(G(1), "<Payoff>12,5</Payoff>")), "'12,5' is not a valid number in element 'Payoff'.", false},
        {Tree(Branch(G(1), "<ChildrenVisible>yes</ChildrenVisible>")), "'yes' is not a valid integer value in element 'ChildrenVisible'.", false},
        {Tree(Branch(G(1), "<DecisionMultiBudget>99999999999</DecisionMultiBudget>")), "DecisionMultiBudget", true},
        {Tree(Branch(G(1), "<DecisionFixed></DecisionFixed>")), "Element 'DecisionFixed' is missing or empty.", false},
        {Tree(ok, "<CurrencyPosFormat>4</CurrencyPosFormat>"), "CurrencyPosFormat must lie between 0 and 3, not 4.", false},
        {Tree(ok, "<CurrencyNegFormat>16</CurrencyNegFormat>"), "CurrencyNegFormat must lie between 0 and 15, not 16.", false},
        {Tree(ok, "<CurrencyDecimals>256</CurrencyDecimals>"), "CurrencyDecimals must lie between 0 and 255, not 256.", false},
        {"<?xml version=\"1.0\"?>\n<Baum>" + ok + "</Baum>", "The document element must be 'Tree', not 'Baum'.", false},
        {"<?xml version=\"1.0\"?>\n<Tree>\n  <Branch>\n</Tree>", "XML parse error at line 4, column", true},
        {"", "XML parse error", true},
        {Tree(Branch(G(1), "", "<Branches>" + Branch(G(2), "<Payoff>x</Payoff>") + "</Branches>")), "'x' is not a valid number in element 'Payoff'.", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Bytes);
        TTarget target;
        TLoadResult result = target.Load(c.Bytes);
        EXPECT_EQ(result.Status, TLoadStatus::Failed);
        if (c.Partial)
            EXPECT_TRUE(result.ErrorText.contains(c.Message)) << result.ErrorText.toStdString();
        else
            EXPECT_EQ(result.ErrorText, c.Message);
        EXPECT_FALSE(result.ErrorText.isEmpty());
        target.ExpectUntouched();
    }
}

namespace {

// A random branch as a hand-edited file may hold it: its branches before or after its fields,
// comments and processing instructions among them, and elements the reader does not take (a
// Branch inside an unknown element, a second Branches element).
std::string RandomBranch(std::mt19937& random, int& next, int depth)
{
    std::string children;
    const int count = depth < 7 ? int(random() % 4) : 0;
    for (int i = 0; i < count; ++i) {
        children += random() % 5 == 0 ? "<!-- between -->" : random() % 7 == 0 ? "<?pi x?>" : "";
        children += RandomBranch(random, next, depth + 1);
    }
    const int form = int(random() % 5);
    std::string branches = count > 0 ? "<Branches>" + children + "</Branches>" : form == 0 ? "<Branches />" : "";
    if (form == 1)
        branches += "<Branches>" + Branch(G(900000 + next++)) + "</Branches>";
    if (form == 2)
        branches += "<Extra>" + Branch(G(800000 + next++)) + "</Extra>";
    if (form == 3)
        branches += Branch(G(600000 + next++));
    const int id = ++next;
    const std::string caption = "<Caption>" + std::string(random() % 3 ? "c" : "<![CDATA[a<b>]]>") +
                                std::to_string(id) + "</Caption>";
    if (random() % 3 != 0)
        return Branch(G(id), caption, branches, random() % 2 ? "Decision" : "Chance");
    std::string first = Branch(G(id), caption, "", random() % 2 ? "Decision" : "Chance");
    return first.insert(first.find('>') + 1, branches);
}

} // namespace

// A document read a piece at a time is the document read whole, wherever the pieces fall, and a
// broken one fails with the whole parse's message.
TEST(DocumentReader, PiecesReadAsTheWholeDocument)
{
    std::mt19937 random(41);
    for (int round = 0; round < 100; ++round) {
        int next = 0;
        std::string bytes = Tree(RandomBranch(random, next, 0) + (round % 4 == 0 ? Branch(G(700000)) : ""));
        const bool broken = round % 5 == 4;
        if (broken)
            bytes.replace(bytes.rfind("</Caption>"), 10, "</Captio>");
        else
            ASSERT_FALSE(TTreeFileBytes::FromBytes(bytes)->Branches().empty()) << bytes;
        TRoundTrip whole;
        const TLoadResult expected = LoadDocumentFromBytes(bytes, whole.Doc, whole.Styles, 0);
        ASSERT_EQ(expected.Loaded(), !broken) << expected.ErrorText.toStdString();
        for (uint64_t pieceBytes : {uint64_t(1), uint64_t(700), DocumentPieceBytes}) {
            // A broken document falls back to the whole parse; a sound one needs no fallback.
            TRoundTrip pieces;
            const TLoadResult result = LoadDocumentFromBytes(bytes, pieces.Doc, pieces.Styles, pieceBytes, broken);
            ASSERT_EQ(result.ErrorText, expected.ErrorText) << bytes;
            if (broken)
                continue;
            ASSERT_TRUE(SameText(DescribeTree(pieces.Doc.Root()), DescribeTree(whole.Doc.Root()))) << bytes;
            ASSERT_EQ(StylesXml(pieces.Styles), StylesXml(whole.Styles));
        }
    }
}
