#pragma once
// The C library's locales that tests name. A fresh system has generated none of them, so a test
// makes those it needs with localedef (of the `locales` package) into a folder of its own and
// points the C library there. Each is made aside and moved into place whole, so that a test
// program at work meanwhile never sees half a locale.

#include <QDir>
#include <QProcess>

#include <locale.h>
#include <unistd.h>

namespace testsupport {

inline bool LocaleLoads(const QByteArray& name)
{
    const locale_t locale = newlocale(LC_ALL_MASK, name.constData(), locale_t(nullptr));
    return locale && (freelocale(locale), true);
}

// True when the locale ("de_DE.UTF-8") loads, made if need be; else `why` says why not.
inline bool EnsureSystemLocale(const QByteArray& name, QString& why)
{
    // The C library remembers a locale it failed to find in a folder: it is asked in the tests'
    // folder only once the locale has been made there.
    const QString shared = qEnvironmentVariable("QD_TEST_SHARED_TMPDIR", QDir::tempPath());
    const QString folder = shared + QStringLiteral("/quandrel-test-locales-%1").arg(getuid());
    if (qEnvironmentVariable("LOCPATH") != folder && LocaleLoads(name))
        return true;
    qputenv("LOCPATH", folder.toLocal8Bit());
    const QString script = QStringLiteral(
        "[ -d \"$1/$2\" ] && exit 0; a=$(mktemp -d) && trap 'rm -rf \"$a\"' EXIT; mkdir -p \"$1\" && "
        "{ localedef -i \"${2%%.*}\" -f \"${2#*.}\" \"$a/$2\" || [ -f \"$a/$2/LC_MONETARY\" ]; } && "
        "{ mv -T \"$a/$2\" \"$1/$2\" || [ -d \"$1/$2\" ]; }");
    QProcess make;
    make.start(QStringLiteral("sh"), {QStringLiteral("-c"), script, QStringLiteral("sh"), folder, QString::fromLatin1(name)});
    make.waitForFinished(120000);
    why = QStringLiteral("%1 could not be made: %2").arg(QString::fromLatin1(name), make.readAllStandardError());
    return make.exitCode() == 0 && LocaleLoads(name);
}

} // namespace testsupport
