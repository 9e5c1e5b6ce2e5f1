#include "DocumentTestSupport.h"

#include "app/document/DocumentWriter.h"
#include "Component/styles/DefaultStyles.h"
#include "shared/core/StringHelpers.h"

#include <QTemporaryDir>
#include <clocale>
#include <cmath>

using namespace doctest;

namespace {

// The document behind tests/data/golden.qdn: every field with a value that is not its default
// somewhere, texts that need escaping or are not ASCII, a clone and the flag rules.
struct TGoldenDocument {
    TDecTreeDocument Doc;
    TStyleStates Styles; // freshly made: every value zero, only the root of InTakenPath own

    TGoldenDocument()
    {
        Doc.Options.SetOutlineCodes(true);
        Doc.Options.SetStatusDate(YMDStringToDate(QStringLiteral("20241231")));
        Doc.Options.SetShowPayoff(true);
        Doc.Options.SetCurrencySymbol(QString::fromUtf8("€"));
        Doc.Options.SetCurrencyDecimals(2);
        Doc.Options.SetCurrencyPosFormat(3);
        Doc.Options.SetCurrencyNegFormat(8);

        TDecTreeNode* root = NewRoot(Doc);
        root->Id = FixedGuid(1);
        root->Comment = QStringLiteral("Right click for options");
        root->DecisionShowCaption = true;
        root->DecisionShowOwner = true;
        root->DecisionShowDueDate = true;
        root->DecisionShowFixed = true;
        root->DecisionMultiShowBudget = true; // no effect on a decision: written 0
        root->DecisionCaption = QStringLiteral("Launch?\uFFFE"); // written without what XML cannot carry
        root->DecisionOwner = QString::fromUtf8("Zoë Ångström");
        root->DecisionDueDate = YMDStringToDate(QStringLiteral("2024 3 5"));

        TDecTreeNode* go = Add(root, QString::fromUtf8("Go — 進む"), ntChance, 100, -2500);
        go->Id = FixedGuid(2);
        go->Comment = QStringLiteral("Line one\r\nLine two");
        TDecTreeNode* success = Add(go, QStringLiteral("Suc\u0001cess\uFFFE\uFFFF") + QChar(0xD800), ntChance, 12.5, 12345000);
        success->Id = FixedGuid(3);
        TDecTreeNode* failure = Add(go, QStringLiteral("Failure <&> \"quoted\""), ntChance, 87.5, -5000000);
        failure->Id = FixedGuid(4);
        failure->ChanceType = ctAnySum;

        TDecTreeNode* portfolio = Add(root, QStringLiteral("Portfolio"), ntMultiDecision, 0, 0);
        portfolio->Id = FixedGuid(5);
        portfolio->DecisionFixed = true;
        portfolio->DecisionMultiBudget = 250;
        portfolio->DecisionMultiShowBudget = true;
        portfolio->DecisionMultiShowInvestment = true;
        portfolio->ChildrenVisible = false;
        TDecTreeNode* a = Add(portfolio, QStringLiteral("A"), ntDecision, 100, 1);
        a->Id = FixedGuid(6);
        TDecTreeNode* b = Add(portfolio, QStringLiteral("B"), ntDecision, 100.0 / 3, INT64_MIN);
        b->Id = FixedGuid(7);

        TDecTreeNode* again = Add(root, QStringLiteral("Go again"), ntChance, 0, 0);
        again->Id = FixedGuid(8);
        again->CloneMasterId = go->Id;
        for (TDecTreeNode* child : go->Children) // as a recalculation leaves a clone
            again->Children.Add(child->Copy(again, true, true, nullptr));

        TDecTreeNode* leaf = Add(root, QString(), ntDecision, 0, INT64_MAX);
        leaf->Id = FixedGuid(9);
        leaf->DecisionShowCaption = true; // no children: written 0
        leaf->PayoffSource = QStringLiteral("Import: [Book.xlsx]Sheet1!A1");
    }
};

} // namespace

TEST(DocumentWriter, GoldenDocumentByteForByte)
{
    TGoldenDocument golden;
    std::string written = WriteDocumentToString(golden.Doc, golden.Styles);
    // After a deliberate change of the format: QD_UPDATE_GOLDEN=1 rewrites the file; review its diff.
    if (qEnvironmentVariableIsSet("QD_UPDATE_GOLDEN"))
        WriteFile(TestDataPath(QStringLiteral("golden.qdn")), QByteArray::fromStdString(written));
    QByteArray expected = ReadFile(TestDataPath(QStringLiteral("golden.qdn")));
    ASSERT_FALSE(expected.isEmpty()) << "missing tests/data/golden.qdn";
    EXPECT_TRUE(SameText(written, expected.toStdString()));
}

TEST(DocumentWriter, DirectOutputEqualsTheSavedXmlDocument)
{
    TDecTreeDocument doc;
    TStyleStates styles;
    ResetDefaultStyles(styles);
    // A bushy tree of some 3000 nodes of every type.
    std::vector<TDecTreeNode*> open{NewRoot(doc)};
    for (int i = 1; i < 3000; ++i) {
        TDecTreeNode* parent = open[size_t(i * 7919) % open.size()];
        open.push_back(Add(parent, QString(), TNodeType(i % 3), (i % 17) / 3.0, TCurrency(i) * 123457 - 5000000));
    }
    int n = 0;
    for (TDecTreeNode* node : doc.PreOrder()) {
        ++n;
        node->Caption = QString::fromUtf8("Zweig %1 <&> \" ' \t ü").arg(n);
        if (n % 5 == 0)
            node->Comment = QStringLiteral("a\r\nb\rc\n  d");
        if (n % 11 == 0)
            node->DecisionDueDate = 45000 + n;
        if (n % 13 == 0 && node->Parent())
            node->CloneMasterId = doc.Root()->Id;
        node->DecisionShowCaption = node->DecisionShowOwner = node->DecisionMultiShowBudget = n % 2 == 0;
    }
    doc.Options.SetCurrencySymbol(QStringLiteral("<€>"));
    EXPECT_TRUE(SameText(WriteDocumentToString(doc, styles), BuildTreeDocument(doc, styles)->SaveToString()));
}

TEST(DocumentWriter, NumbersIgnoreTheLocale)
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    // Whatever locale is available with a comma separator; the writer must not care either way.
    bool comma = std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "fr_FR.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German));
    TDecTreeDocument doc;
    TStyleStates styles;
    TDecTreeNode* root = NewRoot(doc);
    Add(root, QStringLiteral("x"), ntChance, 12.5, 12345000);
    std::string text = WriteDocumentToString(doc, styles);
    std::setlocale(LC_ALL, saved.c_str());
    QLocale::setDefault(QLocale::c());
    EXPECT_NE(text.find("<Probability>12.5</Probability>"), std::string::npos) << (comma ? "de" : "C");
    EXPECT_NE(text.find("<Payoff>1234.5</Payoff>"), std::string::npos);
}

TEST(DocumentWriter, DeepTreeIsWrittenWithoutRecursionOrIndentation)
{
    for (const int levels : {MaxIndentedDepth, MaxIndentedDepth + 1, 10000}) {
        TDecTreeDocument doc;
        TStyleStates styles;
        TDecTreeNode* node = NewRoot(doc);
        for (int i = 1; i < levels; ++i)
            node = Add(node, QString(), ntChance, 100, 0);
        std::string text = WriteDocumentToString(doc, styles);
        EXPECT_LT(text.size(), 20'000'000u);
        EXPECT_TRUE(SameText(text, BuildTreeDocument(doc, styles)->SaveToString()));
        EXPECT_EQ(text.find("\n  <Branch id=") != std::string::npos, levels <= MaxIndentedDepth) << levels;
        size_t branches = 0;
        for (size_t at = text.find("<Branch "); at != std::string::npos; at = text.find("<Branch ", at + 1))
            ++branches;
        EXPECT_EQ(branches, size_t(levels));
    }
}

TEST(DocumentWriter, ProbabilityThatIsNotANumberFailsTheSave)
{
    QTemporaryDir dir;
    TDecTreeDocument doc;
    TStyleStates styles;
    TDecTreeNode* root = NewRoot(doc);
    Add(root, QStringLiteral("bad"), ntChance, std::nan(""), 0);
    QString path = dir.filePath(QStringLiteral("bad.qdn"));
    ASSERT_TRUE(WriteFile(path, "OLD"));
    QString error;
    EXPECT_FALSE(SaveDocument(doc, styles, path, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("bad"))) << error.toStdString();
    EXPECT_EQ(ReadFile(path), QByteArray("OLD"));
}
