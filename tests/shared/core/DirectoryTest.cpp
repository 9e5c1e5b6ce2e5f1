#include "shared/core/Directory.h"
#include "shared/core/Environment.h"
#include "shared/core/Exceptions.h"
#include "shared/core/NullString.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
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

// Sets an environment variable for the lifetime of the object, then puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : FName(name), FHad(qEnvironmentVariableIsSet(name)), FOld(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (FHad)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }

private:
    const char* FName;
    bool FHad;
    QByteArray FOld;
};

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
    EXPECT_EQ(Directory::GetFiles(dir, QStringLiteral("*.none")), QStringList());
    EXPECT_EQ(Directory::GetFiles(dir + QStringLiteral("/nowhere"), QStringLiteral("*")), QStringList());
}

TEST(EnvironmentGetFolderPath, ApplicationDataIsTheXdgDataFolder)
{
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/tmp/xdg-data");
        EXPECT_EQ(Environment::GetFolderPath(26), QStringLiteral("/tmp/xdg-data"));
        // Only the low seven bits name the folder (higher bits are creation flags).
        EXPECT_EQ(Environment::GetFolderPath(26 | 0x8000), QStringLiteral("/tmp/xdg-data"));
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", "relative/ignored");
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(Environment::GetFolderPath(Environment::CSIDL_APPDATA), QStringLiteral("/home/someone/.local/share"));
        EXPECT_EQ(Environment::GetFolderPath(Environment::CSIDL_PROFILE), QStringLiteral("/home/someone"));
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", QByteArray());
        ScopedEnv home("HOME", "/home/other/");
        EXPECT_EQ(Environment::GetFolderPath(26), QStringLiteral("/home/other/.local/share"));
    }
    // A folder this platform has no counterpart for: no folder, not the current directory.
    EXPECT_EQ(Environment::GetFolderPath(0x7E), QString());
}
