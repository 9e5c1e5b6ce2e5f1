#pragma once
// Checking that the bytes of a text file are well-formed UTF-8 before a parser takes them. The
// XML layer passes malformed bytes through and the conversion to QString replaces them, so a
// file in another encoding would load with its accented letters silently changed, and the next
// save would write the changed text over it.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <string_view>

class TUtf8Check {
public:
    // Takes the next piece of the file; answers false once a malformed sequence is found (all
    // later calls then answer false as well).
    bool Feed(const char* data, size_t size);
    // After the last piece: false when the file ends inside a sequence.
    bool Finish();
    bool Failed() const { return FFailed; }
    // The position of the first byte of the malformed sequence: 0-based byte offset, 1-based line,
    // 1-based column in characters.
    uint64_t ErrorOffset() const { return FErrorOffset; }
    uint64_t ErrorLine() const { return FErrorLine; }
    uint64_t ErrorColumn() const { return FErrorColumn; }
    // "The file is not valid UTF-8 text: the bytes at line 3, column 7 (byte offset 52) are not a
    // UTF-8 character."
    QString ErrorMessage() const;

    // Whether bytes, the whole text or at least its first kilobyte, are to be taken as UTF-8 by
    // the XML layer: false for text with a UTF-16 or UTF-32 byte order mark or layout, and for a
    // declaration that names ISO-8859-1 (latin1), which the XML layer converts itself. Any other
    // declared encoding is read as UTF-8 by it, so such text must be UTF-8 too.
    static bool ReadAsUtf8(std::string_view head);

private:
    bool Fail();
    // Past the plain ASCII at p, a word at a time, with the line and column moved on.
    const uint8_t* SkipAscii(const uint8_t* p, const uint8_t* end);

    uint64_t FOffset = 0;   // bytes taken so far
    uint64_t FLine = 1;
    uint64_t FColumn = 0;   // characters begun on the current line
    int FNeed = 0;          // continuation bytes still expected
    uint8_t FLow = 0x80, FHigh = 0xBF; // range of the next continuation byte
    // Where the character under way began; set only for characters taken one byte at a time,
    // which every malformed one is.
    uint64_t FStart = 0, FStartLine = 1, FStartColumn = 1;
    bool FFailed = false;
    uint64_t FErrorOffset = 0, FErrorLine = 0, FErrorColumn = 0;
};
