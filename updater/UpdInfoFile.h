#pragma once
// The update information file: "#tag=value" texts found anywhere in the file, tags matched
// without regard to case, values kept byte for byte.

#include <QByteArray>
#include <QDate>
#include <QString>

#include <optional>

enum class TupdAutoUpdaterVersionControl { byDate, byNumber };
enum class TupdUpgradeMethod { umSelfUpgrade, umUseExternalSetup, umRedirectToURL };

namespace updInfoFile {

// The value after the first "TAG=" (or "TAG={" when braced) anywhere in the text: up to the
// first control character, or the first "}" when braced, or the end. def when that is empty.
QByteArray ReadTag(const QByteArray& text, const QByteArray& tag, bool braced, const QByteArray& def = {});
// "MM/DD/YYYY"; nothing for a text that is not such a date.
std::optional<QDate> ParseUpdateDate(const QString& text);
QString FormatUpdateDate(const QDate& date);
// Whether the file announces a newer version than the running one; nothing when a date of the
// comparison is not a date.
std::optional<bool> IsNewer(const QByteArray& text, TupdAutoUpdaterVersionControl control,
                            const QString& versionNumber, const QString& versionDate);
// The file entries: "#url", "#url0", then "#url" with numbers from the count found so far.
QStringList FileEntries(const QByteArray& text);
TupdUpgradeMethod Method(const QByteArray& text);

} // namespace updInfoFile
