#pragma once
// The library's null string: a null QString, distinct from the empty string "". Texts that come
// from older documents may carry the null string as two NUL characters; they count as null too.

#include <QString>

inline const QString NullString{};

inline bool IsNullString(const QString& s)
{
    return s.isNull() || (s.size() == 2 && s[0].unicode() == 0 && s[1].unicode() == 0);
}
