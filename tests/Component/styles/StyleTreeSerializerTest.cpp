#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleStatesValues.h"
#include "Component/styles/StyleTreeSerializer.h"

#include <QFile>

#include <gtest/gtest.h>

#include "support/StylesXml.h"
#include "support/TestSupport.h"

#include <sstream>

namespace {

using testsupport::TestDataPath;

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
    EXPECT_EQ(StylesXml(states, "  "), ReadFile(TestDataPath(QStringLiteral("styles/fresh.xml"))));
}

TEST(StyleXml, GoldenOutputForTheDefaults)
{
    TStyleStates states;
    ResetDefaultStyles(states);
    EXPECT_EQ(StylesXml(states, "  "), ReadFile(TestDataPath(QStringLiteral("styles/defaults.xml"))));
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
    ASSERT_TRUE(FromXml(fresh, StylesXml(source, "  ")));
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
    ASSERT_TRUE(FromXml(viaXml, StylesXml(source, "  ")));
    TStyle* links = direct.CloneInTakenPath()->SymbolsChance();
    direct.Assign(source);
    // The objects and the links between them stay.
    EXPECT_EQ(direct.CloneInTakenPath()->SymbolsChance(), links);
    EXPECT_EQ(links->AltStyle(0), direct.InTakenPath()->SymbolsChance());
    EXPECT_EQ(Dump(direct), Dump(viaXml));
    EXPECT_EQ(direct.InTakenPath()->Symbols()->FontName()->Value, QStringLiteral("BadName"));

    // Assigning an object to itself changes nothing.
    const std::string before = Dump(direct);
    AssignStyleStates(direct, direct);
    EXPECT_EQ(Dump(direct), before);
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
    ASSERT_TRUE(FromXml(back, StylesXml(states, "  ")));
    EXPECT_EQ(back.InTakenPath()->RootStyle()->FontName()->Value, QString::fromUtf16(u"Serif\U0001F600"));
}
