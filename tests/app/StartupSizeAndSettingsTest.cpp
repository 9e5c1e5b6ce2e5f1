#include "support/MainWindowHarness.h"

#include "app/Settings.h"
#include "shared/core/IniSettingsStore.h"
#include "support/TmpfsMount.h"

#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

TEST(FirstStartTest, DesignedClientSize)
{
    TMainWindowHarness h;
    TMainForm& form = *h.Form;
    EXPECT_EQ(form.size(), QSize(660, 486 + form.menuBar()->sizeHint().height()));
}

// A settings file that cannot be kept (a read-only folder), or is no settings file: the program
// starts all the same, with the settings it could read, says once in a plain message which file
// and why, and leaves the file as it is.
TEST(FirstStartTest, ASettingsFileThatCannotBeKeptIsReportedOnceAndLeftAsItIs)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString pipe = dir.filePath(QStringLiteral("pipe.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString large = dir.filePath(QStringLiteral("large.ini"));
    ASSERT_TRUE(blocker.copy(large));
    ASSERT_TRUE(QFile::resize(large, TIniSettingsStore::MaxFileSize + 1));
    struct TCase {
        QString file;
        QString reason;
    };
    std::vector<TCase> cases = {
        {dir.filePath(QStringLiteral("plain/Quandrel.ini")), QStringLiteral("Not a directory")},
        {pipe, QStringLiteral("is a named pipe")},
        {large, QStringLiteral("larger than the 8 MB")},
    };
    // A configuration folder on a file system mounted read-only, with the user's answer in it.
    TTmpfsMount readOnly(64);
    if (readOnly.SkipReason().isEmpty()) {
        cases.push_back({readOnly.Path(QStringLiteral("Quandrel.ini")), QStringLiteral("Read-only file system")});
        TIniSettingsStore store(cases.back().file);
        TSettings settings(store);
        settings.AutoUpdateConfigured = true;
        settings.SaveSettings();
        ASSERT_EQ(::mount("tmpfs", QFile::encodeName(readOnly.Folder()).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const qint64 size = QFileInfo(c.file).size();
        TMainWindowHarness h(std::make_unique<TIniSettingsStore>(c.file));
        ASSERT_NE(h.Form, nullptr);
        std::vector<QString> warnings;
        for (const auto& [text, type] : h.Shown) {
            EXPECT_NE(type, TMsgDlgType::Error) << "not as an unexpected error: " << text.toStdString();
            if (type == TMsgDlgType::Warning)
                warnings.push_back(text);
        }
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_TRUE(warnings[0].contains(c.file) && warnings[0].contains(c.reason)) << warnings[0].toStdString();
        EXPECT_EQ(h.Shown.size(), c.reason.startsWith(QLatin1String("Read-only")) ? 1u : 2u) << "the question, when unanswered";
        EXPECT_EQ(QFileInfo(c.file).size(), size);
    }
    EXPECT_FALSE(QFileInfo(pipe).isFile());
}
