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
    EXPECT_EQ(Directory::GetFiles(dir + QStringLiteral("/nowhere"), QStringLiteral("*")), QStringList());
}
