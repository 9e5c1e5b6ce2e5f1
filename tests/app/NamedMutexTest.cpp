#include "app/NamedMutex.h"
#include "app/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QSysInfo>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(NamedMutex, IsHeldWhileItsOwnerLives)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(TNamedMutex::IsHeld(Startup::MutexName, dir.path()));
    {
        TNamedMutex mutex(Startup::MutexName, dir.path());
        EXPECT_TRUE(mutex.IsLocked());
        EXPECT_TRUE(QFile::exists(mutex.FileName()));
        EXPECT_TRUE(mutex.FileName().startsWith(dir.filePath(QStringLiteral("QuandrelMutex."))));
        EXPECT_TRUE(TNamedMutex::IsHeld(Startup::MutexName, dir.path()));
        EXPECT_FALSE(TNamedMutex::IsHeld(QStringLiteral("OtherMutex"), dir.path()));
        // Asking does not take it away from its owner.
        EXPECT_TRUE(mutex.IsLocked());
        EXPECT_TRUE(TNamedMutex::IsHeld(Startup::MutexName, dir.path()));
    }
    EXPECT_FALSE(TNamedMutex::IsHeld(Startup::MutexName, dir.path()));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(NamedMutex, ALockLeftByAnEndedProcessDoesNotCount)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A lock file whose process no longer runs (process ids stay far below this one).
    QFile stale(dir.filePath(QStringLiteral("QuandrelMutex.999999999.lock")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("999999999\n" + QCoreApplication::applicationName().toUtf8() + "\n"
                + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    EXPECT_FALSE(TNamedMutex::IsHeld(Startup::MutexName, dir.path()));
    EXPECT_FALSE(QFile::exists(stale.fileName()));
}

} // namespace
