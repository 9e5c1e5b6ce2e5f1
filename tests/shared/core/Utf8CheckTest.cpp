#include "shared/core/Utf8Check.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

// Each text is checked whole and byte by byte (as pieces of a file split a character).
TEST(Utf8CheckTest, FindsTheFirstMalformedCharacterWhereverThePiecesEnd)
{
    const struct { std::string text; uint64_t line, column, offset; } cases[] = {
        {"ok \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n\xF4\x8F\xBF\xBF", 0, 0, 0},
        {"a\nbc\xC3(", 2, 3, 4},          // a lead byte without its continuation
        {"\xC0\xAF", 1, 1, 0},            // overlong form of '/'
        {"x\xE0\x80\xAF", 1, 2, 1},       // overlong three-byte form
        {"\xED\xA0\x80", 1, 1, 0},        // a UTF-16 surrogate
        {"\xF4\x90\x80\x80", 1, 1, 0},    // past U+10FFFF
        {"\xC3\xA9\xE2\x82", 1, 2, 2},    // the text ends inside a character
    };
    for (const auto& c : cases) {
        TUtf8Check whole, bytewise;
        const bool wholeOk = whole.Feed(c.text.data(), c.text.size()) && whole.Finish();
        bool bytesOk = true;
        for (char ch : c.text)
            bytesOk = bytewise.Feed(&ch, 1) && bytesOk;
        bytesOk = bytewise.Finish() && bytesOk;
        EXPECT_EQ(wholeOk, c.line == 0) << c.text;
        EXPECT_EQ(bytesOk, wholeOk) << c.text;
        for (const TUtf8Check* check : {&whole, &bytewise}) {
            EXPECT_EQ(check->ErrorLine(), c.line) << c.text;
            EXPECT_EQ(check->ErrorColumn(), c.column) << c.text;
            EXPECT_EQ(check->ErrorOffset(), c.offset) << c.text;
        }
    }
    EXPECT_FALSE(TUtf8Check::ReadAsUtf8(std::string("<?xml version='1.0' encoding='ISO-8859-1'?>")));
    EXPECT_FALSE(TUtf8Check::ReadAsUtf8(std::string("\xFF\xFE<\0", 4)));
    EXPECT_TRUE(TUtf8Check::ReadAsUtf8(std::string("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"windows-1252\"?>")));
}

// Long runs of plain ASCII are taken in words; one byte at a time they never are. Both must give
// the same verdict and position, wherever the line breaks, the characters and the pieces fall.
TEST(Utf8CheckTest, RunsOfAsciiTakenInWordsGiveTheBytewiseResult)
{
    std::mt19937 rng(5);
    const std::vector<std::string> characters = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xED\x9F\xBF"};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        while (text.size() < 200) {
            for (int n = int(rng() % 40); n > 0; --n)
                text += rng() % 9 == 0 ? '\n' : char(' ' + rng() % 95);
            if (rng() % 2)
                text += characters[rng() % characters.size()];
        }
        if (rng() % 3 == 0)
            text[rng() % text.size()] = char(0x80 + rng() % 0x80);
        else if (rng() % 4 == 0)
            text.resize(text.size() - 1 - rng() % 3);
        TUtf8Check words, bytes;
        bool wordsOk = true, bytesOk = true;
        for (size_t at = 0; at < text.size();) {
            const size_t n = std::min<size_t>(rng() % 64, text.size() - at);
            wordsOk = words.Feed(text.data() + at, n) && wordsOk;
            at += n;
        }
        for (char ch : text)
            bytesOk = bytes.Feed(&ch, 1) && bytesOk;
        ASSERT_EQ(words.Finish() && wordsOk, bytes.Finish() && bytesOk) << text;
        ASSERT_EQ(words.ErrorOffset(), bytes.ErrorOffset()) << text;
        ASSERT_EQ(words.ErrorLine(), bytes.ErrorLine()) << text;
        ASSERT_EQ(words.ErrorColumn(), bytes.ErrorColumn()) << text;
    }
}
