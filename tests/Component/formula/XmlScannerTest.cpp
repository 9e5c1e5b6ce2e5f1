#include "Component/formula/XmlScanner.h"

#include <gtest/gtest.h>

namespace {

// The tokens of a text as a compact trace: <a, >a, 'text', or the error.
std::string Trace(std::string_view xml)
{
    TXmlScanner x(xml.data(), xml.data() + xml.size());
    std::string out;
    for (;;) {
        switch (x.Next()) {
        case TXmlScanner::TToken::StartElement:
            out += "<" + std::string(x.LocalName()) + " ";
            break;
        case TXmlScanner::TToken::EndElement:
            out += ">" + std::string(x.LocalName()) + " ";
            break;
        case TXmlScanner::TToken::Text: {
            std::string text;
            if (x.IsCData())
                text = x.RawText();
            else if (!TXmlScanner::AppendDecoded(x.RawText(), text))
                return out + "bad entity";
            out += "'" + text + "' ";
            break;
        }
        case TXmlScanner::TToken::EndOfDocument:
            return out;
        case TXmlScanner::TToken::Error:
            return out + "error: " + x.ErrorText().toStdString();
        }
    }
}

} // namespace

TEST(XmlScanner, ElementsTextAndPrefixes)
{
    EXPECT_EQ(Trace("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- c --><x:a><b/>t<![CDATA[<&>]]></x:a>\n"),
              "<a <b >b 't' '<&>' >a ");
    EXPECT_EQ(Trace("<a>&lt;&gt;&amp;&quot;&apos;&#65;&#x42;&#x20AC;</a>"), "<a '<>&\"'AB\xE2\x82\xAC' >a ");
}

TEST(XmlScanner, Attributes)
{
    const std::string xml = "<c r=\"B2\" x:t='s' s = \"1\"/>";
    TXmlScanner x(xml.data(), xml.data() + xml.size());
    ASSERT_EQ(x.Next(), TXmlScanner::TToken::StartElement);
    std::string_view v;
    ASSERT_TRUE(x.Attribute("r", v));
    EXPECT_EQ(v, "B2");
    ASSERT_TRUE(x.Attribute("t", v));
    EXPECT_EQ(v, "s");
    ASSERT_TRUE(x.Attribute("s", v));
    EXPECT_EQ(v, "1");
    EXPECT_FALSE(x.Attribute("f", v));
    EXPECT_EQ(x.Next(), TXmlScanner::TToken::EndElement);
    EXPECT_EQ(x.Next(), TXmlScanner::TToken::EndOfDocument);
}

TEST(XmlScanner, RefusesWhatIsNotWellFormed)
{
    const struct {
        const char* Xml;
        const char* Error;
    } table[] = {
        {"", "no root element"},
        {"<a>", "ends inside element <a>"},
        {"<a></b>", "does not match"},
        {"<a/><b/>", "second XML root"},
        {"x<a/>", "text outside"},
        {"<a x=1/>", "without quotes"},
        {"<a x/>", "without a value"},
        {"<a x=\"1/>", "unterminated attribute"},
        {"<a", "unterminated start tag"},
        {"<a><!-- x</a>", "unterminated comment"},
        {"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>", "document type declaration"},
        {"\xFF\xFE<\0a\0/\0>\0", "not in UTF-8"},
    };
    for (const auto& row : table) {
        const std::string trace = Trace(row.Xml);
        EXPECT_NE(trace.find(row.Error), std::string::npos) << row.Xml << " gave " << trace;
    }
    std::string deep;
    for (int i = 0; i < 1000; ++i)
        deep += "<a>";
    EXPECT_NE(Trace(deep).find("nested too deeply"), std::string::npos);
}

TEST(XmlScanner, UnknownOrInvalidEntities)
{
    for (const char* raw : {"&nbsp;", "&#0;", "&#xD800;", "&#x110000;", "&#;", "&#12a;", "& x", "&amp"}) {
        std::string out;
        EXPECT_FALSE(TXmlScanner::AppendDecoded(raw, out)) << raw;
    }
}
