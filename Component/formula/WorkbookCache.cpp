#include "Component/formula/WorkbookCache.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

TWorkbookCache& TWorkbookCache::Instance()
{
    static TWorkbookCache cache;
    return cache;
}

bool TWorkbookCache::KeyOf(const QString& fileName, TKey& key)
{
    const QFileInfo info(fileName);
    key.Path = info.absoluteFilePath();
    struct stat st;
    if (::stat(QFile::encodeName(key.Path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    key.Size = qint64(st.st_size);
    key.ModifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    key.Device = quint64(st.st_dev);
    key.Inode = quint64(st.st_ino);
    return true;
}

std::shared_ptr<const TWorkbook> TWorkbookCache::Open(const QString& fileName, QString& errorText)
{
    errorText.clear();
    TKey key;
    if (!KeyOf(fileName, key))
        return TWorkbook::Load(fileName, errorText);  // gives the message for a missing file
    {
        std::lock_guard guard(FLock);
        for (auto it = FEntries.begin(); it != FEntries.end(); ++it) {
            if (it->Key.Path != key.Path)
                continue;
            if (it->Key == key) {
                FEntries.splice(FEntries.begin(), FEntries, it);
                return FEntries.front().Book;
            }
            FEntries.erase(it);  // the file has changed since it was read
            break;
        }
    }
    // Read outside the lock: a large workbook takes a while and others may be served meanwhile.
    std::shared_ptr<const TWorkbook> book = TWorkbook::Load(fileName, errorText);
    if (!book)
        return nullptr;
    TKey after;
    if (!KeyOf(fileName, after) || !(after == key))
        return book;  // changed while being read: use it once, but do not keep it
    std::lock_guard guard(FLock);
    for (auto it = FEntries.begin(); it != FEntries.end(); ++it) {
        if (it->Key.Path == key.Path) {
            FEntries.erase(it);
            break;
        }
    }
    FEntries.push_front(TEntry{key, book});
    while (int(FEntries.size()) > Capacity)
        FEntries.pop_back();
    return book;
}

void TWorkbookCache::Clear()
{
    std::lock_guard guard(FLock);
    FEntries.clear();
}

int TWorkbookCache::Count() const
{
    std::lock_guard guard(FLock);
    return int(FEntries.size());
}
