#pragma once
// Text for the Windows metafile format, whose text records hold one byte a character in the
// code page of the font's character set. A text is cut into runs, each written in the first of
// the common left-to-right single-byte code pages (Western, Central European, Cyrillic, Greek,
// Turkish, Baltic) that holds all its characters. Blanks that no code page holds (the narrow
// no-break space of French grouping, thin spaces) become the code page's no-break space: a
// blank draws nothing, and its advance is written beside it. What no code page holds (the
// rouble and lira signs, other scripts) makes runs without a character set, which the writer
// draws in another way.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

struct TCharsetRun {
    // The run's UTF-16 units in the text.
    qsizetype From = 0;
    qsizetype Length = 0;
    // The font character set of the run and its bytes, one a UTF-16 unit; none when no code page
    // holds the run.
    std::optional<uint8_t> Charset;
    QByteArray Bytes;
};

std::vector<TCharsetRun> WindowsCharsetRuns(const QString& text);
