#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleStatesValues.h"
#include "Component/styles/StyleTreeSerializer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <sstream>

namespace {

using testsupport::TestDataPath;

std::string ToXml(const TStyleStates& states)
{
    pugi::xml_document doc;
    SaveStyleStates(states, doc.append_child("StyleStates"));
    std::ostringstream out;
    doc.save(out, "  ");
    return out.str();
}

// Reads xml (a StyleStates document) into states.
bool FromXml(TStyleStates& states, const std::string& xml)
{
    pugi::xml_document doc;
    const pugi::xml_parse_result r = doc.load_string(xml.c_str(), StyleXmlParseOptions);
    EXPECT_TRUE(r) << r.description();
    return LoadStyleStates(states, doc.child("StyleStates"));
}

std::string ReadFile(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll().toStdString();
}

// Every flag and value, inheriting settings' values included.
std::string Dump(const TStyleStates& states)
{
    std::string out;
    for (TStyleState* state : states.GetStates())
        for (TStyle* style : state->RootStyle()->GetAllStyles(true))
            for (int i = 0; i < TStyle::SettingCount; ++i) {
                const TCascadedStyleSetting* s = style->SettingAt(i);
                out += (s->Inherit ? "i:" : "o:") + s->GetAsString().toStdString() + "|";
            }
    return out;
}

// A sheet that differs from the defaults in many places, with awkward values.
void Scramble(TStyleStates& states)
{
    ResetDefaultStyles(states);
    int n = 0;
    for (TStyleState* state : states.GetStates())
        for (TStyle* style : state->RootStyle()->GetAllStyles(true))
            for (int i = 0; i < TStyle::SettingCount; ++i, ++n) {
                TCascadedStyleSetting* s = style->SettingAt(i);
                // Vary by style as well as by setting, so every setting meets every case.
                const int mode = (n + n / TStyle::SettingCount) % 3;
                const bool odd = (n / TStyle::SettingCount) % 2 != 0;
                if (mode == 0)
                    continue;
                s->Inherit = mode == 1;
                switch (s->Kind()) {
                case TCascadedStyleSetting::TKind::String:
                    s->SetAsString(odd ? QStringLiteral("Ærøskøbing Sans 字体") : QStringLiteral("  "));
                    break;
                case TCascadedStyleSetting::TKind::Color:
                    s->SetNumericValue(odd ? int32_t(0x80000000u | uint32_t(n)) : n * 7919);
                    break;
                default:
                    s->SetAsString(QString::number(n % 3));
                }
            }
}

} // namespace

TEST(StyleXml, GoldenOutputForAFreshObject)
{
    TStyleStates states;
    EXPECT_EQ(ToXml(states), ReadFile(TestDataPath(QStringLiteral("styles/fresh.xml"))));
}

TEST(StyleXml, GoldenOutputForTheDefaults)
{
    TStyleStates states;
    ResetDefaultStyles(states);
    EXPECT_EQ(ToXml(states), ReadFile(TestDataPath(QStringLiteral("styles/defaults.xml"))));
}

TEST(StyleXml, RoundTripRestoresEveryFlagAndOwnValue)
{
    TStyleStates source;
    Scramble(source);
    TStyleStates target;
    Scramble(target); // same stale values under inheriting settings
    ResetDefaultStyles(target);
    Scramble(target);
    TStyleStates fresh;
    ASSERT_TRUE(FromXml(fresh, ToXml(source)));
    for (int s = 0; s < 4; ++s) {
        const TStyleDynArray a = source.State(s)->RootStyle()->GetAllStyles(true);
        const TStyleDynArray b = fresh.State(s)->RootStyle()->GetAllStyles(true);
        for (size_t j = 0; j < a.size(); ++j)
            for (int i = 0; i < TStyle::SettingCount; ++i) {
                ASSERT_EQ(a[j]->SettingAt(i)->Inherit, b[j]->SettingAt(i)->Inherit);
                if (!a[j]->SettingAt(i)->Inherit) {
                    EXPECT_EQ(a[j]->SettingAt(i)->GetAsString(), b[j]->SettingAt(i)->GetAsString());
                }
            }
    }
    // Negative colours, non-ASCII font names and blank-only names survive.
    bool sawNegative = false;
    bool sawWide = false;
    bool sawBlank = false;
    for (TStyleState* state : fresh.GetStates())
        for (TStyle* st : state->RootStyle()->GetAllStyles(true)) {
            sawNegative |= !st->BackgroundColor()->Inherit && st->BackgroundColor()->Value < 0;
            sawNegative |= !st->LineColor()->Inherit && st->LineColor()->Value < 0;
            sawNegative |= !st->FontColor()->Inherit && st->FontColor()->Value < 0;
            sawWide |= !st->FontName()->Inherit &&
                       st->FontName()->Value == QStringLiteral("Ærøskøbing Sans 字体");
            sawBlank |= !st->FontName()->Inherit && st->FontName()->Value == QStringLiteral("  ");
        }
    EXPECT_TRUE(sawNegative);
    EXPECT_TRUE(sawWide);
    EXPECT_TRUE(sawBlank);
}

TEST(StyleXml, AssignEqualsTheXmlRoundTrip)
{
    TStyleStates source;
    Scramble(source);
    source.InTakenPath()->Symbols()->FontName()->Inherit = false;
    source.InTakenPath()->Symbols()->FontName()->Value = QStringLiteral("Bad\x01Name\xFFFF") + QChar(0xD800);

    TStyleStates viaXml;
    TStyleStates direct;
    // The same starting point, different from the source, so stale values show.
    for (TStyleStates* t : {&viaXml, &direct}) {
        ResetDefaultStyles(*t);
        t->CloneNotInTakenPath()->Symbols()->LineWidth()->Value = 13;
    }
    ASSERT_TRUE(FromXml(viaXml, ToXml(source)));
    direct.Assign(source);
    EXPECT_EQ(Dump(direct), Dump(viaXml));
    EXPECT_EQ(direct.InTakenPath()->Symbols()->FontName()->Value, QStringLiteral("BadName"));

    // Assigning an object to itself changes nothing.
    const std::string before = Dump(direct);
    AssignStyleStates(direct, direct);
    EXPECT_EQ(Dump(direct), before);
}

TEST(StyleXml, TextsKeptInTheElementByTheParserAreRead)
{
    // A document reader may ask the parser to keep an element's only text in the element itself.
    TStyleStates source;
    Scramble(source);
    const std::string xml = ToXml(source);
    for (const unsigned options : {StyleXmlParseOptions, StyleXmlParseOptions | pugi::parse_embed_pcdata}) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(xml.c_str(), options));
        TStyleStates target;
        ASSERT_TRUE(LoadStyleStates(target, doc.child("StyleStates")));
        TStyleStates expected;
        expected.Assign(source);
        EXPECT_EQ(Dump(target), Dump(expected)) << options;
    }
    // A reader may also copy the kept text into a text node of its own: it is read once.
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string("<StyleStates><State ID=\"InTakenPath\"><Style ID=\"\"><Settings>"
                                "<FontName>Verdana</FontName></Settings></Style></State></StyleStates>",
                                StyleXmlParseOptions | pugi::parse_embed_pcdata));
    pugi::xml_node fontName = doc.first_element_by_path("StyleStates/State/Style/Settings/FontName");
    ASSERT_STREQ(fontName.value(), "Verdana");
    fontName.append_child(pugi::node_pcdata).set_value(fontName.value());
    TStyleStates states;
    ASSERT_TRUE(LoadStyleStates(states, doc.child("StyleStates")));
    EXPECT_EQ(states.InTakenPath()->RootStyle()->FontName()->Value, QStringLiteral("Verdana"));
    // Without embedding, text split by a comment is joined.
    ASSERT_TRUE(doc.load_string("<StyleStates><State ID=\"InTakenPath\"><Style ID=\"\"><Settings>"
                                "<FontName>Ver<!-- x -->dana</FontName></Settings></Style></State></StyleStates>",
                                StyleXmlParseOptions));
    ASSERT_TRUE(LoadStyleStates(states, doc.child("StyleStates")));
    EXPECT_EQ(states.InTakenPath()->RootStyle()->FontName()->Value, QStringLiteral("Verdana"));
}

TEST(StyleXml, AMissingContainerIsReported)
{
    TStyleStates states;
    Scramble(states);
    const std::string before = Dump(states);
    EXPECT_FALSE(FromXml(states, "<Tree/>"));
    EXPECT_EQ(Dump(states), before);
}

TEST(StyleXml, APartialContainerChangesOnlyWhatItHolds)
{
    TStyleStates states;
    ResetDefaultStyles(states);
    TStyleStates expected;
    ResetDefaultStyles(expected);
    ASSERT_TRUE(FromXml(states, R"(<StyleStates>
      <State ID="NotInTakenPath"><Style ID=""><Settings><FontBold>1</FontBold></Settings>
        <Styles/></Style></State></StyleStates>)"));
    // Only the root style of NotInTakenPath changed: bold, and its own line width is gone.
    TStyle* root = states.NotInTakenPath()->RootStyle();
    EXPECT_FALSE(root->FontBold()->Inherit);
    EXPECT_TRUE(root->FontBold()->Value);
    EXPECT_TRUE(root->LineWidth()->Inherit);
    root->LineWidth()->Inherit = false;
    expected.NotInTakenPath()->RootStyle()->FontBold()->Inherit = false;
    expected.NotInTakenPath()->RootStyle()->FontBold()->Value = true;
    EXPECT_EQ(Dump(states), Dump(expected));
}

TEST(StyleXml, ElementsWithoutAnIdNeverMatchAndOtherNodesAreSkipped)
{
    TStyleStates states;
    ResetDefaultStyles(states);
    // The root style has an empty name; a Style without ID must not be taken for it, and neither
    // may a State without ID be taken for anything.
    ASSERT_TRUE(FromXml(states, R"(<StyleStates>
      <!-- a comment --> text <State><Style><Settings/><Styles/></Style></State>
      <State ID="InTakenPath"><?pi x?><Style><Settings/><Styles>
          <!-- c --><Style ID="OptionDescriptors"><Settings/><Styles/></Style></Styles></Style>
      </State></StyleStates>)"));
    TStyleState* t = states.InTakenPath();
    EXPECT_FALSE(t->RootStyle()->FontName()->Inherit);
    EXPECT_EQ(t->RootStyle()->FontName()->Value, QStringLiteral("Verdana"));
    EXPECT_TRUE(t->OptionDescriptors()->BackgroundColor()->Inherit);

    pugi::xml_document doc;
    doc.load_string("<C><X/><Any ID='InTakenPath'/></C>");
    EXPECT_STREQ(FindStateNode(doc.child("C"), QStringLiteral("InTakenPath")).name(), "Any");
    EXPECT_FALSE(FindStateNode(doc.child("C"), QString()));
    EXPECT_FALSE(FindStyleNode(doc.child("C").child("X"), QString()));

    // Processing instructions kept by the caller's parser share the names of the elements
    // looked for, but are not elements.
    pugi::xml_document withPi;
    ASSERT_TRUE(withPi.load_string(R"(<StyleStates><State ID="CloneInTakenPath"><?Style x?>
        <Style ID=""><?Settings x?><Settings><?FontBold x?><FontBold>1</FontBold></Settings>
        <?Styles x?><Styles><Style ID="Symbols"><Settings><LineWidth>7</LineWidth></Settings></Style></Styles>
        </Style></State></StyleStates>)", StyleXmlParseOptions | pugi::parse_pi));
    ASSERT_TRUE(LoadStyleStates(states, withPi.child("StyleStates")));
    TStyleState* clone = states.CloneInTakenPath();
    EXPECT_FALSE(clone->RootStyle()->FontBold()->Inherit);
    EXPECT_TRUE(clone->RootStyle()->FontBold()->Value);
    EXPECT_TRUE(clone->RootStyle()->FontItalic()->Inherit);
    EXPECT_FALSE(clone->Symbols()->LineWidth()->Inherit);
    EXPECT_EQ(clone->Symbols()->LineWidth()->Value, 7);
}

TEST(StyleXml, WriterDropsCharactersXmlCannotCarry)
{
    EXPECT_EQ(RemoveXmlInvalidChars(QStringLiteral("a\tb\nc\rd")), QStringLiteral("a\tb\nc\rd"));
    EXPECT_EQ(RemoveXmlInvalidChars(QString::fromUtf16(u"x\u0001\u001F\uFFFEy\uFFFF")), QStringLiteral("xy"));
    const QString pair = QString::fromUtf16(u"\U0001F600");
    EXPECT_EQ(RemoveXmlInvalidChars(pair + QChar(0xDC00) + QChar(0xD800)), pair);

    TStyleStates states;
    states.InTakenPath()->RootStyle()->FontName()->Value = QString::fromUtf16(u"Se\u0000rif\U0001F600", 8);
    TStyleStates back;
    ASSERT_TRUE(FromXml(back, ToXml(states)));
    EXPECT_EQ(back.InTakenPath()->RootStyle()->FontName()->Value, QString::fromUtf16(u"Serif\U0001F600"));
}

TEST(StyleValues, CaptureAndRestoreAreExactIncludingStaleValues)
{
    TStyleStates source;
    Scramble(source);
    const TStyleStatesValues values(source);
    TStyleStates target;
    values.Restore(target);
    EXPECT_EQ(Dump(target), Dump(source));
    EXPECT_TRUE(TStyleStatesValues(target) == values);
    ResetDefaultStyles(target);
    EXPECT_FALSE(TStyleStatesValues(target) == values);
}
