#include "shared/core/Exceptions.h"
#include "shared/core/NullString.h"
#include "shared/core/Path.h"

#include <gtest/gtest.h>

namespace {

const QString TwoNuls = QString(2, QChar(0));

QString S(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

TEST(PathCombine, JoinsWithSlashUnlessEndedOrRooted)
{
    EXPECT_EQ(Path::Combine(S(""), S("x")), S("x"));
    EXPECT_EQ(Path::Combine(S("a"), S("")), S("a"));
    EXPECT_EQ(Path::Combine(S("a"), S("\\b")), S("\\b"));
    EXPECT_EQ(Path::Combine(S("a"), S("/b")), S("/b"));
    EXPECT_EQ(Path::Combine(S("a"), S("D:b")), S("D:b"));
    EXPECT_EQ(Path::Combine(S("C:"), S("b")), S("C:b"));
    EXPECT_EQ(Path::Combine(S("a/"), S("b")), S("a/b"));
    // This platform's separator goes between two plain parts.
    EXPECT_EQ(Path::Combine(S("a"), S("b")), S("a/b"));
}

TEST(PathCheckInvalidPathChars, RejectsExactlyTheCheckedCharacters)
{
    for (char16_t c = 0; c < 32; ++c)
        EXPECT_THROW(Path::CheckInvalidPathChars(S("a") + QChar(c)), ArgumentException) << int(c);
    for (char c : {'"', '<', '>', '|'})
        EXPECT_THROW(Path::CheckInvalidPathChars(QString(QChar(c))), ArgumentException) << c;
    // The characters only handed out by GetInvalidPathChars pass the check.
    EXPECT_NO_THROW(Path::CheckInvalidPathChars(S("C:\\a/b*?.txt")));
    EXPECT_NO_THROW(Path::CheckInvalidPathChars(NullString));
    EXPECT_NO_THROW(Path::CheckInvalidPathChars(TwoNuls));
}

TEST(PathGetDirectoryName, CutsAtLastSeparatorAndKeepsRoots)
{
    EXPECT_EQ(Path::GetDirectoryName(S("C:\\dir\\file.txt")), S("C:\\dir"));
    EXPECT_EQ(Path::GetDirectoryName(S("C:\\file.txt")), S("C:\\"));
    EXPECT_TRUE(Path::GetDirectoryName(S("C:\\")).isNull());
    const QString noFolder = Path::GetDirectoryName(S("file.txt"));
    EXPECT_TRUE(noFolder.isEmpty());
    EXPECT_FALSE(noFolder.isNull());
    EXPECT_EQ(Path::GetDirectoryName(S("C:\\dir\\  ")), S("C:\\dir"));
    EXPECT_EQ(Path::GetDirectoryName(S("/home/u/file.qdn")), S("/home/u"));
    EXPECT_EQ(Path::GetDirectoryName(S("/file.qdn")), S("/"));
    EXPECT_TRUE(Path::GetDirectoryName(S("/")).isNull());
    EXPECT_EQ(Path::GetDirectoryName(S("\\\\server\\share\\f")), S("\\\\server\\share"));
    EXPECT_TRUE(Path::GetDirectoryName(S("")).isNull());
    EXPECT_TRUE(Path::GetDirectoryName(NullString).isNull());
    EXPECT_TRUE(Path::GetDirectoryName(TwoNuls).isNull());
    EXPECT_THROW(Path::GetDirectoryName(S("a<b/c")), ArgumentException);
}

TEST(PathRoots, RootLengthAndRootedness)
{
    EXPECT_EQ(Path::GetRootLength(S("\\dir")), 1);
    EXPECT_EQ(Path::GetRootLength(S("/dir")), 1);
    EXPECT_EQ(Path::GetRootLength(S("C:")), 2);
    EXPECT_EQ(Path::GetRootLength(S("C:x")), 2);
    EXPECT_EQ(Path::GetRootLength(S("C:\\x")), 3);
    EXPECT_EQ(Path::GetRootLength(S("C:/x")), 3);
    EXPECT_EQ(Path::GetRootLength(S("dir\\x")), 0);
    EXPECT_EQ(Path::GetRootLength(S("")), 0);
    EXPECT_EQ(Path::GetRootLength(S("\\\\ab\\share\\x")), 4);
    EXPECT_EQ(Path::GetRootLength(S("\\\\a\\share\\x")), 9);
    EXPECT_EQ(Path::GetRootLength(S("//a/share/x")), 9);
    EXPECT_EQ(Path::GetRootLength(S("\\\\")), 2);
    EXPECT_THROW(Path::GetRootLength(S("\"x")), ArgumentException);

    EXPECT_EQ(Path::GetPathRoot(S("\\\\ab\\share\\x")), S("\\\\ab"));
    EXPECT_EQ(Path::GetPathRoot(S("C:\\x")), S("C:\\"));
    EXPECT_EQ(Path::GetPathRoot(S("rel/x")), S(""));
    EXPECT_TRUE(Path::GetPathRoot(NullString).isNull());

    EXPECT_TRUE(Path::IsPathRooted(S("/x")));
    EXPECT_TRUE(Path::IsPathRooted(S("\\x")));
    EXPECT_TRUE(Path::IsPathRooted(S("C:")));
    EXPECT_FALSE(Path::IsPathRooted(S("")));
    EXPECT_FALSE(Path::IsPathRooted(S("x")));
    EXPECT_FALSE(Path::IsPathRooted(S("ab:")));
    EXPECT_FALSE(Path::IsPathRooted(NullString));
    EXPECT_THROW(Path::IsPathRooted(S("/x|")), ArgumentException);

}

TEST(PathNormalizePath, TrimsTrailingControlsOnlyWithFullCheck)
{
    EXPECT_EQ(Path::NormalizePath(S("a/b \t\r\n "), true), S("a/b"));
    EXPECT_EQ(Path::NormalizePath(S("  a"), true), S("  a"));
    EXPECT_EQ(Path::NormalizePath(S("a/b \t"), false), S("a/b \t"));
    EXPECT_THROW(Path::NormalizePath(S("a\tb "), true), ArgumentException);
    EXPECT_NO_THROW(Path::NormalizePath(S("a\tb"), false));
}
