#include "updater/UpdStringList.h"

#include "shared/core/CheckedSaveFile.h"

#include <algorithm>

int TupdStringList::Add(const QString& s)
{
    if (MaxCount <= 0)
        return 0;
    const Qt::CaseSensitivity cs = CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int i = 0; i < Count(); ++i) {
        if (QString::compare(FItems[i], s, cs) != 0)
            continue;
        if (Duplicates == TDuplicates::Ignore)
            return i;
        if (Duplicates == TDuplicates::Error)
            throw EStringListError("String list does not allow duplicates");
        break;
    }
    int index = Count();
    if (Sorted)
        index = int(std::lower_bound(FItems.begin(), FItems.end(), s,
                                     [&](const QString& a, const QString& b) {
                                         return QString::localeAwareCompare(
                                                    cs == Qt::CaseSensitive ? a : a.toLower(),
                                                    cs == Qt::CaseSensitive ? b : b.toLower()) < 0;
                                     }) -
                    FItems.begin());
    if (Count() >= MaxCount) {
        FItems.removeFirst();
        if (index > 0)
            --index;
    }
    FItems.insert(index, s);
    return index;
}

int TupdStringList::SeparatorAt(const QString& entry) const
{
    if (Separator.isEmpty())
        return -1;
    return SeparatorIsLast ? entry.lastIndexOf(Separator) : entry.indexOf(Separator);
}

QString TupdStringList::GetName(int i) const
{
    const QString& e = FItems.at(i);
    const int at = SeparatorAt(e);
    return at < 0 ? e : e.left(at);
}

QString TupdStringList::GetValue(int i) const
{
    const QString& e = FItems.at(i);
    const int at = SeparatorAt(e);
    return at < 0 ? QString() : e.mid(at + Separator.size());
}

void TupdStringList::SetValue(int i, const QString& value)
{
    const int at = SeparatorAt(FItems.at(i));
    if (at >= 0)
        FItems[i] = FItems[i].left(at) + Separator + value;
}

bool TupdStringList::SaveToFile(const QString& fileName) const
{
    QByteArray text;
    for (int i = 0; i < Count(); ++i) {
        const QString value = GetValue(i);
        if (!value.isEmpty())
            text += value.toUtf8() + "\r\n";
    }
    if (text.isEmpty())
        return true;
    return WriteWholeFile(fileName, std::string_view(text.constData(), size_t(text.size()))).isEmpty();
}
