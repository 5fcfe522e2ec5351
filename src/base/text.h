#pragma once
// Text helpers: stored names are 8-bit (one byte, one Latin-1 character); the program works in UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace vexa {

// Each byte becomes one character.
std::string latin1ToUtf8(std::string_view bytes);
// The reverse; nullopt when a character has no single-byte form.
std::optional<std::string> utf8ToLatin1(std::string_view text);

std::string toUpperAscii(std::string_view text);
std::string toLowerAscii(std::string_view text);
bool equalsNoCase(std::string_view a, std::string_view b);

// The extension of a name: from the last "." of its final component (after the last "\" or "/"),
// the dot included; empty when there is none.
std::string extensionOf(std::string_view name);
// The name with its extension replaced (or added, when it has none).
std::string replaceExtension(std::string_view name, std::string_view newExtension);

// text with its control characters shown escaped ("\x1b", "\n", "\u009b" for a C1 control), so a
// stored name printed to a terminal or a status line is one line and sends it no commands.
std::string printableText(std::string_view text);

// Wildcard match of a file-name mask ("*.bm", "*bm", "?"), without regard to letter case.
bool matchesMask(std::string_view name, std::string_view mask);

} // namespace vexa
