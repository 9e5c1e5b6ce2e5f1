#pragma once
// Workbooks already read, so that refreshing many payoffs from one workbook, or a dialog that
// reads it again for every list, reads the file once. An entry is reused only while the file
// has the same path, size, modification time and identity; the most recently used few are kept.

#include "Component/formula/Workbook.h"

#include <QString>
#include <list>
#include <memory>
#include <mutex>

class TWorkbookCache {
public:
    static constexpr int Capacity = 8;

    static TWorkbookCache& Instance();

    // The cached workbook while the file is unchanged, else the file read anew.
    std::shared_ptr<const TWorkbook> Open(const QString& fileName, QString& errorText);
    void Clear();
    int Count() const;

private:
    struct TKey {
        QString Path;
        qint64 Size = -1;
        qint64 ModifiedNs = 0;
        quint64 Device = 0;
        quint64 Inode = 0;
        bool operator==(const TKey&) const = default;
    };
    struct TEntry {
        TKey Key;
        std::shared_ptr<const TWorkbook> Book;
    };
    static bool KeyOf(const QString& fileName, TKey& key);

    mutable std::mutex FLock;
    std::list<TEntry> FEntries;  // most recently used first
};
