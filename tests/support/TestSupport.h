#pragma once
// Helpers every test folder may use: the test data folder, and long texts compared without
// printing them whole.

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

namespace testsupport {

// tests/data, or the folder named by QD_TEST_DATA.
inline QString TestDataPath(const QString& name)
{
    QString dir = qEnvironmentVariable("QD_TEST_DATA");
    if (dir.isEmpty())
        dir = QString::fromUtf8(QD_TEST_DATA_DIR);
    return QDir(dir).filePath(name);
}

// Two texts of any size: a failure names the first differing offset with a little context, so
// that documents of megabytes never end up printed (or diffed) in full.
inline ::testing::AssertionResult SameText(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    if (i == n && a.size() == b.size())
        return ::testing::AssertionSuccess();
    const size_t from = i < 40 ? 0 : i - 40;
    return ::testing::AssertionFailure() << "texts of " << a.size() << " and " << b.size()
                                         << " bytes differ first at offset " << i << "\n  " << a.substr(from, 80)
                                         << "\n  " << b.substr(from, 80);
}

inline ::testing::AssertionResult SameText(const QString& a, const QString& b)
{
    const QByteArray x = a.toUtf8(), y = b.toUtf8();
    return SameText(std::string_view(x.constData(), size_t(x.size())), std::string_view(y.constData(), size_t(y.size())));
}

} // namespace testsupport
