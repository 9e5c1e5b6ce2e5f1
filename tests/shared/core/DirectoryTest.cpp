#include "shared/core/Directory.h"
#include "shared/core/Environment.h"
#include "shared/core/Exceptions.h"
#include "shared/core/NullString.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

namespace {

void Touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

QStringList Sorted(QStringList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

TEST(DirectoryCreate, MakesMissingParentsAndReportsFailure)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString deep = tmp.path() + QStringLiteral("/a/b/c");
    Directory::CreateDirectory(deep);
    EXPECT_TRUE(QDir(deep).exists());
    EXPECT_NO_THROW(Directory::CreateDirectory(deep)); // already there

    const QString file = tmp.path() + QStringLiteral("/plain");
    Touch(file);
    try {
        Directory::CreateDirectory(file + QStringLiteral("/sub"));
        FAIL();
    } catch (const IOException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Could not create ") + file + QStringLiteral("/sub"));
    }
}

TEST(DirectoryGetFiles, ListsMatchingPlainFilesOnly)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString dir = tmp.path();
    Touch(dir + QStringLiteral("/Blue.qdns"));
    Touch(dir + QStringLiteral("/Red.qdns"));
    Touch(dir + QStringLiteral("/notes.txt"));
    Touch(dir + QStringLiteral("/.hidden.qdns"));
    Touch(dir + QStringLiteral("/Grün.qdns"));
    QDir(dir).mkdir(QStringLiteral("folder.qdns"));
    QFile::link(dir + QStringLiteral("/Red.qdns"), dir + QStringLiteral("/Link.qdns"));
    QFile::link(dir + QStringLiteral("/missing"), dir + QStringLiteral("/Dangling.qdns"));

    const QStringList expected = {dir + QStringLiteral("/Blue.qdns"), dir + QStringLiteral("/Grün.qdns"),
                                  dir + QStringLiteral("/Link.qdns"), dir + QStringLiteral("/Red.qdns")};
    EXPECT_EQ(Sorted(Directory::GetFiles(dir, QStringLiteral("*.qdns"))), expected);
    // A trailing separator is not doubled.
    EXPECT_EQ(Sorted(Directory::GetFiles(dir + u'/', QStringLiteral("*.qdns"))).first(),
              dir + QStringLiteral("/Blue.qdns"));
    EXPECT_EQ(Directory::GetFiles(dir, QStringLiteral("R?d.*")), QStringList{dir + QStringLiteral("/Red.qdns")});
    EXPECT_EQ(Directory::GetFiles(dir + QStringLiteral("/nowhere"), QStringLiteral("*")), QStringList());
}

// The folders below the home follow HOME and XDG_DATA_HOME; without a home (HOME empty or
// relative, for a user the system has no entry for) there are none, never "/Documents" or the like.
TEST(EnvironmentTest, FoldersFollowTheHomeAndWithoutOneThereAreNone)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "becoming a user the system has no entry for needs root";
    using E = Environment;
    for (const auto& [home, data, expected] : // profile|app data|documents|desktop
         {std::tuple{"", "", "|||"}, {"relative/home", "/xdg/data", "|/xdg/data||"},
          {"/h/./u", "relative/data", "/h/u|/h/u/.local/share|/h/u/Documents|/h/u/Desktop"}}) {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        const pid_t child = fork();
        if (child == 0) {
            setenv("HOME", home, 1);
            setenv("XDG_DATA_HOME", data, 1);
            unsetenv("XDG_CONFIG_HOME");
            QStringList found;
            if (setuid(4000000000u) == 0)
                for (const int folder : {E::CSIDL_PROFILE, E::CSIDL_APPDATA, E::CSIDL_PERSONAL, E::CSIDL_DESKTOPDIRECTORY})
                    found << E::GetFolderPath(folder);
            const QByteArray text = found.join(QLatin1Char('|')).toUtf8();
            _exit(write(out[1], text.constData(), size_t(text.size())) == text.size() ? 0 : 1);
        }
        close(out[1]);
        QFile answer;
        ASSERT_TRUE(answer.open(out[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        EXPECT_EQ(answer.readAll().toStdString(), expected) << home;
        waitpid(child, nullptr, 0);
    }
}
