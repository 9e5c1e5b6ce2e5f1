// The installer replacing 20 files of 10 MB each (200 MB) in a program folder, timed from its
// start with the program already ended to its exit, the program started again.

#include "updater/UpdHandOver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int FileCount = 20;
constexpr int FileSize = 10 << 20;

bool WriteFile(const QString& name, char fill)
{
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray block(1 << 20, fill);
    for (int i = 0; i < FileSize / block.size(); ++i)
        f.write(block);
    f.flush();
    fsync(f.handle()); // the program flushes each file as it arrives, before it ends
    return true;
}

void BM_InstallerReplaces200MB(benchmark::State& state)
{
    QTemporaryDir program;
    const QString dir = program.path() + QLatin1Char('/');
    QFile app(dir + "app");
    app.open(QIODevice::WriteOnly);
    app.write("#!/bin/sh\nexit 0\n");
    app.close();
    app.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QStringList targets;
    for (int i = 0; i < FileCount; ++i) {
        targets << dir + QStringLiteral("lib%1.so").arg(i);
        WriteFile(targets.last(), 'o');
    }
    char fill = 'a';
    for (auto _ : state) {
        for (const QString& t : targets)
            WriteFile(t + QLatin1String(updHandOver::TempSuffix), fill);
        ++fill;
        updHandOver::TPrepared prepared;
        QString error;
        if (!updHandOver::Prepare(targets, prepared, error)) {
            state.SkipWithError(error.toStdString().c_str());
            break;
        }
        QProcess installer;
        QElapsedTimer clock;
        clock.start();
        installer.start(prepared.Installer,
                        updHandOver::InstallerArguments(dir + "app", QStringLiteral("/afterupgrade"), prepared.Queue, 0, 0));
        installer.waitForFinished(60000);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (installer.exitCode() != 0 || QFile::exists(targets[0] + QLatin1String(updHandOver::TempSuffix)))
            state.SkipWithError("the installer did not replace the files");
    }
}
BENCHMARK(BM_InstallerReplaces200MB)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
