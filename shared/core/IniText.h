#pragma once
// The text of an INI file as QSettings writes and reads it, turned into entries and back in
// memory: the settings store reads and writes its file through no other file.
//
// An entry's name is its key path ("SOFTWARE/Orvanta/Name"): the first segment is the section
// ("[SOFTWARE]"), the others the key with '\' between them; a name without '/' stands in the
// section "General". Names are escaped as QSettings escapes them ("File 0" is "File%200", "€"
// is "%U20AC"), texts as it escapes strings (quoted when they hold ',', ';' or '=' or start or
// end with a blank; backslash escapes for quotes, backslashes and control characters; UTF-8).
// Render answers the bytes QSettings would write for the same entries, and Parse reads every text
// QSettings reads as a string, the way it reads it: comments, blanks, quotes, escapes and line
// continuations of a file edited by hand, byte-order marks, sections of one name in several
// places. A value QSettings reads as anything else (a list, a typed value such as
// "@ByteArray(...)", a "@Variant(...)" of anything but a string) is left out, and so is a name
// that no question to QSettings reaches ("a//b", "/a").

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>

namespace IniText {

// Full entry name -> text.
using TEntries = QMap<QString, QString>;

TEntries Parse(QByteArrayView text);
QByteArray Render(const TEntries& entries);

} // namespace IniText
