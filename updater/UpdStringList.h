#pragma once
// A list of texts that may hold "name=value" entries: the update's file list and the installer's
// queue. Adding keeps at most MaxCount entries (the oldest goes first) and refuses duplicates
// compared without regard to case unless told otherwise.

#include <QString>
#include <QStringList>

#include <climits>
#include <stdexcept>

class TupdStringList {
public:
    enum class TDuplicates { Ignore, Accept, Error };

    int Add(const QString& s);
    void Clear() { FItems.clear(); }
    int Count() const { return int(FItems.size()); }
    const QString& operator[](int i) const { return FItems.at(i); }
    const QStringList& Items() const { return FItems; }
    void Delete(int i) { FItems.removeAt(i); }

    QString GetName(int i) const;
    QString GetValue(int i) const;
    void SetValue(int i, const QString& value);
    // One line (CR LF) per entry with a value; the file is replaced only when there is such an
    // entry. Answers false when it could not be written.
    bool SaveToFile(const QString& fileName) const;

    bool Sorted = false;
    bool CaseSensitive = false;
    TDuplicates Duplicates = TDuplicates::Ignore;
    QString Separator = QStringLiteral("=");
    // The separator is the last occurrence in an entry instead of the first.
    bool SeparatorIsLast = false;
    int MaxCount = INT_MAX;

private:
    int SeparatorAt(const QString& entry) const;
    QStringList FItems;
};

class EStringListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
