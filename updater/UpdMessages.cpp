#include "updater/UpdMessages.h"

#include "updater/UpdMessageTables.h"

namespace updMessages {

namespace {

// The primary language id of each language, in the order of TupdAutoUpdaterLanguage from English.
const uint16_t PrimaryIds[LanguageCount] = {
    0x09, 0x19, 0x07, 0x0C, 0x0A, 0x16, 0x16, 0x10, 0x13, 0x06, 0x1D, 0x0B, 0x25, 0x22, 0x15,
    0x05, 0x0E, 0x18, 0x03, 0x2D, 0x36, 0x04, 0x04, 0x21, 0x3E, 0x0F, 0x1F, 0x14, 0x1B,
};

TupdAutoUpdaterLanguage& Current()
{
    static TupdAutoUpdaterLanguage language = LanguageForLangId(LangIdForLocale(QLocale::system()));
    return language;
}

} // namespace

QString LoadString(int id)
{
    const int offset = id - 41000;
    if (offset < 0 || offset / 50 >= LanguageCount || offset % 50 >= MessageCount)
        return QString();
    return QString::fromUtf8(Tables[offset / 50][offset % 50]);
}

QString LoadMessage(int n)
{
    return LoadString(TextId(Current(), n));
}

TupdAutoUpdaterLanguage LanguageForLangId(uint16_t langId)
{
    const uint16_t primary = langId & 0x3FF;
    const uint16_t sub = langId >> 10;
    if (primary == 0x16)
        return sub == 1 ? TupdAutoUpdaterLanguage::wlPortugueseBrazilian : TupdAutoUpdaterLanguage::wlPortuguese;
    if (primary == 0x04)
        return sub == 2 ? TupdAutoUpdaterLanguage::wlChineseSimplified : TupdAutoUpdaterLanguage::wlChineseTraditional;
    for (int i = 0; i < LanguageCount; ++i)
        if (PrimaryIds[i] == primary)
            return TupdAutoUpdaterLanguage(i + 1);
    return TupdAutoUpdaterLanguage::wlEnglish;
}

uint16_t LangIdForLocale(const QLocale& locale)
{
    auto id = [](uint16_t primary, uint16_t sub) { return uint16_t(primary | (sub << 10)); };
    switch (locale.language()) {
    case QLocale::English: return id(0x09, 1);
    case QLocale::Russian: return id(0x19, 1);
    case QLocale::German: return id(0x07, 1);
    case QLocale::French: return id(0x0C, 1);
    case QLocale::Spanish: return id(0x0A, 1);
    case QLocale::Portuguese: return id(0x16, locale.territory() == QLocale::Brazil ? 1 : 2);
    case QLocale::Italian: return id(0x10, 1);
    case QLocale::Dutch: return id(0x13, 1);
    case QLocale::Danish: return id(0x06, 1);
    case QLocale::Swedish: return id(0x1D, 1);
    case QLocale::Finnish: return id(0x0B, 1);
    case QLocale::Estonian: return id(0x25, 1);
    case QLocale::Ukrainian: return id(0x22, 1);
    case QLocale::Polish: return id(0x15, 1);
    case QLocale::Czech: return id(0x05, 1);
    case QLocale::Hungarian: return id(0x0E, 1);
    case QLocale::Romanian: return id(0x18, 1);
    case QLocale::Catalan: return id(0x03, 1);
    case QLocale::Basque: return id(0x2D, 1);
    case QLocale::Afrikaans: return id(0x36, 1);
    case QLocale::Chinese: {
        const QLocale::Territory t = locale.territory();
        return id(0x04, t == QLocale::China ? 2 : t == QLocale::Singapore ? 4 : t == QLocale::HongKong ? 3 : 1);
    }
    case QLocale::Indonesian: return id(0x21, 1);
    case QLocale::Malay: return id(0x3E, 1);
    case QLocale::Icelandic: return id(0x0F, 1);
    case QLocale::Turkish: return id(0x1F, 1);
    case QLocale::NorwegianBokmal: return id(0x14, 1);
    case QLocale::NorwegianNynorsk: return id(0x14, 2);
    case QLocale::Slovak: return id(0x1B, 1);
    case QLocale::Japanese: return id(0x11, 1);
    default: return 0;
    }
}

void SetLanguage(TupdAutoUpdaterLanguage language)
{
    Current() = language == TupdAutoUpdaterLanguage::wlAuto ? LanguageForLangId(LangIdForLocale(QLocale::system()))
                                                              : language;
}

TupdAutoUpdaterLanguage CurrentLanguage()
{
    return Current();
}

} // namespace updMessages
