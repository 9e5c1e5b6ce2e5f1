#pragma once
// Helpers of the document tests: building nodes by hand, describing trees and styles as text
// so that two of them compare in one assertion with a readable difference, and test files.

#include "app/document/DocumentReader.h"
#include "app/document/DocumentText.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/styles/StyleStates.h"
#include "Component/styles/StyleTreeSerializer.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <gtest/gtest.h>
#include "support/TestSupport.h"
#include "support/StylesXml.h"
#include "support/TreeBuilder.h"
#include <memory>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace doctest {

inline TGuid FixedGuid(int n)
{
    char text[40];
    std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012d", n);
    return DocumentText::TextToGuid(text);
}

inline TDecTreeNode* Add(TDecTreeNode* parent, const QString& caption, TNodeType type = ntChance,
                         double probability = 0, TCurrency payoff = 0)
{
    return testtree::AppendNode(parent, caption, type, probability, payoff);
}

inline TDecTreeNode* NewRoot(TDecTreeDocument& doc, const QString& caption = QStringLiteral("Root"))
{
    doc.SetRoot(testtree::MakeNode(&doc, nullptr, caption, ntDecision, 100, 0));
    return doc.Root();
}

// Every stored field of every node, one node a line, children indented; a clone's children are
// left out (they are rebuilt from its master). Iterative: depth tests describe very deep trees.
inline QString DescribeTree(const TDecTreeNode* top)
{
    QString s;
    std::vector<std::pair<const TDecTreeNode*, int>> stack{{top, 0}};
    while (!stack.empty()) {
        const auto [node, indent] = stack.back();
        stack.pop_back();
        s += QString(indent * 2, QLatin1Char(' '));
        s += QStringLiteral("%1 ref=%2 [%3] {%4} type=%5 chance=%6 p=%7 pay=%8 vis=%9 fixed=%10 show=%11%12%13%14%15%16 "
                            "dc=[%17] owner=[%18] due=%19 budget=%20 src=[%21]\n")
                 .arg(Guid::ToString(node->Id), Guid::ToString(node->CloneMasterId), node->Caption, node->Comment)
                 .arg(int(node->NodeType))
                 .arg(int(node->ChanceType))
                 .arg(QString::fromStdString(DocumentText::DoubleToText(node->Probability)))
                 .arg(node->Payoff)
                 .arg(node->ChildrenVisible)
                 .arg(node->DecisionFixed)
                 .arg(node->DecisionShowCaption)
                 .arg(node->DecisionShowOwner)
                 .arg(node->DecisionShowDueDate)
                 .arg(node->DecisionShowFixed)
                 .arg(node->DecisionMultiShowBudget)
                 .arg(node->DecisionMultiShowInvestment)
                 .arg(node->DecisionCaption, node->DecisionOwner)
                 .arg(node->DecisionDueDate)
                 .arg(node->DecisionMultiBudget)
                 .arg(node->PayoffSource);
        if (!node->IsClone())
            for (int i = node->Children.Count() - 1; i >= 0; --i)
                stack.push_back({node->Children[i], indent + 1});
    }
    return s;
}

using testsupport::SameText;
using testsupport::TestDataPath;

inline QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The text of FixedGuid(n).
inline std::string G(int n)
{
    return DocumentText::GuidToText(FixedGuid(n));
}

// A loaded document with its own options and styles, against which failed loads are checked.
struct TTarget {
    TDecTreeDocument Doc;
    TStyleStates Styles;
    TDecTreeNode* Root;
    QString Tree;
    std::string StyleText;
    TTreeOptions Options;

    TTarget()
    {
        Root = NewRoot(Doc, QStringLiteral("Previous"));
        Add(Root, QStringLiteral("child"), ntChance, 40, 5);
        Doc.Options.SetCurrencySymbol(QStringLiteral("$"));
        Doc.Options.SetCurrencyNegFormat(5);
        ResetDefaultStyles(Styles);
        Styles.NotInTakenPath()->RootStyle()->FontSize()->Inherit = false;
        Styles.NotInTakenPath()->RootStyle()->FontSize()->Value = 31;
        Tree = DescribeTree(Root);
        StyleText = StylesXml(Styles);
        Options = Doc.Options;
    }

    void ExpectUntouched() const
    {
        EXPECT_EQ(Doc.Root(), Root);
        EXPECT_TRUE(SameText(DescribeTree(Doc.Root()), Tree));
        EXPECT_TRUE(Doc.Options == Options);
        EXPECT_EQ(StylesXml(Styles), StyleText);
    }

    TLoadResult Load(const std::string& bytes) { return LoadDocumentFromBytes(bytes, Doc, Styles); }
};

} // namespace doctest
