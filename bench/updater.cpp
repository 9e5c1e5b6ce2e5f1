// Transfer speed of the update component against curl's own on the same local TLS server, and
// how fast a stalled transfer ends when aborted.

#include "updater/UpdHTTP.h"

#include "tests/support/TestHttpsServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <benchmark/benchmark.h>

namespace {

constexpr int64_t BigSize = int64_t(512) << 20;

TTestHttpsServer& Server()
{
    static TTestHttpsServer server;
    return server;
}

void BM_Download512MBToFile(benchmark::State& state)
{
    TupdCustomHTTP http;
    http.CAFile = Server().CAFile();
    http.URL = Server().Url(QStringLiteral("/big/%1").arg(BigSize));
    http.FileName = Server().Path(QStringLiteral("big.bin"));
    http.TransferBufferSize = 1 << 16;
    int64_t bytes = 0;
    http.OnHTTPDone = [&](TupdCustomHTTP*, const QString&, const QByteArray*, int64_t n) { bytes = n; };
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        http.Start();
        ProcessEventsUntil([&] { return !http.Busy(); }, 600000);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (bytes != BigSize)
            state.SkipWithError("the download did not complete");
    }
    state.SetBytesProcessed(state.iterations() * BigSize);
    QFile::remove(http.FileName);
}
BENCHMARK(BM_Download512MBToFile)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Curl512MBToFile(benchmark::State& state)
{
    const QString target = Server().Path(QStringLiteral("curl.bin"));
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const int rc = QProcess::execute(QStringLiteral("curl"),
                                         {QStringLiteral("-sS"), QStringLiteral("--cacert"), Server().CAFile(),
                                          QStringLiteral("-o"), target, Server().Url(QStringLiteral("/big/%1").arg(BigSize))});
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (rc != 0 || QFile(target).size() != BigSize)
            state.SkipWithError("curl did not complete the download");
    }
    state.SetBytesProcessed(state.iterations() * BigSize);
    QFile::remove(target);
}
BENCHMARK(BM_Curl512MBToFile)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_AbortStalledTransfer(benchmark::State& state)
{
    TupdCustomHTTP http;
    http.CAFile = Server().CAFile();
    http.URL = Server().Url(QStringLiteral("/stall?s=10"));
    http.FileName = Server().Path(QStringLiteral("stall.bin"));
    int64_t seen = 0;
    http.OnHTTPProgress = [&](TupdCustomHTTP*, const QString&, const TupdProgress& p) { seen = p.BytesRead; };
    for (auto _ : state) {
        state.PauseTiming();
        seen = 0;
        http.Start();
        ProcessEventsUntil([&] { return seen > 0; }, 10000);
        QElapsedTimer clock;
        clock.start();
        state.ResumeTiming();
        http.Abort(true); // returns once the worker has ended
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (http.Busy() || QFile::exists(http.FileName))
            state.SkipWithError("the aborted transfer did not end cleanly");
    }
}
BENCHMARK(BM_AbortStalledTransfer)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!Server().Ok())
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
