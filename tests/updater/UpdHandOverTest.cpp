#include "InstallerRun.h"

#include "support/FullTmpfs.h"

#include <QDirIterator>

using namespace updHandOver;
using namespace installertest;

TEST(UpdHandOver, TargetsStayInsideTheProgramFolder)
{
    const QString dir = QStringLiteral("/opt/q/");
    const struct {
        const char* url;
        const char* target;
        const char* expected; // "" = refused
    } cases[] = {
        {"https://h/d/app.bin", "", "/opt/q/app.bin"},
        {"https://h/d/app.bin?x=1", "", "/opt/q/app.bin"},
        {"https://h/d/a", "lib.so", "/opt/q/lib.so"},
        {"https://h/d/a", "plugins\\img.so", "/opt/q/plugins/img.so"},
        {"https://h/d/a", "%CURRENT%help/q.html", "/opt/q/help/q.html"},
        {"https://h/d/a", "/etc/passwd", ""},
        {"https://h/d/a", "C:\\app.exe", ""},
        {"https://h/d/a", "../escape", ""},
        {"https://h/d/a", "sub/../../escape", ""},
        {"https://h/d/a", "%temp%x.bin", ""},
        {"https://h/d/a", "%desktop%x.bin", ""},
        {"https://h/d/", "", ""},
        {"https://h/d/..", "", ""},
        {"https://h/d/a", "sub/", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveTarget(QString::fromUtf8(c.url), QString::fromUtf8(c.target), dir), QString::fromUtf8(c.expected))
            << c.url << " = " << c.target;
}

TEST(UpdHandOver, LinksAreFollowedBeforeATargetIsTaken)
{
    // "q2" beside the program folder "q" shares its name's beginning.
    QTemporaryDir top;
    const QString dir = top.path() + QStringLiteral("/q"), sibling = top.path() + QStringLiteral("/q2");
    Write(dir + "/app", "app");
    Write(dir + "/sub/data", "data");
    Write(sibling + "/lib.so", "outside");
    Link(sibling, dir + "/out");
    Link(QStringLiteral(".."), dir + "/up");
    Link(QStringLiteral("sub"), dir + "/in");
    Link(sibling + "/lib.so", dir + "/lib.so");
    Link(dir + "/app", dir + "/self");
    Link(sibling + "/none", dir + "/dangling");
    Link(dir, top.path() + "/current");
    const struct {
        const char* folder;
        const char* target;
        bool confined;
    } cases[] = {
        {"/q", "/q/app", true},
        {"/q", "/q/new/deeper/x", true},
        {"/q", "/q/in/x", true},
        {"/q", "/q/self", true},
        {"/q", "/q/out/x", false},
        {"/q", "/q/out/new/x", false},
        {"/q", "/q/up/q2/x", false},
        {"/q", "/q/lib.so", false},
        {"/q", "/q/dangling", false},
        {"/current", "/current/in/x", true},
        {"/current", "/current/out/x", false},
        {"/q2", "/q/out/lib.so", true},
    };
    for (const auto& c : cases) {
        QString why;
        EXPECT_EQ(Confined(top.path() + c.target, top.path() + c.folder, why), c.confined) << c.target;
        EXPECT_EQ(why.isEmpty(), c.confined) << c.target;
    }
}

TEST(UpdHandOver, OnAFullDiskNothingIsLeftForTheInstaller)
{
    TFullTmpfs disk;
    if (!disk.Ok())
        GTEST_SKIP() << disk.Why().toStdString();
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(disk.Path()));
    disk.Fill();
    TPrepared prepared;
    QString error;
    EXPECT_FALSE(Prepare({QStringLiteral("/opt/q/app")}, prepared, error));
    EXPECT_TRUE(error.contains(QLatin1String("No space left on device"))) << error.toStdString();
    EXPECT_EQ(Entries(disk.Path()), ".filler");
    oldTemp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTemp);
}
