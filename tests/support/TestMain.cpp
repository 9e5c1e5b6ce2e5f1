#include "support/ChildProcess.h"
#include "support/ModalGuard.h"

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

// ctest runs many test processes at once, and the program sweeps its temporary folder for what
// earlier runs left behind (an update's private folders, which a sweep holds for a moment while
// it looks). Each test process therefore gets a temporary folder of its own, so that no test
// meets another's work in progress; the second processes a test starts share their parent's.
QByteArray OwnTemporaryFolder(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--child") == 0)
            return {};
    const QByteArray shared = qEnvironmentVariableIsEmpty("TMPDIR") ? QByteArray("/tmp") : qgetenv("TMPDIR");
    QByteArray folder = shared + "/quandrel-tests-XXXXXX";
    if (!mkdtemp(folder.data()))
        return {};
    // What is worth keeping across test processes (locales made for the tests) stays in the
    // shared folder.
    qputenv("QD_TEST_SHARED_TMPDIR", shared);
    qputenv("TMPDIR", folder);
    return folder;
}

} // namespace

// Every test program gets a QApplication: widget tests need one, and it also sets the C locale
// from the environment, which the locale-independence tests rely on having happened.
int main(int argc, char** argv)
{
    const QByteArray temporary = OwnTemporaryFolder(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (const int child = RunChildIfAsked(argc, argv); child >= 0)
        return child;
    ::testing::InitGoogleTest(&argc, argv);
    // A dialog that waits for a user nobody drives fails its test instead of hanging the run.
    TModalGuard guard;
    const int result = RUN_ALL_TESTS();
    if (!temporary.isEmpty())
        QDir(QFile::decodeName(temporary)).removeRecursively();
    return result;
}
