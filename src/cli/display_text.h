#pragma once

#include <string>
#include <string_view>

namespace tarvix::cli {

// An entry's path as text output shows it: the Unicode (UTF-8) form of its Windows-1252
// bytes, as the window shows it, except that control characters (C0, DEL and the C1 ones the
// code page leaves undefined) become '?'. A name from an archive can then neither break a
// line in two nor send escape sequences to a terminal, and used as a pattern it still
// selects its entry. --json gives the exact name.
std::string DisplayPath(std::string_view cp1252Name);
void AppendDisplayPath(std::string& out, std::string_view cp1252Name);

// A line of UTF-8 text made from archive names (a problem or failure report) with its control
// characters as '?', for the same reasons.
std::string PrintableLine(std::string_view utf8);

// A command-line argument quoted for a message: 'text', with bytes that are not printable
// ASCII or UTF-8 letters shown as \xNN.
std::string QuoteArgument(std::string_view arg);

}  // namespace tarvix::cli
