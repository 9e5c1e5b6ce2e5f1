#include "app/document/XmlWhitespaceFilter.h"

#include "Component/styles/StyleTreeSerializer.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <random>

namespace {

// The parsed tree as text: every node's kind, name, value and attributes.
std::string Dump(const std::string& bytes)
{
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_buffer(bytes.data(), bytes.size(), StyleXmlParseOptions);
    if (!result)
        return std::string("error: ") + result.description();
    std::string out;
    struct Walker : pugi::xml_tree_walker {
        std::string* Out;
        bool for_each(pugi::xml_node& node) override
        {
            *Out += std::to_string(depth()) + ":" + std::to_string(int(node.type())) + ":" + node.name() + "=[" +
                    node.value() + "]";
            for (pugi::xml_attribute a : node.attributes())
                *Out += std::string(" ") + a.name() + "=" + a.value();
            *Out += "\n";
            return true;
        }
    } walker;
    walker.Out = &out;
    doc.traverse(walker);
    return out;
}

void ExpectSameTree(const std::string& bytes)
{
    std::string filtered = FilterXmlWhitespace(bytes);
    EXPECT_LE(filtered.size(), bytes.size());
    EXPECT_EQ(Dump(filtered), Dump(bytes)) << bytes << "\n-- filtered --\n" << filtered;
}

} // namespace

TEST(XmlWhitespaceFilter, DropsIndentationOnly)
{
    EXPECT_EQ(FilterXmlWhitespace("<?xml version=\"1.0\"?>\n<Tree>\n  <A>1</A>\n  <B />\n  <C>\n    <D> x </D>\n  </C>\n</Tree>\n"),
              "<?xml version=\"1.0\"?><Tree><A>1</A><B /><C><D> x </D></C></Tree>");
    // The only content of an element is a value, however blank.
    EXPECT_EQ(FilterXmlWhitespace("<T>\n <F> </F>\n <G>\n\t</G>\n</T>"), "<T><F> </F><G>\n\t</G></T>");
    EXPECT_EQ(FilterXmlWhitespace("<T a='x'>\n  <U b='y'/>\n</T>"), "<T a='x'><U b='y'/></T>");
}

TEST(XmlWhitespaceFilter, MarkupThatLooksLikeTextOrTagsPassesUnchanged)
{
    for (const std::string& bytes : std::vector<std::string>{
             "<T a=\"x > y\"  b='<  >'>  <U/>  </T>",
             "<T>  <!-- a > b\n  < c -->  </T>",
             "<T>  <![CDATA[a ]] > ]]]>  <X/> </T>",
             "<T> <?pi x > y ?>  </T>",
             "<T>\r\n\t<A>a\n  b</A>\r\n</T>\r\n",
             "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<T> <A> &#32; </A> </T>",
             "  <T>  </T>  ",
             "<T> <",
             "<T></T",
         })
        ExpectSameTree(bytes);
}

TEST(XmlWhitespaceFilter, WhatItDoesNotFollowIsLeftAlone)
{
    const std::string doctype = "<!DOCTYPE T [ <!ENTITY e \"> <\"> ]>\n<T>  &e;  </T>";
    EXPECT_EQ(FilterXmlWhitespace(doctype), doctype);
    const std::string utf16("\xFF\xFE<\0T\0>\0 \0<\0/\0T\0>\0", 18);
    EXPECT_EQ(FilterXmlWhitespace(utf16), utf16);
}

namespace {

// A random well-formed element: children mixed from elements, blanks, texts, comments, CDATA and
// processing instructions, with empty and blank-only elements among them.
std::string RandomElement(std::mt19937& rng, int depth)
{
    static const std::vector<std::string> leaves = {
        " ", "\n  ", "\t", "\r\n", "text", " t ", "<!-- c > -->", "<![CDATA[ x ]]>", "<![CDATA[]]>",
        "<?p q?>", "&amp;", "&#32;", "<E></E>", "<F> </F>", "<G/>", "<H a='> <' />"};
    std::string name(1, char('a' + rng() % 5));
    std::string s = "<" + name + (rng() % 4 == 0 ? " k=\"v/\"" : "") + ">";
    int count = int(rng() % 6);
    for (int i = 0; i < count; ++i)
        s += depth < 4 && rng() % 3 == 0 ? RandomElement(rng, depth + 1) : leaves[rng() % leaves.size()];
    return s + "</" + name + ">";
}

} // namespace

TEST(XmlWhitespaceFilter, RandomDocumentsParseTheSame)
{
    std::mt19937 rng(17);
    int parsed = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = (rng() % 2 ? "<?xml version=\"1.0\"?>\n" : "") + RandomElement(rng, 0) + "\n";
        std::string whole = FilterXmlWhitespace(bytes);
        std::string dump = Dump(bytes);
        parsed += dump.rfind("error", 0) != 0;
        ASSERT_EQ(Dump(whole), dump) << bytes << "\n-- filtered --\n" << whole;
        // The same bytes fed one to three at a time give the same result.
        std::string out(bytes.size(), '\0');
        TXmlWhitespaceFilter filter(out.data());
        for (size_t at = 0; at < bytes.size();) {
            size_t n = std::min<size_t>(1 + rng() % 3, bytes.size() - at);
            ASSERT_TRUE(filter.Feed(bytes.data() + at, n));
            at += n;
        }
        out.resize(filter.Finish());
        ASSERT_EQ(out, whole);
    }
    EXPECT_EQ(parsed, 3000);
}
