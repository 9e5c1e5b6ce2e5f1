#include "Component/formula/ZipPackage.h"

#include <zip.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

QString MegaBytes(qint64 bytes)
{
    return QString::number(bytes / (1024 * 1024));
}

} // namespace

TZipPackage::~TZipPackage()
{
    if (FZip)
        zip_discard(FZip);
}

bool TZipPackage::Open(const QString& fileName, QString& errorText)
{
    int error = 0;
    // The consistency check compares local and central headers, which catches most truncated
    // and patched archives before anything is inflated.
    FZip = zip_open(QFile::encodeName(fileName).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!FZip) {
        zip_error_t ze;
        zip_error_init_with_code(&ze, error);
        errorText = QStringLiteral("the file is damaged or not a zip archive (%1)")
                        .arg(QString::fromUtf8(zip_error_strerror(&ze)));
        zip_error_fini(&ze);
        return false;
    }
    FBudget = std::min(MaxTotalSize, std::max(MinUnpackedBudget, MaxPackageRatio * QFileInfo(fileName).size()));
    return true;
}

bool TZipPackage::Contains(const QString& partName) const
{
    return FZip && zip_name_locate(FZip, partName.toUtf8().constData(), ZIP_FL_NOCASE) >= 0;
}

bool TZipPackage::Read(const QString& partName, std::string& data, QString& errorText)
{
    data.clear();
    const zip_int64_t index = zip_name_locate(FZip, partName.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0) {
        errorText = QStringLiteral("the part %1 is missing").arg(partName);
        return false;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(FZip, zip_uint64_t(index), 0, &st) != 0) {
        errorText = QStringLiteral("the part %1 cannot be read").arg(partName);
        return false;
    }
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
        errorText = QStringLiteral("the workbook is encrypted");
        return false;
    }
    const qint64 declared = (st.valid & ZIP_STAT_SIZE) ? qint64(st.size) : -1;
    const qint64 compressed = (st.valid & ZIP_STAT_COMP_SIZE) ? qint64(st.comp_size) : -1;
    if (declared < 0) {
        errorText = QStringLiteral("the part %1 does not declare its size").arg(partName);
        return false;
    }
    if (declared > MaxPartSize) {
        errorText = QStringLiteral("the part %1 is too large (%2 MB; at most %3 MB can be read)")
                        .arg(partName, MegaBytes(declared), MegaBytes(MaxPartSize));
        return false;
    }
    if (declared > RatioCheckedFrom && (compressed <= 0 || declared / compressed > MaxRatio)) {
        errorText = QStringLiteral("the part %1 is compressed implausibly well (a zip bomb?)").arg(partName);
        return false;
    }
    if (FInflated + declared > FBudget) {
        errorText = QStringLiteral("the workbook is too large (more than %1 MB unpacked)").arg(MegaBytes(FBudget));
        return false;
    }
    zip_file_t* file = zip_fopen_index(FZip, zip_uint64_t(index), 0);
    if (!file) {
        errorText = QStringLiteral("the part %1 cannot be unpacked (%2)")
                        .arg(partName, QString::fromUtf8(zip_strerror(FZip)));
        return false;
    }
    // Never trust the declared size beyond the allocation: read one byte more than it to
    // notice an entry that inflates to more.
    data.resize(size_t(declared) + 1);
    qint64 got = 0;
    bool ok = true;
    for (;;) {
        const zip_int64_t n = zip_fread(file, data.data() + got, zip_uint64_t(qint64(data.size()) - got));
        if (n < 0) {
            errorText = QStringLiteral("the part %1 is damaged (%2)")
                            .arg(partName, QString::fromUtf8(zip_file_strerror(file)));
            ok = false;
            break;
        }
        if (n == 0)
            break;
        got += n;
        if (got > declared) {
            errorText = QStringLiteral("the part %1 unpacks to more than it declares").arg(partName);
            ok = false;
            break;
        }
    }
    zip_fclose(file);
    if (ok && got != declared) {
        errorText = QStringLiteral("the part %1 is truncated").arg(partName);
        ok = false;
    }
    if (!ok) {
        data.clear();
        data.shrink_to_fit();
        return false;
    }
    data.resize(size_t(got));
    FInflated += got;
    return true;
}
