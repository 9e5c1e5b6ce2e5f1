#include "updater/UpdMessageTables.h"
#include "updater/UpdMessages.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace updMessages;

namespace {

QStringList Specifiers(const QString& text)
{
    QStringList found;
    static const QRegularExpression spec(QStringLiteral("%[-+ #0]*\\d*(\\.\\d+)?[a-zA-Z%]"));
    for (auto it = spec.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    return found;
}

// The line structure: how many lines, and which of them are empty.
QList<bool> Lines(const QString& text)
{
    QList<bool> lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        lines << line.isEmpty();
    return lines;
}

} // namespace

TEST(UpdMessages, EveryLanguageKeepsTheEnglishSpecifiersLinesAndAccelerators)
{
    for (int language = 1; language <= LanguageCount; ++language) {
        QStringList texts;
        for (int n = 0; n < MessageCount; ++n) {
            SCOPED_TRACE(testing::Message() << "language " << language << " message " << n);
            const QString english = LoadString(41000 + n);
            const QString text = LoadString(TextId(TupdAutoUpdaterLanguage(language), n));
            ASSERT_FALSE(text.isEmpty());
            EXPECT_EQ(Specifiers(text), Specifiers(english));
            EXPECT_EQ(Lines(text), Lines(english));
            EXPECT_EQ(text.count(QLatin1Char('&')), english.count(QLatin1Char('&')));
            EXPECT_FALSE(text.contains(QChar::ReplacementCharacter));
            texts << text;
        }
        if (language > 1) {
            EXPECT_NE(texts[0], LoadString(41000)); // translated, not copied
        }
    }
    EXPECT_EQ(LoadString(41000 + MessageCount), QString());
    EXPECT_EQ(LoadString(40999), QString());
}

TEST(UpdMessages, LanguageChoiceAndCurrentTable)
{
    const struct {
        uint16_t langId;
        int base;
    } byId[] = {
        {0x0416, 41300}, {0x0816, 41250}, {0x0804, 42100}, {0x0404, 42050}, {0x0C04, 42050},
        {0x0411, 41000}, {0x0419, 41050}, {0x041B, 42400}, {0x0414, 42350}, {0x0409, 41000},
    };
    for (const auto& c : byId)
        EXPECT_EQ(TextId(LanguageForLangId(c.langId), 0), c.base) << std::hex << c.langId;

    const struct {
        const char* locale;
        uint16_t langId;
    } byLocale[] = {
        {"pt_BR", 0x0416}, {"pt_PT", 0x0816}, {"zh_CN", 0x0804}, {"zh_TW", 0x0404},
        {"nb_NO", 0x0414}, {"de_AT", 0x0407}, {"ja_JP", 0x0411},
    };
    for (const auto& c : byLocale)
        EXPECT_EQ(LangIdForLocale(QLocale(QString::fromLatin1(c.locale))), c.langId) << c.locale;

    const TupdAutoUpdaterLanguage before = CurrentLanguage();
    SetLanguage(TupdAutoUpdaterLanguage::wlGerman);
    EXPECT_EQ(FormatMessage(msgHostUnreachable, "http://x").left(24), QStringLiteral("Server http://x nicht er"));
    EXPECT_EQ(FormatMessage(msgTimeLeft, 1, 2, 3), QStringLiteral("Geschätzte Restzeit: 1:02:03"));
    SetLanguage(TupdAutoUpdaterLanguage::wlEnglish);
    EXPECT_EQ(FormatMessage(msgFileSize, 12.34), QStringLiteral("File size: 12.3 Kb"));
    SetLanguage(before);
}
