// Start of the program to its first painted window: the real start-up (process, libraries, the
// application object, the main window with its menus and styles, the document named on the
// command line read, recalculated and laid out) in a process of its own, up to the end of the
// first paint of the tree with the document in it. With a document of 10,000 nodes at most
// 300 ms (start_ms); timed in turns with a start without a document (empty_ms), whose ratio
// tells what the document adds.
//
// The program runs on the offscreen platform with its settings in memory (no first-run question,
// no update check) and an empty folder of user styles.

#include "app/MainFormUnit.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "Component/control/DecTree.h"
#include "bench/support/DocumentFile.h"
#include "bench/support/PairedTimes.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* ChildSwitch = "--startup-child";
constexpr int kNodeCount = 10000;

// In the started program: once the tree has been painted with a document in it (or at all, when
// none was named), one line goes to the standard output and the program ends on the spot.
class TPaintedSignal : public QObject {
public:
    explicit TPaintedSignal(bool document) : FDocument(document) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* tree = qobject_cast<TDecTree*>(watched);
        if (event->type() == QEvent::Paint && tree && !FDone && (!FDocument || tree->Root()->HasChildren())) {
            FDone = true;
            // Right after this paint event is over.
            QTimer::singleShot(0, [] {
                const char line[] = "painted\n";
                if (write(STDOUT_FILENO, line, sizeof line - 1) < 0)
                    std::_Exit(2);
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    bool FDocument;
    bool FDone = false;
};

int ChildMain(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
    {
        TSettings settings;
        settings.AutoUpdateConfigured = true;
        settings.CanCheckForAutoUpdate = false;
        settings.SaveSettings();
    }
    // The program's name and, when given, the document.
    int programArgc = argc - 1;
    char* programArgv[3] = {argv[0], argc > 2 ? argv[2] : nullptr, nullptr};
    return RunApplication(programArgc, programArgv, [&] {
        auto form = std::make_unique<TMainForm>(QApplication::arguments().mid(1));
        qApp->installEventFilter(new TPaintedSignal(programArgc > 1));
        return form;
    });
}

// Seconds from starting the program to its line, or a negative number when it failed.
double TimeStart(const char* self, const QString& document, const QString& dataHome, const QString& runtime)
{
    int out[2];
    if (pipe(out) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string path = document.toStdString();
    std::string data = "XDG_DATA_HOME=" + dataHome.toStdString();
    std::string run = "XDG_RUNTIME_DIR=" + runtime.toStdString();
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "XDG_DATA_HOME=", 14) != 0 && std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0)
            env.push_back(*e);
    env.push_back(data.data());
    env.push_back(run.data());
    env.push_back(nullptr);
    char* args[] = {const_cast<char*>(self), const_cast<char*>(ChildSwitch),
                    document.isEmpty() ? nullptr : const_cast<char*>(path.c_str()), nullptr};
    pid_t child = 0;
    const double seconds = TPairedTimes::Time([&] {
                               if (posix_spawn(&child, self, &actions, nullptr, args, env.data()) != 0) {
                                   child = 0;
                                   return;
                               }
                               close(out[1]);
                               char line[16] = {};
                               if (read(out[0], line, sizeof line) <= 0)
                                   child = -child;
                           }).Wall;
    posix_spawn_file_actions_destroy(&actions);
    close(out[0]);
    if (child == 0)
        return -1;
    int status = 0;
    waitpid(child < 0 ? -child : child, &status, 0);
    return child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ? -1 : seconds;
}

const char* Self = nullptr;

void BM_StartToPaintedWindow(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString document = BenchDocument::File(dir.path(), kNodeCount);
    const QString dataHome = dir.filePath(QStringLiteral("data"));
    // The platform wants a private folder of its own for the session.
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    TPairedTimes times;
    for (auto _ : state) {
        const double empty = TimeStart(Self, QString(), dataHome, runtime);
        const double start = TimeStart(Self, document, dataHome, runtime);
        if (empty < 0 || start < 0) {
            state.SkipWithError("the program did not come up");
            return;
        }
        state.SetIterationTime(start);
        times.Add({start, start}, {empty, empty});
    }
    times.Report(state, "start", "empty");
    state.counters.erase("cpu_ratio");
    state.counters["nodes"] = kNodeCount;
}
BENCHMARK(BM_StartToPaintedWindow)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], ChildSwitch) == 0)
        return ChildMain(argc, argv);
    Self = "/proc/self/exe";
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
