// ENDOOM screens, Descent's hidden briefings and text by content, turned into UTF-8.

#include "base/errors.h"
#include "media/code_page.h"
#include "media/endoom.h"
#include "media/media_builders.h"
#include "media/txb.h"

#include <gtest/gtest.h>

#include <set>

namespace vexa {
namespace {

using test::Bytes;

Bytes bytes(std::string_view text) {
    return test::bytesOf(text);
}

TEST(CodePage437, EveryByteHasItsOwnCharacter) {
    const std::vector<std::pair<std::uint8_t, char32_t>> known = {
        {0x00, U' '},      {0x01, U'\u263A'}, {0x03, U'\u2665'}, {0x0A, U'\u25D9'}, {0x1F, U'\u25BC'},
        {0x41, U'A'},      {0x7F, U'\u2302'}, {0x80, U'\u00C7'}, {0x9F, U'\u0192'}, {0xB0, U'\u2591'},
        {0xC5, U'\u253C'}, {0xCD, U'\u2550'}, {0xDB, U'\u2588'}, {0xE0, U'\u03B1'}, {0xE3, U'\u03C0'},
        {0xFE, U'\u25A0'}, {0xFF, U'\u00A0'},
    };
    for (const auto& [byte, character] : known)
        EXPECT_EQ(cp437Glyph(byte), character) << int(byte);
    // Only NUL shares a character (the space): a slip in the table shows as a repeat.
    std::set<char32_t> seen;
    for (int byte = 1; byte < 256; ++byte)
        EXPECT_TRUE(seen.insert(cp437Glyph(static_cast<std::uint8_t>(byte))).second) << byte;
}

TEST(TextByContent, SaysWhatIsTextAndInWhichCodePage) {
    struct Case {
        std::string name;
        Bytes bytes;
        bool text;
    };
    const std::vector<Case> cases = {
        {"plain", bytes("Hello, world."), true},
        {"tab, form feed and both line ends", bytes("a\tb\fc\r\nd\n"), true},
        {"end-of-file marks at the end", bytes("The end.\r\n\x1A\x1A"), true},
        {"high bytes", bytes("caf\xE9 \xC9\xCD\xBB"), true},
        {"an end-of-file mark inside",
         bytes("Creative Voice File\x1A"
               "data"),
         false},
        {"NUL", Bytes{'a', 0, 'b'}, false},
        {"escape", bytes("\x1B[0m"), false},
        {"delete", bytes("a\x7F"), false},
        {"empty", {}, false},
        {"end-of-file marks alone", bytes("\x1A"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(looksLikeText(c.bytes), c.text) << c.name;

    struct Guess {
        std::string name;
        Bytes bytes;
        CodePage page;
    };
    const std::vector<Guess> guesses = {
        {"ASCII", bytes("plain"), CodePage::Latin1},
        {"Latin-1 accents", bytes("caf\xE9 \xE0 la cr\xE8me"), CodePage::Latin1},
        {"437 accents, where Latin-1 has none", bytes("caf\x82"), CodePage::Cp437},
        {"box drawing", bytes("\xC9\xCD\xCD\xBB\r\n\xBA  \xBA"), CodePage::Cp437},
        {"more letters than boxes", bytes("\xC9t\xE9 \xE0"), CodePage::Latin1},
    };
    for (const auto& g : guesses)
        EXPECT_EQ(likelyCodePage(g.bytes), g.page) << g.name;

    struct Conversion {
        Bytes bytes;
        CodePage page;
        std::string utf8;
    };
    const std::vector<Conversion> conversions = {
        {bytes("a\tb\r\n\x01\f\x1A\x1A"), CodePage::Cp437, "a\tb\r\n\u263A\f"},
        {bytes("caf\x82 \xC9\xCD\xBB \x7F"), CodePage::Cp437, "caf\u00E9 \u2554\u2550\u2557 \u2302"},
        {Bytes{'a', 0, 'b'}, CodePage::Cp437, "a b"},
        {bytes("caf\xE9\x1A"), CodePage::Latin1, "caf\u00E9"},
        {bytes("\x82\xFF"), CodePage::Latin1, "\u0082\u00FF"},
    };
    for (const auto& c : conversions)
        EXPECT_EQ(textToUtf8(c.bytes, c.page), c.utf8);
}

TEST(Endoom, TwentyFiveLinesInCodePage437WithoutTrailingSpaces) {
    Bytes full(80, 'x');
    full.back() = 0xDB;
    const auto screen = test::endoomScreen({
        {0, bytes("\x01 Freedoom")},
        {1, bytes("\xC9\xCD\xBB   ")},
        {2, Bytes{'a', 0, 'b', 0, 0}},
        {3, bytes("\x82\xE1\xFF")},
        {24, full},
    });
    ASSERT_TRUE(isEndoom(screen));
    std::string expected = "\u263A Freedoom\n\u2554\u2550\u2557\na b\n\u00E9\u00DF\u00A0\n";
    for (int row = 4; row < 24; ++row)
        expected += "\n";
    expected += std::string(79, 'x') + "\u2588\n";
    EXPECT_EQ(endoomToText(screen, "ENDOOM"), expected);
}

TEST(Endoom, EachCellGivesItsCharacterAndColours) {
    auto screen = test::endoomScreen({{0, Bytes{0x01}}, {24, Bytes(80, 0xB1)}});
    screen[1] = 0x9E;            // blinking yellow on blue
    screen[2 * 2000 - 1] = 0x4F; // bright white on red, the last cell
    const auto first = endoomCell(screen, 0, 0, "x");
    EXPECT_EQ(first.character, U'\u263A');
    EXPECT_EQ(first.foreground, 14);
    EXPECT_EQ(first.background, 1);
    EXPECT_TRUE(first.blink);
    const auto last = endoomCell(screen, 24, 79, "x");
    EXPECT_EQ(last.character, U'\u2592');
    EXPECT_EQ(last.foreground, 15);
    EXPECT_EQ(last.background, 4);
    EXPECT_FALSE(last.blink);
    EXPECT_EQ(endoomCell(screen, 1, 0, "x").foreground, 7);
    EXPECT_THROW(endoomCell(screen, 25, 0, "x"), Error);
    EXPECT_THROW(endoomCell(screen, 0, 80, "x"), Error);
}

TEST(Endoom, RefusesAnyOtherSize) {
    for (const std::size_t size : {0, 3999, 4001}) {
        const Bytes bytes(size, ' ');
        EXPECT_FALSE(isEndoom(bytes)) << size;
        try {
            (void)endoomToText(bytes, "doom.wad: entry 5 'ENDOOM'");
            ADD_FAILURE() << size << " bytes were decoded";
        } catch (const FormatError& e) {
            EXPECT_EQ(std::string(e.what()), "doom.wad: entry 5 'ENDOOM': " + std::to_string(size) +
                                                 " bytes are no text screen of 4000 bytes");
        }
    }
}

TEST(Txb, HandEncodedLinesDecodeToTheirText) {
    // Each byte but the line end: rotated right one bit, XOR 0xD3, rotated right again.
    const Bytes encoded = {0xE0, 0x39, 0xA5, 0xE1, 0x7D, 0xB0, 0xF0, 0xE1, 0xB9, 0xF2, 0xB0, 0x75,
                           0xF4, 0xA1, 0x0A, 0x39, 0xB1, 0x70, 0x49, 0xE1, 0x9B, 0x9A, 0x07, 0x0A};
    ASSERT_TRUE(isTxb(encoded));
    EXPECT_EQ(txbToText(encoded, "BRIEFING.TXB"), "$C1 Red Alert!\nCaf\u00E9 \u2554\u2550\u2557\n");
    EXPECT_EQ(decodeTxbByte(0x0A), 0x0A);
    EXPECT_EQ(decodeTxbByte(0xE0), '$');
    // Plain text is no briefing: decoded, its '.', 'i', 'n' and 'o' become control bytes.
    EXPECT_FALSE(isTxb(bytes("Descent mission briefing.\n")));
    EXPECT_FALSE(isTxb({}));
    EXPECT_EQ(txbToText({}, "x"), "");
}

} // namespace
} // namespace vexa
