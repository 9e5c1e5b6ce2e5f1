#include "updater/UpdAutoUpdater.h"
#include "updater/UpdHTTP.h"

#include "support/TestHttpsServer.h"
#include "support/TmpfsMount.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Records every outcome event of a transfer as one word.
struct TOutcomes {
    explicit TOutcomes(TupdCustomHTTP& http)
    {
        http.OnHTTPDone = [this](TupdCustomHTTP*, const QString&, const QByteArray* data, int64_t bytes) {
            Events << QStringLiteral("done");
            Data = data ? *data : QByteArray();
            Bytes = bytes;
        };
        http.OnHTTPError = [this](TupdCustomHTTP*, int status, const QByteArray* data) {
            Events << QStringLiteral("error %1").arg(status);
            Data = data ? *data : QByteArray();
        };
        http.OnHTTPConnLost = [this](TupdCustomHTTP*, const QString&, const QByteArray*, int64_t, int64_t) {
            Events << QStringLiteral("connlost");
        };
        http.OnHTTPHostUnreachable = [this](TupdCustomHTTP*) { Events << QStringLiteral("unreachable"); };
        http.OnHTTPAborted = [this](TupdCustomHTTP*) { Events << QStringLiteral("aborted"); };
        http.OnHTTPStopped = [this](TupdCustomHTTP*) { Events << QStringLiteral("stopped"); };
        http.OnHTTPFailed = [this](TupdCustomHTTP*) { Events << QStringLiteral("failed"); };
        http.OnHTTPRedirect = [this](TupdCustomHTTP*, const QString& url) { Redirects << url; };
        http.OnHTTPProgress = [this](TupdCustomHTTP*, const QString&, const TupdProgress& p) { LastProgress = p; };
    }
    QStringList Events;
    QStringList Redirects;
    QByteArray Data;
    int64_t Bytes = -1;
    TupdProgress LastProgress;
};

class UpdHTTPTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Server = new TTestHttpsServer;
        Payload.resize(50000);
        for (int i = 0; i < Payload.size(); ++i)
            Payload[i] = char(i * 7 + i / 251);
        Server->PutFile(QStringLiteral("a.bin"), Payload);
        Server->PutFile(QStringLiteral("my a.bin"), Payload);
    }
    static void TearDownTestSuite() { delete Server; }
    void SetUp() override
    {
        ASSERT_TRUE(Server->Ok()) << "the test server did not start";
        Http.CAFile = Server->CAFile();
        Http.ConnectTimeoutMs = 5000;
        Http.StallTimeoutSeconds = 5;
    }
    bool Finish(int timeoutMs = 15000)
    {
        return ProcessEventsUntil([&] { return !Http.Busy(); }, timeoutMs);
    }

    static TTestHttpsServer* Server;
    static QByteArray Payload;
    TupdCustomHTTP Http;
    TOutcomes Out{Http};
};

TTestHttpsServer* UpdHTTPTest::Server = nullptr;
QByteArray UpdHTTPTest::Payload;

TEST_F(UpdHTTPTest, OutcomesAgainstTheServer)
{
    using F = TupdFailure;
    struct Case {
        QString path;
        bool toFile;
        bool httpsOnly;
        QStringList events;
        F failure;
        bool fileLeft;
    };
    const Case cases[] = {
        {"/files/a.bin", false, false, {"done"}, F::None, false},
        {"/files/a.bin", true, true, {"done"}, F::None, true},
        {"/files/my a.bin", false, true, {"done"}, F::None, false}, // a blank goes escaped
        {"/status/404", true, false, {"error 404", "failed"}, F::HTTPStatus, false},
        {"/status/503", false, false, {"error 503", "failed"}, F::HTTPStatus, false},
        {"/cut/1000", true, false, {"connlost", "failed"}, F::Incomplete, true},
        {"/chunkcut", false, false, {"connlost", "failed"}, F::Incomplete, false},
        {"/nolength", false, false, {"done"}, F::None, false},
        {"/redirect?to=/files/a.bin", false, true, {"done"}, F::None, false},
        {"/redirect?to=http://127.0.0.1:1/files/a.bin", true, false, {"error 302", "failed"}, F::RefusedAddress, false},
        // Compressed although nothing asked for it: decoded when the library can, else a failed file.
        {"/coded/a.bin/gzip?chunked", true, true, {"done"}, F::None, true},
        {"/coded/a.bin/deflate", false, true, {"done"}, F::None, false},
        {"/coded/a.bin/compress", true, true, {"error 200", "failed"}, F::ContentCoding, false},
        {"/part/a.bin", true, true, {"connlost", "failed"}, F::Incomplete, true},
        {"/big/1048577", false, true, {"connlost", "failed"}, F::TooLarge, false},
        // Local addresses: the file with status 200, or 404 when it is not there.
        {"file:files/a.bin", false, false, {"done"}, F::None, false},
        {"file:files/none.bin", false, false, {"error 404", "failed"}, F::HTTPStatus, false},
    };
    const QString target = Server->Path(QStringLiteral("out/x.bin"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QFile::remove(target);
        Out.Events.clear();
        Http.URL = c.path.startsWith(QLatin1String("file:")) ? QUrl::fromLocalFile(Server->Path(c.path.mid(5))).toString()
                                                              : Server->Url(c.path);
        Http.FileName = c.toFile ? target : QString();
        Http.HttpsOnly = c.httpsOnly;
        ASSERT_TRUE(Http.Start());
        ASSERT_TRUE(Finish());
        EXPECT_EQ(Out.Events, c.events);
        EXPECT_EQ(Http.Failure(), c.failure);
        EXPECT_EQ(QFile::exists(target), c.fileLeft);
        if (c.events == QStringList{"done"} && c.path.contains(QLatin1String("a.bin"))) {
            QFile f(target);
            EXPECT_EQ(c.toFile ? (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray()) : Out.Data, Payload);
            EXPECT_EQ(Out.Bytes, Payload.size());
            // progress counts the file's own bytes; the body in a coding came in full, too
            EXPECT_EQ(Out.LastProgress.BytesRead, Payload.size());
            EXPECT_EQ(Out.LastProgress.TotalSize, c.path.contains(QLatin1String("coded")) ? 0 : Payload.size());
            EXPECT_EQ(Out.LastProgress.PercentDone, c.path.contains(QLatin1String("chunked")) ? 0 : 100);
        }
    }
    // Only the followed redirect is reported; the one to a plain address was refused.
    EXPECT_EQ(Out.Redirects, QStringList{Server->Url(QStringLiteral("/files/a.bin"))});
    // Every file is asked for as it is: a server that compresses what it is offered sends it whole.
    EXPECT_TRUE(Server->Read(QStringLiteral("last_request")).contains("\nAccept-Encoding: identity\n"));
}

// A file decodes to no more than the server announced for it, nor, with nothing announced,
// compressed or not, past the bound of a program file; a disk that fills up part way through a
// write says so.
TEST_F(UpdHTTPTest, AFileNeverOutgrowsItsBoundAndAFullDiskSaysWhy)
{
    using F = TupdFailure;
    QByteArray noise(50000, Qt::Uninitialized); // gains from no compression: decodes to less than it travels
    std::mt19937 random(7);
    for (char& c : noise)
        c = char(random());
    Server->PutFile(QStringLiteral("noise.bin"), noise);
    Http.MaxFileSize = 1 << 20;
    const struct {
        const char* path;
        qint64 diskLeft; // a full disk with this much room, or none (-1)
        QStringList events;
        F failure;
        const char* error;
        QByteArray file = {}; // what is left of it
    } cases[] = {
        {"/files/a.bin", -1, {"done"}, F::None, "", Payload},
        {"/coded/a.bin/gzip?chunked", -1, {"done"}, F::None, "", Payload},
        {"/coded/noise.bin/gzip", -1, {"done"}, F::None, "", noise},
        {"/coded/a.bin/gzip", -1, {"connlost", "failed"}, F::TooLarge, "decodes to more than the 1131 bytes the server announced"},
        {"/bomb/64", -1, {"connlost", "failed"}, F::TooLarge, "more than the 269 bytes the server announced"},
        {"/bomb/64?chunked", -1, {"connlost", "failed"}, F::TooLarge, "larger than 1048576 bytes, more than any program file"},
        // as it is, with no length: up to the bound, and not a byte more
        {"/big/1048576?nolength", -1, {"done"}, F::None, "", QByteArray(1 << 20, '\0')},
        {"/big/1048576?nolength&then=1", -1, {"connlost", "failed"}, F::TooLarge, "larger than 1048576 bytes"},
        {"/files/a.bin", 8192, {"error 200", "failed"}, F::LocalFile, "No space left on device"},
        {"/coded/a.bin/gzip?chunked", 8192, {"error 200", "failed"}, F::LocalFile, "No space left on device"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " with room " + std::to_string(c.diskLeft));
        std::unique_ptr<TTmpfsMount> disk(c.diskLeft >= 0 ? new TTmpfsMount(256) : nullptr);
        if (disk && !disk->SkipReason().isEmpty())
            GTEST_SKIP() << "no full disk: " << disk->SkipReason().toStdString();
        const QString target = disk ? disk->Path(QStringLiteral("x.bin")) : Server->Path(QStringLiteral("out/x.bin"));
        QFile::remove(target);
        ASSERT_TRUE(!disk || disk->Fill(c.diskLeft));
        Out.Events.clear();
        Out.LastProgress = TupdProgress();
        Http.URL = Server->Url(QString::fromUtf8(c.path));
        Http.FileName = target;
        ASSERT_TRUE(Http.Start());
        ASSERT_TRUE(Finish());
        EXPECT_EQ(Out.Events, c.events);
        EXPECT_EQ(Http.Failure(), c.failure);
        EXPECT_TRUE(Http.LastError().contains(QLatin1String(c.error))) << Http.LastError().toStdString();
        // not a block was written past the bound
        EXPECT_LE(Out.LastProgress.BytesRead, Http.ContentLength() ? Http.ContentLength() : Http.MaxFileSize);
        QFile f(target);
        EXPECT_EQ(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(), c.file);
    }
}

// The least rate holds over every window: a trickle, a burst now and then, and a good start that
// turns into a trickle are given up after a window below the rate, however large the size they
// announce; a transfer above the rate goes through.
TEST_F(UpdHTTPTest, ATransferBelowTheLeastRateOverAWindowIsGivenUp)
{
    Http.RateWindowSeconds = 2;
    Http.MinTransferRate = 16 << 10;
    const struct {
        const char* path;
        QStringList events;
        TupdFailure failure;
    } cases[] = {
        {"/trickle?every=0.2&burst=1", {"connlost", "failed"}, TupdFailure::TooSlow},
        {"/trickle?every=0.5&burst=6144", {"connlost", "failed"}, TupdFailure::TooSlow}, // 12 KB a second
        {"/trickle?first=65536&every=0.2&burst=1", {"connlost", "failed"}, TupdFailure::TooSlow},
        {"/trickle?every=0.25&burst=16384&size=163840", {"done"}, TupdFailure::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Out.Events.clear();
        Http.URL = Server->Url(QString::fromUtf8(c.path));
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(Http.Start());
        ASSERT_TRUE(Finish(20000));
        EXPECT_EQ(Out.Events, c.events);
        EXPECT_EQ(Http.Failure(), c.failure);
        if (c.failure == TupdFailure::TooSlow) {
            EXPECT_GE(clock.elapsed(), 2000);
            EXPECT_EQ(Http.LastError(), QStringLiteral("Less than 16 KB a second arrived over 2 seconds."));
        }
    }
}

// The least rate is owed from the body's first byte on: a server that takes longer than a window
// to answer, or to begin the body after its headers, and then sends a little above the rate
// delivers the file; after a late answer a trickle is still given up a whole window after the body
// began. The wait for the answer has its own bound, the stall time. The rows run side by side,
// each its own transfer.
TEST_F(UpdHTTPTest, TheLeastRateCountsFromTheBodyAndTheWaitForTheAnswerHasItsOwnBound)
{
    using F = TupdFailure;
    const struct {
        const char* path;
        QStringList events;
        F failure;
        int64_t atLeastMs; // when the outcome may come at the earliest
        int64_t beforeMs;  // and when it must have come
    } cases[] = {
        // 3 s before the answer, then 20 KB a second for 4 s
        {"/trickle?late=3&every=0.25&burst=5120&size=81920", {"done"}, F::None, 6000, 20000},
        // the headers at once, the body 3 s later
        {"/trickle?gap=3&every=0.25&burst=5120&size=81920", {"done"}, F::None, 6000, 20000},
        // a late answer that trickles: one window after the body began
        {"/trickle?late=3&every=0.2&burst=1", {"connlost", "failed"}, F::TooSlow, 5000, 20000},
        // no answer within the stall time (5 s): given up then, before the answer would come
        {"/trickle?late=9&every=0.25&burst=5120&size=81920", {"unreachable", "failed"}, F::Stalled, 5000, 9000},
    };
    struct TRow {
        TupdCustomHTTP Http;
        TOutcomes Out{Http};
        int64_t EndedMs = -1;
    };
    std::vector<std::unique_ptr<TRow>> rows;
    QElapsedTimer clock;
    clock.start();
    for (const auto& c : cases) {
        auto row = std::make_unique<TRow>();
        row->Http.CAFile = Server->CAFile();
        row->Http.StallTimeoutSeconds = 5;
        row->Http.RateWindowSeconds = 2;
        row->Http.MinTransferRate = 16 << 10;
        row->Http.URL = Server->Url(QString::fromUtf8(c.path));
        TRow* r = row.get();
        const auto done = r->Http.OnHTTPDone;
        r->Http.OnHTTPDone = [r, done, &clock](TupdCustomHTTP* h, const QString& type, const QByteArray* data, int64_t n) {
            r->EndedMs = clock.elapsed();
            done(h, type, data, n);
        };
        const auto failed = r->Http.OnHTTPFailed;
        r->Http.OnHTTPFailed = [r, failed, &clock](TupdCustomHTTP* h) {
            r->EndedMs = clock.elapsed();
            failed(h);
        };
        ASSERT_TRUE(row->Http.Start());
        rows.push_back(std::move(row));
    }
    ASSERT_TRUE(ProcessEventsUntil([&] {
        return std::none_of(rows.begin(), rows.end(), [](const auto& r) { return r->Http.Busy(); });
    }, 30000));
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& c = cases[i];
        const TRow& r = *rows[i];
        SCOPED_TRACE(c.path);
        EXPECT_EQ(r.Out.Events.join(' ').toStdString(), c.events.join(' ').toStdString()) << r.Http.LastError().toStdString();
        EXPECT_EQ(r.Http.Failure(), c.failure);
        EXPECT_GE(r.EndedMs, c.atLeastMs);
        EXPECT_LT(r.EndedMs, c.beforeMs);
        if (c.failure == F::None) {
            EXPECT_EQ(r.Out.Bytes, 81920);
        }
    }
}

// What the README promises of update files holds for a transfer nobody has set up: a file sent
// without a length is taken up to 256 MB and not a byte past it (here as behaviour: the byte after
// them comes on its own and is refused), and the program's updater gives up a transfer that brings
// less than 16 KB a second over 30 seconds, or nothing for 30 seconds (read, as a window of 30 s
// cannot be waited for here).
TEST_F(UpdHTTPTest, ATransferNobodySetUpKeepsTheBoundsTheReadmePromises)
{
    constexpr int64_t promised = int64_t(256) * 1024 * 1024;
    TupdCustomHTTP fresh;
    TOutcomes out(fresh);
    QTemporaryDir dir;
    fresh.CAFile = Server->CAFile();
    fresh.URL = Server->Url(QStringLiteral("/big/%1?nolength&then=1").arg(promised));
    fresh.FileName = dir.filePath(QStringLiteral("large.bin"));
    ASSERT_TRUE(fresh.Start());
    ASSERT_TRUE(ProcessEventsUntil([&] { return !fresh.Busy(); }, 120000));
    EXPECT_EQ(out.Events, QStringList({"connlost", "failed"}));
    EXPECT_EQ(fresh.Failure(), TupdFailure::TooLarge);
    EXPECT_EQ(fresh.BytesRead(), promised);
    EXPECT_FALSE(QFile::exists(fresh.FileName));

    const TupdAutoUpdater updater;
    EXPECT_EQ(updater.MaxFileSize, promised);
    EXPECT_EQ(updater.MinTransferRate, 16 * 1024);
    EXPECT_EQ(updater.RateWindowSeconds, 30);
    EXPECT_EQ(updater.StallTimeoutSeconds, 30);
}

TEST_F(UpdHTTPTest, HeaderHandlerThatStopsReadsNoBodyAndCreatesNoFile)
{
    // (the worker runs at the priority asked for; the status event fires on it)
    int niceness = -100;
    Http.ThreadPriority = TThreadPriority::tpLower;
    Http.OnHTTPStatus = [&](TupdCustomHTTP*, int, const QString&) { niceness = getpriority(PRIO_PROCESS, id_t(gettid())); };
    const QString target = Server->Path(QStringLiteral("stopped.bin"));
    TupdHeaderInfo seen;
    Http.OnHTTPHeaderInfo = [&](TupdCustomHTTP*, const TupdHeaderInfo& h, bool& cont) {
        seen = h;
        cont = false;
    };
    Http.URL = Server->Url(QStringLiteral("/files/a.bin"));
    Http.FileName = target;
    ASSERT_TRUE(Http.Start());
    ASSERT_TRUE(Finish());
    EXPECT_EQ(Out.Events, QStringList{"stopped"});
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(seen.StatusCode, 200);
    EXPECT_EQ(seen.ContentLength, Payload.size());
    EXPECT_EQ(seen.LastModified, QDateTime(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC));
    EXPECT_EQ(niceness, 5);
}

// The last progress tells the whole file, also when a few coded bytes decode into many blocks
// (whether the main thread takes the first of them while the rest decode is a matter of timing:
// most rounds show it).
TEST_F(UpdHTTPTest, TheLastProgressTellsTheWholeFile)
{
    const QByteArray zeros(1 << 20, '\0');
    Server->PutFile(QStringLiteral("zeros.bin"), zeros);
    Http.URL = Server->Url(QStringLiteral("/coded/zeros.bin/deflate"));
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        Out.Events.clear();
        Out.LastProgress = TupdProgress();
        ASSERT_TRUE(Http.Start());
        ASSERT_TRUE(Finish());
        ASSERT_EQ(Out.Events, QStringList{"done"});
        ASSERT_EQ(Out.Data, zeros);
        ASSERT_EQ(Out.LastProgress.BytesRead, zeros.size());
    }
}

TEST_F(UpdHTTPTest, StalledBodyEndsByAbortWithinASecondOrByTheStallTimeout)
{
    const QString target = Server->Path(QStringLiteral("stall.bin"));
    for (const bool hard : {true, false}) {
        Out.Events.clear();
        Out.LastProgress = TupdProgress();
        Http.URL = Server->Url(QStringLiteral("/stall"));
        Http.FileName = target;
        ASSERT_TRUE(Http.Start());
        ASSERT_TRUE(ProcessEventsUntil([&] { return Out.LastProgress.BytesRead == 10; }, 10000));
        QElapsedTimer clock;
        clock.start();
        Http.Abort(hard);
        ASSERT_TRUE(Finish(1000));
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_EQ(Out.Events, QStringList{"aborted"});
        EXPECT_EQ(QFile::exists(target), !hard);
    }
    Out.Events.clear();
    Http.StallTimeoutSeconds = 1;
    ASSERT_TRUE(Http.Start());
    ASSERT_TRUE(Finish(6000));
    EXPECT_EQ(Out.Events, QStringList({"connlost", "failed"}));
}

TEST_F(UpdHTTPTest, RepeatedStartAndAbortNeverHangs)
{
    for (int i = 0; i < 10; ++i) {
        Http.URL = Server->Url(QStringLiteral("/stall?s=5"));
        ASSERT_TRUE(Http.Start());
        EXPECT_FALSE(Http.Start()); // busy
        Http.Abort(i % 2 == 0);
        ASSERT_TRUE(Finish(2000));
    }
    EXPECT_EQ(Out.Events.count(QStringLiteral("aborted")), 10);
}

// Each certificate fault against every combination of the options that loosen the checks: a
// loosening counts only without HttpsOnly, and each option forgives its own fault alone.
TEST_F(UpdHTTPTest, CertificateAndHostChecksUnderEveryCombinationOfOptions)
{
    TTestHttpsServer wrongHost(TTestHttpsServer::WrongHost), expired(TTestHttpsServer::Expired);
    ASSERT_TRUE(wrongHost.Ok() && expired.Ok());
    enum { Authority = 1, Name = 2, Date = 4, HttpsOnly = 8 };
    const struct {
        const char* fault;
        QString url;
        QString caFile;
        int forgivenBy; // the options, one of which lets the transfer through
    } servers[] = {
        {"none", Server->Url("/files/a.bin"), Server->CAFile(), 0},
        {"unknown authority", Server->Url("/files/a.bin"), Server->OtherCAFile(), Authority},
        {"other host", wrongHost.Url("/status/200"), wrongHost.CAFile(), Name},
        {"expired", expired.Url("/status/200"), expired.CAFile(), Date},
    };
    for (const auto& server : servers) {
        for (int options = 0; options < 16; ++options) {
            SCOPED_TRACE(std::string(server.fault) + " with options " + std::to_string(options));
            Out.Events.clear();
            Http.URL = server.url;
            Http.CAFile = server.caFile;
            Http.HttpsOnly = options & HttpsOnly;
            Http.InternetOptions = ((options & Authority) ? Bit(ioIgnoreUnknownCertificateAuthority) : 0) |
                                   ((options & Name) ? Bit(ioIgnoreCertificateInvalid) : 0) |
                                   ((options & Date) ? Bit(ioIgnoreCertificateDateInvalid) : 0);
            ASSERT_TRUE(Http.Start());
            ASSERT_TRUE(Finish());
            const bool through = server.forgivenBy == 0 || (!(options & HttpsOnly) && (options & server.forgivenBy));
            EXPECT_EQ(Out.Events.value(0), through ? QStringLiteral("done") : QStringLiteral("unreachable"));
            EXPECT_EQ(Http.Failure(), through ? TupdFailure::None : TupdFailure::Certificate);
        }
    }
}

// Credentials go only inside TLS: never to a plain server, not even when the address carries
// them or a password is asked for; and over TLS not when authentication is switched off.
TEST_F(UpdHTTPTest, CredentialsAreNeverSentWithoutTLS)
{
    TTestHttpsServer plain(TTestHttpsServer::Plain);
    ASSERT_TRUE(plain.Ok());
    const QString withUser = QStringLiteral("https://user:secret@") + Server->Url("/auth").mid(8);
    const struct {
        QString url;
        QString user;
        bool handlerGives; // the password handler supplies the credentials
        unsigned options;
        const TTestHttpsServer* seenBy;
        QString event;
    } cases[] = {
        {Server->Url("/auth"), "user", false, 0, Server, "done"},
        {withUser, "", false, 0, Server, "done"},
        {Server->Url("/auth"), "", true, 0, Server, "done"},
        {Server->Url("/auth"), "", false, 0, Server, "error 401"},
        {Server->Url("/auth"), "user", false, Bit(ioNoAuthentication), Server, "error 401"},
        {QStringLiteral("http://user:secret@") + plain.Url("/auth").mid(7), "user", false, 0, &plain, "error 401"},
        {Server->Url("/redirect?to=" + plain.Url("/auth")), "user", true, Bit(ioIgnoreRedirectToHTTP), &plain,
         "error 401"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        Out.Events.clear();
        bool asked = false;
        QString realm;
        Http.OnHTTPPasswordRequest = [&](TupdCustomHTTP* sender, const QString& r, bool& tryAgain) {
            realm = r;
            tryAgain = !std::exchange(asked, true);
            sender->HTTPUsername = c.handlerGives ? QStringLiteral("user") : sender->HTTPUsername;
        };
        Http.URL = c.url;
        Http.HTTPUsername = c.user;
        Http.HTTPPassword = QStringLiteral("secret");
        Http.InternetOptions = c.options;
        c.seenBy->Write(QStringLiteral("last_request"), "");
        ASSERT_TRUE(Http.Start());
        ASSERT_TRUE(Finish());
        EXPECT_EQ(Out.Events.value(0), c.event);
        const QByteArray request = c.seenBy->Read(QStringLiteral("last_request"));
        EXPECT_FALSE(request.isEmpty());
        EXPECT_EQ(request.contains("Authorization:"), c.event == QLatin1String("done"));
        EXPECT_EQ(Out.Data, c.event == QLatin1String("done") ? QByteArray("welcome") : QByteArray("who are you"));
        EXPECT_EQ(realm, asked ? QStringLiteral("Updates") : QString());
        // Over plain http nobody is asked for a password that would not be sent.
        EXPECT_TRUE(c.seenBy != &plain || !asked);
    }
}

TEST(UpdHTTPText, EscapingAndStatusTexts)
{
    EXPECT_EQ(TupdCustomHTTP::EscapeExtraInfo("?a=b c&d=1+2#x%*<>\x01\xc3\xa9"),
              QByteArray("?a=b%20c&d=1%2B2%23x%25%2A%3C%3E%01%C3%A9"));
    TupdCustomHTTP http;
    http.URL = QStringLiteral("example.org/dir/setup%20v2.exe?x=1");
    EXPECT_EQ(http.HostName(), QStringLiteral("example.org"));
    EXPECT_EQ(http.URLFileName(), QStringLiteral("setup v2.exe"));
}

} // namespace
