#include <gtest/gtest.h>

#include <string>

#include "base/text.h"

namespace orv {
namespace {

constexpr char16_t kBad = 0xFFFD;

TEST(Text, ValidTextRoundTrips) {
  const std::string samples[] = {"", "Backup", "\xC3\xA4nderung \xC3\x9F",  // "änderung ß"
                                 "\xE2\x82\xAC 5",                          // "€ 5"
                                 "x\xF0\x9F\x98\x80y",                      // U+1F600
                                 "\xF4\x8F\xBF\xBF", std::string("a\0b", 3)};
  for (const std::string& s : samples) EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s) << s;
  EXPECT_EQ(Utf8ToUtf16("\xC3\xA4\xE2\x82\xAC"), (std::u16string{0xE4, 0x20AC}));
  EXPECT_EQ(Utf8ToUtf16("x\xF0\x9F\x98\x80"), (std::u16string{u'x', 0xD83D, 0xDE00}));
  EXPECT_EQ(Utf16Length("x\xF0\x9F\x98\x80"), 3u);
  EXPECT_EQ(Utf16Length("\xC3\xA4" "1:00"), 5u);
}

TEST(Text, TruncatedAndStrayBytesBecomeReplacementCharacters) {
  // A sequence cut off at the end of the text.
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), (std::u16string{u'a', kBad}));
  EXPECT_EQ(Utf8ToUtf16("a\xE2\x82"), (std::u16string{u'a', kBad}));
  EXPECT_EQ(Utf8ToUtf16("a\xF0\x9F\x98"), (std::u16string{u'a', kBad}));
  // Cut off by a character that is not a continuation byte: that character survives.
  EXPECT_EQ(Utf8ToUtf16("\xC3(b"), (std::u16string{kBad, u'(', u'b'}));
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82" "A"), (std::u16string{kBad, u'A'}));
  EXPECT_EQ(Utf8ToUtf16("\xE2\xC3\xA4"), (std::u16string{kBad, 0xE4}));
  // Lone continuation bytes and bytes that never start a sequence.
  EXPECT_EQ(Utf8ToUtf16("\x80"), (std::u16string{kBad}));
  EXPECT_EQ(Utf8ToUtf16("a\xBF" "b"), (std::u16string{u'a', kBad, u'b'}));
  EXPECT_EQ(Utf8ToUtf16("\xFF\xFE"), (std::u16string{kBad, kBad}));
}

// Overlong forms, encoded surrogates and code points past U+10FFFF must not decode to anything
// but replacement characters; the text around them survives.
TEST(Text, ForbiddenSequencesNeverDecode) {
  const char* forbidden[] = {"\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xE0\x9F\xBF",
                             "\xF0\x80\x80\xAF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80",
                             "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF"};
  for (const char* f : forbidden) {
    const std::u16string w = Utf8ToUtf16(std::string("<") + f + ">");
    ASSERT_GE(w.size(), 3u) << f;
    EXPECT_EQ(w.front(), u'<');
    EXPECT_EQ(w.back(), u'>');
    for (std::size_t i = 1; i + 1 < w.size(); ++i) EXPECT_EQ(w[i], kBad) << f;
  }
}

TEST(Text, UnpairedSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00, u'b'}), "\xEF\xBF\xBD" "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, u'x', 0xDE00}),
            "\xEF\xBF\xBD" "x\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDE00, 0xD83D}), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, 0xD83D, 0xDE00}),
            "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

TEST(Text, NamesCompareWithoutRegardToCase) {
  EXPECT_TRUE(NamesEqual("Backup", "BACKUP"));
  EXPECT_TRUE(NamesEqual("\xC3\x84nderung", "\xC3\xA4nderung"));  // Änderung, änderung
  EXPECT_TRUE(NamesEqual("\xC3\x96L \xC3\x9C", "\xC3\xB6l \xC3\xBC"));  // ÖL Ü, öl ü
  EXPECT_TRUE(NamesEqual("", ""));
  EXPECT_FALSE(NamesEqual("Backup", "Backup2"));
  EXPECT_FALSE(NamesEqual("\xC3\xA4", "a"));
  EXPECT_FALSE(NamesEqual("\xC3\xB7", "\xC3\x97"));  // ÷ and × are not a letter pair

  EXPECT_TRUE(NameLess("alpha", "Beta"));
  EXPECT_FALSE(NameLess("Beta", "alpha"));
  EXPECT_TRUE(NameLess("Back", "backup"));
  EXPECT_FALSE(NameLess("Backup", "BACKUP"));
  EXPECT_FALSE(NameLess("BACKUP", "Backup"));
  EXPECT_TRUE(NameLess("zeta", "\xC3\xA4nderung"));  // Latin-1 letters after ASCII
}

}  // namespace
}  // namespace orv
