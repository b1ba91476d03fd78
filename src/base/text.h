// Text helpers shared by every layer: UTF-8 <-> UTF-16 and the registry's case-blind name
// comparison. Internally every text is UTF-8.
#pragma once

#include <string>

namespace orv {

// Invalid UTF-8 sequences become U+FFFD; never reads outside the input.
std::u16string Utf8ToUtf16(const std::string& utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& utf16);
std::size_t Utf16Length(const std::string& utf8);

// Registry names compare without regard to letter case (ASCII and the Latin-1 letters, which is
// what task names and file paths on a German system hold).
std::u16string FoldCase(const std::string& utf8);
bool NamesEqual(const std::string& a, const std::string& b);
bool NameLess(const std::string& a, const std::string& b);

}  // namespace orv
