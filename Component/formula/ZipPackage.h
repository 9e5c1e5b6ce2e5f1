#pragma once
// Read access to the parts of a zip package (an .xlsx file) with limits, so that a damaged or
// crafted archive costs bounded memory and time: every part is inflated into memory only up
// to a size limit, with a guard against implausible compression ratios and against entries
// that inflate to more than they declare, and the whole package has a budget of inflated bytes.

#include <QString>
#include <string>

struct zip;

class TZipPackage {
public:
    static constexpr qint64 MaxPartSize = 256ll * 1024 * 1024;
    static constexpr qint64 MaxTotalSize = 512ll * 1024 * 1024;
    // A part larger than this must not compress better than MaxRatio : 1.
    static constexpr qint64 RatioCheckedFrom = 32ll * 1024 * 1024;
    static constexpr qint64 MaxRatio = 500;
    // What a package may unpack to in all: this many times its own size, at least
    // MinUnpackedBudget, at most MaxTotalSize. Real workbooks pack ten or twenty to one; a small
    // file that unpacks to hundreds of megabytes would take seconds and as much memory to read.
    static constexpr qint64 MaxPackageRatio = 50;
    static constexpr qint64 MinUnpackedBudget = 64ll * 1024 * 1024;

    TZipPackage() = default;
    ~TZipPackage();
    TZipPackage(const TZipPackage&) = delete;
    TZipPackage& operator=(const TZipPackage&) = delete;

    bool Open(const QString& fileName, QString& errorText);
    // Part names are matched ignoring case, as the package format asks.
    bool Contains(const QString& partName) const;
    bool Read(const QString& partName, std::string& data, QString& errorText);

private:
    zip* FZip = nullptr;
    qint64 FInflated = 0;
    qint64 FBudget = MaxTotalSize;
};
