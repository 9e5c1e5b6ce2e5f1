#include "shared/core/SystemErrors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace SystemErrors;

TEST(SystemErrorsTest, OnlyRegularFilesPass)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString file = dir.filePath(QStringLiteral("a.qdn"));
    QString pipe = dir.filePath(QStringLiteral("pipe"));
    QString link = dir.filePath(QStringLiteral("link"));
    { QFile f(file); ASSERT_TRUE(f.open(QIODevice::WriteOnly)); }
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(file, link));
    const struct { QString path; QString message; } cases[] = {
        {file, QString()},
        {link, QString()},
        {dir.path(), QStringLiteral("'%1' is a folder, not a file.").arg(dir.path())},
        {QStringLiteral("/dev/zero"), QStringLiteral("'/dev/zero' is a device, not a file.")},
        {pipe, QStringLiteral("'%1' is a named pipe, not a file.").arg(pipe)},
        {dir.filePath(QStringLiteral("none")), QStringLiteral("'%1' does not exist.").arg(dir.filePath(QStringLiteral("none")))},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NotARegularFile(c.path), c.message) << c.path.toStdString();
}
