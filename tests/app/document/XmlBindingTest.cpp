#include "DocumentTestSupport.h"

#include "app/document/XmlBinding.h"
#include "shared/core/Exceptions.h"

#include <QTemporaryDir>

TEST(XmlBinding, FirstElementOfANameCountsAndUnknownOnesAreIgnored)
{
    auto doc = ParseTreeDocument("<Tree><Branch id='a'><Unknown>1</Unknown><Caption>first</Caption>"
                                 "<Caption>second</Caption><caption>lower</caption><DecisionMultiBudget>7"
                                 "</DecisionMultiBudget><Branches><Branch id='b'/><Other/><Branch id='c'/>"
                                 "</Branches><Branches><Branch id='d'/></Branches></Branch></Tree>");
    TXMLBranchType branch = doc->Tree().Branch();
    EXPECT_EQ(branch.Caption(), "first");
    EXPECT_EQ(branch.DecisionMultiBudget(), 7);
    TXMLBranchesType items = branch.Branches();
    ASSERT_EQ(items.Count(), 2);
    EXPECT_EQ(items.Branch(0).Id(), "b");
    EXPECT_EQ(items.Branch(1).Id(), "c");
    EXPECT_THROW(items.Branch(2), ArgumentOutOfRangeException);
}

TEST(XmlBinding, OpeningFiles)
{
    QTemporaryDir dir;
    QString path = dir.filePath(QString::fromUtf8("Überblick.qdx"));
    ASSERT_TRUE(doctest::WriteFile(path, "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Tree>"
                                         "<CurrencySymbol>\xE2\x82\xAC</CurrencySymbol></Tree>"));
    auto doc = OpenTreeDocument(path);
    EXPECT_EQ(DocumentText::ToQString(doc->Tree().CurrencySymbol()), QString::fromUtf8("€"));

    EXPECT_THROW(OpenTreeDocument(dir.filePath(QStringLiteral("none.qdn"))), IOException);

    ASSERT_TRUE(doctest::WriteFile(path, "<?xml version=\"1.0\"?>\n<Tree>\n  <A>\n  </B>\n</Tree>\n"));
    try {
        OpenTreeDocument(path);
        ADD_FAILURE();
    } catch (const FormatException& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("XML parse error at line 4, column 5: ")))
            << e.Message().toStdString();
    }
}
