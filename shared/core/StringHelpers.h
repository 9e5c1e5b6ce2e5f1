#pragma once
// Texts that documents store, written and read the same way whatever the user's locale; the
// program's version; safe file names; font styles from text.

#include "shared/core/DateTime.h"
#include "shared/core/FontStyles.h"
#include "shared/core/Guid.h"

#include <QString>
#include <QStringList>

// 0 gives ""; else year, month and day right-aligned in fields of 4, 2 and 2 characters, padded
// with blanks ("2024 3 5"). The time of day is dropped.
QString DateToYMDString(TDateTime date);
// The reverse, at midnight; "" and every text that is not such a date give 0. Never raises.
TDateTime YMDStringToDate(const QString& text);

// At most 15 significant digits, '.' as decimal separator, no trailing zeros, fixed notation
// from 1E-4 up to below 1E15 and "1.5E20" / "1E-7" beyond. Raises EConvertError for inf and nan.
QString FloatToInvariantString(double value);
// The shortest text that reads back to exactly the same double, in the same notation.
// Raises EConvertError for inf and nan.
QString FloatToRoundTripString(double value);
// Reads fixed and scientific notation with '.'; surrounding blanks and a leading '+' are allowed.
// Raises EConvertError for anything else, for inf and nan, and for values beyond the double range.
double InvariantStringToFloat(const QString& text);

// "major[.minor[.release[.build]]]" with partCount parts (1 or less: the major part alone).
QString GetProgramVersion(int partCount);
bool IsPreReleaseBuild();

inline TGuid IfThenGuid(bool condition, const TGuid& trueValue, const TGuid& falseValue)
{
    return condition ? trueValue : falseValue;
}

// Every character of Path::GetInvalidPathChars becomes '_', the result is cut to 70 characters
// (never inside a surrogate pair), and an empty result becomes "_".
QString SanitizeFileName(const QString& text);
// A file name chosen for a type of file: kept when its extension is one of `extensions` (any
// letter case), else typeExtension is added ("wildcat v2.5" -> "wildcat v2.5.qdn"), so that the
// file is listed under its type again. An empty typeExtension keeps every name.
QString WithTypeExtension(const QString& fileName, const QStringList& extensions, const QString& typeExtension);
// Case-sensitive; an empty prefix always matches. With strip, a matching prefix is removed from s.
bool HasPrefix(QString& s, const QString& prefix, bool strip);
// Bold, Italic, Underline and StrikeOut for each of those words found anywhere, in any case.
TFontStyles StringToFontStyles(const QString& text);
