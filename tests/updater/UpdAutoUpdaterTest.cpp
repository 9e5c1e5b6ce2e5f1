#include "updater/UpdAutoUpdater.h"
#include "updater/UpdInfoFile.h"

#include "support/TestHttpsServer.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace updInfoFile;

TEST(UpdInfoFile, TagsEntriesAndComparison)
{
    const QByteArray text = "#message={Fixes:\r\nsee #version=9.9 and #URL2=bogus}\r\n"
                            "#VERSION=3.0.10\r\n#url0=https://h/A.zip=%temp%a.zip\n#url1=https://h/skipped\n"
                            "#URL2=https://h/Two\t#method=2x\n#date=12/24/2025";
    EXPECT_EQ(ReadTag(text, "#message", true), QByteArray("Fixes:\r\nsee #version=9.9 and #URL2=bogus"));
    // The first occurrence anywhere counts, even inside the message.
    EXPECT_EQ(ReadTag(text, "#version", false), QByteArray("9.9 and #URL2=bogus}"));
    EXPECT_EQ(ReadTag(text, "#date", false), QByteArray("12/24/2025"));
    EXPECT_EQ(ReadTag(text, "#none", false, "d"), QByteArray("d"));
    EXPECT_EQ(ReadTag("#message={open", "#message", true), QByteArray("open"));
    EXPECT_EQ(Method(text), TupdUpgradeMethod::umRedirectToURL);
    EXPECT_EQ(Method("#method=7"), TupdUpgradeMethod::umSelfUpgrade);
    // "#url0" found, so numbering goes on at 2: "#url1" is never read.
    EXPECT_EQ(FileEntries(text), QStringList({"https://h/A.zip=%temp%a.zip", "bogus}"}));
    EXPECT_EQ(FileEntries("#url=a\n#url1=b\n#url2=c\n"), QStringList({"a", "c"}));
    EXPECT_EQ(FileEntries("#url1=b\n#url2=c\n#url4=d"), QStringList({"b", "c"}));

    using C = TupdAutoUpdaterVersionControl;
    EXPECT_EQ(IsNewer("#version=3.0.10", C::byNumber, "3.0.9", ""), true);
    EXPECT_EQ(IsNewer("#version=3.0.9", C::byNumber, "3.0.9", ""), false);
    EXPECT_EQ(IsNewer("", C::byNumber, "3.0.9", ""), false);
    EXPECT_EQ(IsNewer("#date=12/24/2025", C::byDate, "", "12/24/2025"), false);
    EXPECT_EQ(IsNewer("#date=12/25/2025", C::byDate, "", "12/24/2025"), true);
    EXPECT_EQ(IsNewer("#date=13/45/2025", C::byDate, "", "12/24/2025"), std::nullopt);
    EXPECT_EQ(FormatUpdateDate(QDate(2025, 3, 7)), QStringLiteral("03/07/2025"));
}

namespace {

class UpdAutoUpdaterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Server = new TTestHttpsServer; }
    static void TearDownTestSuite() { delete Server; }
    void SetUp() override
    {
        ASSERT_TRUE(Server->Ok());
        Updater.CAFile = Server->CAFile();
        Updater.ConnectTimeoutMs = 5000;
        Updater.StallTimeoutSeconds = 5;
        Updater.VersionControl = TupdAutoUpdaterVersionControl::byNumber;
        Updater.VersionNumber = QStringLiteral("3.0.9");
        Updater.SetLanguage(TupdAutoUpdaterLanguage::wlEnglish);
        Updater.InfoFileURL = Server->Url(QStringLiteral("/files/info.txt"));
        Updater.MessageBox = [this](const QString& caption, const QString& text, int flags) {
            Boxes << caption + QLatin1Char('|') + text + QLatin1Char('|') + QString::number(flags);
            return updMsgBox::IdYes;
        };
        Updater.AskUpgrade = [this](const QString& message) {
            Asked << message;
            return Answer;
        };
        Updater.OnBeginUpgrade = [this](TupdAutoUpdater*, const QString&, TupdUpgradeMethod, const TupdStringList& files,
                                        bool& canUpgrade) {
            Events << QStringLiteral("begin %1").arg(files.Count());
            canUpgrade = CanUpgrade;
        };
        Updater.OnNoUpdateAvailable = [this](TupdAutoUpdater*) { Events << QStringLiteral("none"); };
        Updater.OnNoInfoFile = [this](TupdAutoUpdater*) { Events << QStringLiteral("noinfo"); };
        Updater.OnLaterUpgrade = [this](TupdAutoUpdater*) { Events << QStringLiteral("later"); };
        Updater.OnHostUnreachable = [this](TupdAutoUpdater*, const QString&, const QString& host) {
            Events << QStringLiteral("unreachable ") + host;
        };
    }
    bool Settle() { return ProcessEventsUntil([&] { return !Updater.Busy(); }, 15000); }

    static TTestHttpsServer* Server;
    TupdAutoUpdater Updater;
    QStringList Events, Boxes, Asked;
    bool Answer = false;
    bool CanUpgrade = true;
};

TTestHttpsServer* UpdAutoUpdaterTest::Server = nullptr;

TEST_F(UpdAutoUpdaterTest, WaitingCheckReportsWithoutAskingAndAHandlerCanSayNo)
{
    Server->PutFile(QStringLiteral("info.txt"), "#version=3.0.10\r\n#url=https://h/q.zip\r\n#message={New:\r\nfaster}");
    EXPECT_TRUE(Updater.CheckUpdate(true));
    EXPECT_EQ(Events, QStringList{"begin 1"});
    EXPECT_TRUE(Asked.isEmpty());
    EXPECT_FALSE(Updater.Busy());
    // the request asked past any cache
    EXPECT_TRUE(Server->Read(QStringLiteral("last_request")).contains("Pragma: no-cache"));

    CanUpgrade = false;
    EXPECT_FALSE(Updater.CheckUpdate(true));
}

TEST_F(UpdAutoUpdaterTest, QuestionRedirectAndTheOutcomeMessages)
{
    QStringList opened;
    const auto oldHandler = updUtils::SetOpenURLHandler([&](const QString& url) {
        opened << url;
        return true;
    });
    Server->PutFile(QStringLiteral("info.txt"),
                    "#version=4\r\n#url=https://example.org/get?product=quandrel&os=linux\r\n#method=2\r\n"
                    "#message={Read <b>this</b>}");
    for (const bool yes : {false, true}) {
        Answer = yes;
        Updater.CheckUpdate(false);
        ASSERT_TRUE(Settle());
    }
    EXPECT_EQ(Asked, QStringList({"Read <b>this</b>", "Read <b>this</b>"}));
    EXPECT_EQ(Events, QStringList({"begin 1", "later", "begin 1"}));
    EXPECT_EQ(opened, QStringList{"https://example.org/get?product=quandrel&os=linux"}); // whole, "=" and all
    updUtils::SetOpenURLHandler(oldHandler);

    Updater.ShowMessages = AllShowMessages;
    // Errors show a stop box (16), each in words that say what happened. Only the row about the
    // deadline has a short one, against a server that stalls; the others have room to reach
    // their own outcome on a busy machine.
    struct Case {
        QString infoUrl;
        QString caFile;
        QString event;
        QString told;
        int deadline = 60;
    } cases[] = {
        {Server->Url("/status/404"), Server->CAFile(), "noinfo", "\\|File which contains upgrade information was not found on developer's site.\\|16$"},
        {"https://127.0.0.1:1/info.txt", Server->CAFile(), "unreachable 127.0.0.1", "\\|Host https://127.0.0.1 unreachable.\n"},
        {Server->Url("/files/info.txt"), Server->OtherCAFile(), "unreachable 127.0.0.1", "\\|The server https://127.0.0.1:\\d+ could not prove its identity"},
        {Server->Url("/redirect?to=http://127.0.0.1:1/info.txt"), Server->CAFile(), "noinfo", "the server sent the request on to http://127.0.0.1:1/info.txt, and updates are fetched over https only.\\|16$"},
        {"http://127.0.0.1:1/info.txt", Server->CAFile(), "noinfo", "\\|Only https addresses are accepted for updates: http://127.0.0.1:1/info.txt\\|16$"},
        {Server->Url("/big/1048577"), Server->CAFile(), "connlost", "/big/1048577 is larger than 1024 KB and was not accepted.\\|16$"},
        {Server->Url("/stall?s=10"), Server->CAFile(), "connlost", "\\|The transfer of stall did not finish within 3 seconds.\n", 3},
        // a finding: an information box (64)
        {Server->Url("/files/info.txt"), Server->CAFile(), "none", "(?s)^Application update wizard\\|Newer version not found\\..*\\|64$"},
    };
    Updater.OnConnLost = [this](TupdAutoUpdater*) { Events << QStringLiteral("connlost"); };
    Server->PutFile(QStringLiteral("info.txt"), "#version=1\r\n#url=https://h/q.zip");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.infoUrl.toStdString());
        Events.clear();
        Boxes.clear();
        Updater.InfoFileURL = c.infoUrl;
        Updater.CAFile = c.caFile;
        Updater.InfoFileDeadlineSeconds = c.deadline;
        EXPECT_FALSE(Updater.CheckUpdate(true));
        EXPECT_EQ(Events, QStringList{c.event});
        ASSERT_EQ(Boxes.size(), 1);
        EXPECT_TRUE(Boxes[0].contains(QRegularExpression(c.told))) << Boxes[0].toStdString();
    }
}

TEST_F(UpdAutoUpdaterTest, RestartParameterAndTimerStartedCheck)
{
    int restarts = 0;
    Updater.OnAfterRestart = [&](TupdAutoUpdater*) { ++restarts; };
    Updater.SetRestartParams(QString());
    EXPECT_EQ(Updater.RestartParams(), QStringLiteral(" "));
    Updater.Loaded({QStringLiteral(" ")});
    Updater.SetRestartParams(QStringLiteral("/afterupgrade"));
    Updater.Loaded({QStringLiteral("/AfterUpgrade")});
    Updater.Loaded({});
    Updater.Loaded({QStringLiteral("/afterupgrade"), QStringLiteral("x")});
    EXPECT_EQ(restarts, 2);

    if (!updUtils::IsConnected())
        GTEST_SKIP() << "no network interface: the timer does not check";
    Server->PutFile(QStringLiteral("info.txt"), "#version=1\r\n#url=https://h/q.zip");
    Updater.ShowMessages = AllShowMessages;
    Updater.AutoCheckDelay = 50;
    Updater.SetAutoCheck(true);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Events.contains(QStringLiteral("none")); }, 10000));
    EXPECT_TRUE(Updater.TimerCheckRunning());
    EXPECT_TRUE(Boxes.isEmpty()); // a timer-started check shows no box
    // An unreachable host in a timer-started check: no box, and the timer is armed again.
    Updater.SetAutoCheck(false);
    Updater.SetAutoCheck(true);
    Updater.InfoFileURL = QStringLiteral("https://127.0.0.1:1/x");
    Updater.TimerTick();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Events.last(), QStringLiteral("unreachable 127.0.0.1"));
    EXPECT_FALSE(Updater.TimerCheckRunning());
    EXPECT_TRUE(Boxes.isEmpty());
}

} // namespace
