#pragma once
// The updater's 31 messages in 29 languages. Message n of a language has the text id
// 41000 + 50 * (language - 1) + n; one language is current for the whole program.

#include <QLocale>
#include <QString>

#include <cstdint>

enum class TupdAutoUpdaterLanguage {
    wlAuto, wlEnglish, wlRussian, wlGerman, wlFrench, wlSpanish, wlPortuguese, wlPortugueseBrazilian,
    wlItalian, wlDutch, wlDanish, wlSwedish, wlFinnish, wlEstonian, wlUkrainian, wlPolish, wlCzech,
    wlHungarian, wlRomanian, wlCatalan, wlBasque, wlAfrikaans, wlChineseTraditional, wlChineseSimplified,
    wlIndonesian, wlMalay, wlIcelandic, wlTurkish, wlNorwegian, wlSlovak,
};

namespace updMessages {

constexpr int MessageCount = 31;
constexpr int LanguageCount = 29;

// Message indices the component itself uses.
enum : int {
    msgCaption = 0,
    msgFileSize = 6,
    msgTransferRate = 7,
    msgTimeLeft = 8,
    msgDownloadingOf = 9,
    msgUpgradeQuestion = 23,
    msgNoUpdate = 24,
    msgNoInfoFile = 25,
    msgHostUnreachable = 26,
    msgFileNotFound = 28,
    msgConnectionLost = 30,
};

constexpr int TextId(TupdAutoUpdaterLanguage language, int n) { return 41000 + 50 * (int(language) - 1) + n; }
// The text with the given id; empty for an id no message has.
QString LoadString(int id);
// Message n of the current language.
QString LoadMessage(int n);
// Message n of the current language with printf-style arguments (%s takes UTF-8 text).
template <typename... Args>
QString FormatMessage(int n, Args... args)
{
    return QString::asprintf(LoadMessage(n).toUtf8().constData(), args...);
}

// The language for a system language identifier: primary language in the low 10 bits,
// sub-language above; English when none matches.
TupdAutoUpdaterLanguage LanguageForLangId(uint16_t langId);
// The system language identifier that a locale stands for (0 when it has none).
uint16_t LangIdForLocale(const QLocale& locale);

// wlAuto chooses from the system's locale. Changes the texts of every component at once.
void SetLanguage(TupdAutoUpdaterLanguage language);
TupdAutoUpdaterLanguage CurrentLanguage();

} // namespace updMessages
