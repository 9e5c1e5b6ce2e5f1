#include "app/document/StyleManager.h"
#include "shared/core/Exceptions.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void SetModified(const QString& path, const QDateTime& time)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
}

QStringList Names(const TSavedStyles& styles)
{
    QStringList names;
    for (int i = 0; i < styles.Count(); ++i)
        names << styles.Items(i)->GetName();
    return names;
}

} // namespace

TEST(SavedStylesTest, ListsSortedByNameAndSurvivesUnreadableFiles)
{
    QTemporaryDir dir;
    WriteFile(dir.filePath("b.qdns"), R"(<StyleStates Name="alpha" Description="first"/>)");
    WriteFile(dir.filePath("A.qdns"), R"(<StyleStates Description="no name"/>)");
    WriteFile(dir.filePath("bad.qdns"), "<StyleStates Name=\"broken");
    WriteFile(dir.filePath("Zed.qdns"), R"(<StyleStates Name="zeta"/>)");
    WriteFile(dir.filePath("other.txt"), R"(<StyleStates Name="never"/>)");

    TSavedStyles styles(dir.path());
    EXPECT_EQ(Names(styles), (QStringList{"A", "alpha", "bad", "zeta"}));
    EXPECT_EQ(styles.Items(1)->GetDescription(), QStringLiteral("first"));
    EXPECT_THROW(styles.Items(2)->OpenDocument(), IOException);

    // Found by file name, whatever the case of its ASCII letters, never by the Name attribute.
    EXPECT_EQ(styles.FindByName("B"), styles.Items(1));
    EXPECT_EQ(styles.FindByName("zed"), styles.Items(3));
    EXPECT_EQ(styles.FindByName("alpha"), nullptr);

    // A file gone meanwhile only leaves the list.
    QFile::remove(dir.filePath("bad.qdns"));
    styles.Items(2)->Delete();
    styles.FindByName("A")->Delete();
    EXPECT_EQ(Names(styles), (QStringList{"alpha", "zeta"}));
    EXPECT_FALSE(QFile::exists(dir.filePath("A.qdns")));
}

TEST(SavedStylesTest, AddCreatesTheFolderAndWritesUtf8WithDeclaration)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("deep/er/Styles");
    TStyleManager manager(dir.filePath("missing"), folder);
    EXPECT_EQ(manager.ShippedStyles().Count(), 0);

    pugi::xml_document document;
    document.append_child("StyleStates").append_attribute("Name") = "Ünïcode";
    TSavedStyle* added = manager.UserStyles().Add("mine", document);
    EXPECT_EQ(added->FileName(), folder + "/mine.qdns");
    EXPECT_EQ(added->GetName(), QStringLiteral("Ünïcode"));
    QFile file(added->FileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith(R"(<?xml version="1.0" encoding="UTF-8"?>)"));

    // A folder that cannot be made lists nothing.
    WriteFile(dir.filePath("plain"), "x");
    TSavedStyles blocked(dir.filePath("plain/sub"));
    EXPECT_THROW(blocked.Add("x", document), Exception);
    EXPECT_EQ(blocked.Count(), 0);
}

// The menu's name of a style is read once and kept while the file's time and size stay as they
// were.
TEST(SavedStylesTest, TheNameIsReadAgainWhenTheFileTimeOrSizeChanges)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("s.qdns");
    WriteFile(path, R"(<StyleStates Name="one"/>)");
    const QDateTime time = QFileInfo(path).fileTime(QFileDevice::FileModificationTime);
    TSavedStyles styles(dir.path());
    TSavedStyle* style = styles.Items(0);
    EXPECT_EQ(style->GetName(), QStringLiteral("one"));

    WriteFile(path, R"(<StyleStates Name="two"/>)");
    SetModified(path, time);
    EXPECT_EQ(style->GetName(), QStringLiteral("one"));
    SetModified(path, time.addSecs(1));
    EXPECT_EQ(style->GetName(), QStringLiteral("two"));

    WriteFile(path, R"(<StyleStates Name="three"/>)");
    SetModified(path, time.addSecs(1));
    EXPECT_EQ(style->GetName(), QStringLiteral("three"));
}
