// Document texts must read and write the same under any locale. These tests switch the process
// to German (decimal comma) the way a user's environment would, after the test program's
// QApplication has already called setlocale.

#include "shared/core/Exceptions.h"
#include "shared/core/StringHelpers.h"

#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <sstream>

namespace {

const char* const German = "de_DE.UTF-8";

// Switches the C locale to German for the test's lifetime. When the machine has no German
// locale installed, one is compiled into a temporary folder with localedef and found through
// LOCPATH, which the C library reads on every setlocale call (the sources come with the
// "locales" package).
class GermanCLocale {
public:
    GermanCLocale()
    {
        FOld = std::setlocale(LC_ALL, nullptr);
        if (std::setlocale(LC_ALL, German))
            return;
        if (!FDir.isValid())
            return;
        const int rc = QProcess::execute(QStringLiteral("localedef"),
                                         {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                                          QStringLiteral("UTF-8"), FDir.path() + QStringLiteral("/de_DE.UTF-8")});
        if (rc != 0)
            return;
        FHadLocPath = qEnvironmentVariableIsSet("LOCPATH");
        FOldLocPath = qgetenv("LOCPATH");
        qputenv("LOCPATH", QFile::encodeName(FDir.path()));
        FSetLocPath = true;
        std::setlocale(LC_ALL, German);
    }
    ~GermanCLocale()
    {
        std::setlocale(LC_ALL, FOld.c_str());
        if (FSetLocPath) {
            if (FHadLocPath)
                qputenv("LOCPATH", FOldLocPath);
            else
                qunsetenv("LOCPATH");
        }
    }
    bool Active() const { return std::string(std::localeconv()->decimal_point) == ","; }

private:
    std::string FOld;
    QTemporaryDir FDir;
    bool FSetLocPath = false;
    bool FHadLocPath = false;
    QByteArray FOldLocPath;
};

class GermanQtLocale {
public:
    GermanQtLocale() : FOld(QLocale()) { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    ~GermanQtLocale() { QLocale::setDefault(FOld); }

private:
    QLocale FOld;
};

void ExpectInvariantTexts()
{
    EXPECT_EQ(FloatToInvariantString(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(FloatToInvariantString(1234.5), QStringLiteral("1234.5"));
    EXPECT_EQ(FloatToInvariantString(100.0), QStringLiteral("100"));
    EXPECT_EQ(FloatToInvariantString(1234567.125), QStringLiteral("1234567.125"));
    EXPECT_EQ(FloatToInvariantString(-1.5e-7), QStringLiteral("-1.5E-7"));
    EXPECT_EQ(FloatToRoundTripString(0.1 + 0.2), QStringLiteral("0.30000000000000004"));
    EXPECT_EQ(InvariantStringToFloat(QStringLiteral("0.1")), 0.1);
    EXPECT_EQ(InvariantStringToFloat(QStringLiteral("1234.5")), 1234.5);
    EXPECT_EQ(InvariantStringToFloat(QStringLiteral("100")), 100.0);
    EXPECT_EQ(InvariantStringToFloat(QStringLiteral("2.5E3")), 2500.0);
    // The locale's own forms are not numbers here.
    EXPECT_THROW(InvariantStringToFloat(QStringLiteral("1234,5")), EConvertError);
    EXPECT_THROW(InvariantStringToFloat(QStringLiteral("1.234,5")), EConvertError);
    const TDateTime date = DateValue::EncodeDate(2024, 3, 5);
    EXPECT_EQ(DateToYMDString(date), QStringLiteral("2024 3 5"));
    EXPECT_EQ(YMDStringToDate(QStringLiteral("2024 3 5")), date);
    EXPECT_EQ(GetProgramVersion(4).count(u'.'), 3);
}

} // namespace

TEST(LocaleIndependence, UnderGermanQtAndStandardLibraryLocales)
{
    GermanQtLocale qt;
    ASSERT_EQ(QLocale().toString(1234.5), QStringLiteral("1.234,5")); // the switch took effect
    std::locale old;
    try {
        std::locale::global(std::locale(German));
    } catch (const std::runtime_error&) {
        // Without the installed locale only Qt's side is switched; the C locale test covers the rest.
    }
    ExpectInvariantTexts();
    std::locale::global(old);
}

TEST(LocaleIndependence, UnderGermanCLocale)
{
    GermanCLocale c;
    if (!c.Active())
        GTEST_SKIP() << "no German locale is installed and localedef could not make one";
    GermanQtLocale qt;
    std::locale old = std::locale::global(std::locale(German));
    std::ostringstream probe;
    probe << 1.5;
    EXPECT_EQ(probe.str(), "1,5"); // the standard library follows the environment's locale too
    ExpectInvariantTexts();
    std::locale::global(old);
}
