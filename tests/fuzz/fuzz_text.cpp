// Fuzz target: the conversions that registry texts and numbers go through.
//
// Byte 0 (modulo 8) chooses the conversion, the rest is its input:
//   0  ConvertToInt (the countdown texts the minute tick counts down)
//   1  time texts: TimeOfText / TimeText, GetMinutes and GetDateOver on two texts split at the
//      first line feed, in and out of the due-check mode
//   2  TimeText of any double (8 bytes, little-endian)
//   3  OLE dates: DecodeDateTime / EncodeDateTime / DayOfWeek / AddMinutes of any double, and
//      FormatDateTime with the rest as its pattern
//   4  EncodeDate of any three 32-bit numbers
//   5  UTF-8 -> UTF-16 -> UTF-8
//   6  UTF-16 -> UTF-8 -> UTF-16, and registry strings (DecodeRegString / EncodeRegString)
//   7  key paths (NormaliseKeyPath), the case-blind name comparison, FilterTaskName
// Each result is checked against an invariant; a conversion may fail only with ConvertError.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "base/datetext.h"
#include "engine/engine.h"
#include "store/registry.h"
#include "support/registry_memory.h"
#include "engine/task_store.h"
#include "base/text.h"
#include "support/settable_clock.h"
#include "support/test_locale.h"

namespace orv {
namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "fuzz_text: %s %s\n", what, detail.c_str());
  std::abort();
}
#define CHECK(cond, detail)                    \
  do {                                         \
    if (!(cond)) Fail("CHECK " #cond, detail); \
  } while (0)

template <class T>
T Take(std::string_view& in) {
  unsigned char bytes[sizeof(T)] = {};
  const std::size_t n = in.size() < sizeof(T) ? in.size() : sizeof(T);
  std::memcpy(bytes, in.data(), n);
  in.remove_prefix(n);
  T v;
  std::memcpy(&v, bytes, sizeof v);
  return v;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Well-formed UTF-8: shortest forms, no surrogates, nothing above U+10FFFF.
bool ValidUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    int n;
    char32_t cp, min;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      n = 1, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      n = 2, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      n = 3, cp = b & 0x07, min = 0x10000;
    } else {
      return false;
    }
    for (std::size_t k = 1; k <= static_cast<std::size_t>(n); ++k) {
      if (i + k >= s.size()) return false;
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += static_cast<std::size_t>(n) + 1;
  }
  return true;
}

// The engine that the time-text routines belong to; they read no registry and no clock.
struct TimeEngine {
  MemoryRegistry registry;
  SettableClock clock;
  GermanTestLocale locale;
  MessageTable messages;
  Engine engine{registry, clock, locale, messages};
};

template <class F>
bool Converts(const char* what, F&& f) {
  try {
    f();
    return true;
  } catch (const ConvertError&) {
    return false;
  } catch (const std::exception& e) {
    Fail(what, std::string("raised ") + typeid(e).name() + ": " + e.what());
  }
}

void ConvertToIntCase(const std::string& text) {
  const std::string r = Engine::ConvertToInt(text);
  CHECK(!r.empty() && std::all_of(r.begin(), r.end(), IsDigit), r);
  std::string digits;
  std::uint64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) continue;
    digits.push_back(c);
    value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c - '0'), 1ULL << 40);
  }
  if (digits.empty() || value > 2147483647ULL)
    CHECK(r == "0", r);
  else
    CHECK(r == digits, r);
  // The minute tick counts down what ConvertToInt leaves: it must fit.
  try {
    CHECK(std::stoll(r) == (r == "0" ? 0 : static_cast<long long>(value)), r);
  } catch (const std::exception&) {
    Fail("stoll of ConvertToInt", r);
  }
}

// Minutes of a valid "hh:mm" text, -1 for anything else.
int ValidMinutes(const std::string& text) {
  double t = 0;
  if (text.size() != 5 || !Converts("TimeOfText", [&] { t = Engine::TimeOfText(text); })) return -1;
  return static_cast<int>(std::lround(t * 1440));
}

void TimeTextCase(const std::string& input) {
  const std::size_t nl = input.find('\n');
  const std::string a = input.substr(0, nl);
  const std::string b = nl == std::string::npos ? a : input.substr(nl + 1);

  double t = -1;
  if (Converts("TimeOfText", [&] { t = Engine::TimeOfText(a); })) {
    CHECK(t >= 0 && t < 1, a);
    const std::string back = Engine::TimeText(t);
    CHECK(back.size() == 5, back);
    if (a.size() == 5) CHECK(back == a, a + " -> " + back);
  }

  static TimeEngine e;
  for (bool due : {false, true}) {
    e.engine.SetDueCheckMode(due);
    int minutes = -1;
    const bool okMinutes = Converts("GetMinutes", [&] { minutes = e.engine.GetMinutes(a, b); });
    bool over = false;
    const bool okOver = Converts("GetDateOver", [&] { over = e.engine.GetDateOver(a, b); });
    if (Utf16Length(a) != 5 || Utf16Length(b) != 5) CHECK(okOver && !over, a + "|" + b);
    const int ta = ValidMinutes(a), tb = ValidMinutes(b);
    if (ta >= 0 && tb >= 0) {
      CHECK(okMinutes && okOver, a + "|" + b);
      const int d = ((ta - tb) % 1440 + 1440) % 1440;
      CHECK(minutes == (d == 0 && !due ? 1439 : d), a + "|" + b + " " + std::to_string(minutes));
      CHECK(over == (due ? tb > ta : tb >= ta), a + "|" + b);
    }
  }
  e.engine.SetDueCheckMode(false);
}

void TimeOfDoubleCase(std::string_view in) {
  const double x = Take<double>(in);
  const std::string text = Engine::TimeText(x);
  CHECK(text.size() == 5 && text[2] == ':', text);
  const int m = ValidMinutes(text);
  CHECK(m >= 0, text);
  CHECK(Engine::TimeText(Engine::TimeOfText(text)) == text, text);
}

bool SameTime(const LocalTime& a, const LocalTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second && a.millisecond == b.millisecond;
}

std::string Show(const LocalTime& t) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "%d-%d-%d %d:%d:%d.%d", t.year, t.month, t.day, t.hour, t.minute,
                t.second, t.millisecond);
  return buf;
}

void OleCase(std::string_view in) {
  const double x = Take<double>(in);
  const std::int32_t minutes = Take<std::int32_t>(in);
  const LocalTime t = DecodeDateTime(x);
  CHECK(IsValidDate(t.year, t.month, t.day), Show(t));
  CHECK(t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
            t.second < 60 && t.millisecond >= 0 && t.millisecond < 1000,
        Show(t));
  double y = 0;
  CHECK(Converts("EncodeDateTime", [&] { y = EncodeDateTime(t); }), Show(t));
  CHECK(SameTime(DecodeDateTime(y), t), Show(t) + " -> " + Show(DecodeDateTime(y)));
  // Within the years 1 to 9999 the moment comes back to the millisecond. Before the epoch the
  // fraction counts forward from the day's midnight, so moments compare on a linear scale.
  const auto linear = [](double d) {
    const double whole = std::trunc(d);
    return whole + std::fabs(d - whole);
  };
  if (x >= -693593.0 && x <= 2958465.0)
    CHECK(std::fabs(linear(y) - linear(x)) < 2e-8, Show(t));
  const int w = DayOfWeek(x);
  CHECK(w >= 1 && w <= 7, std::to_string(w));
  CHECK(w == DayOfWeek(EncodeDate(t.year, t.month, t.day)), Show(t));
  const long long ms = TimeOfDayMs(x);
  CHECK(ms >= 0 && ms < 86400000LL, std::to_string(ms));

  const LocalTime later = AddMinutes(t, minutes);
  CHECK(SameTime(AddMinutes(later, -static_cast<long long>(minutes)), t), Show(t));

  const std::string pattern(in);
  std::string text;
  CHECK(Converts("FormatDateTime", [&] { text = FormatDateTime(pattern, t); }), pattern);
  GermanTestLocale locale;
  CHECK(locale.ShortDate(x).size() == 10, locale.ShortDate(x));
}

void EncodeDateCase(std::string_view in) {
  const std::int32_t y = Take<std::int32_t>(in), m = Take<std::int32_t>(in),
                     d = Take<std::int32_t>(in);
  double v = 0;
  if (!Converts("EncodeDate", [&] { v = EncodeDate(y, m, d); })) {
    CHECK(!IsValidDate(y, m, d), std::to_string(y));
    return;
  }
  const LocalTime t = DecodeDateTime(v);
  CHECK(t.year == y && t.month == m && t.day == d && t.hour == 0 && t.minute == 0, Show(t));
}

void Utf8Case(const std::string& text) {
  const std::u16string wide = Utf8ToUtf16(text);
  const std::string back = Utf16ToUtf8(wide);
  CHECK(ValidUtf8(back), back);
  CHECK(Utf16Length(text) == wide.size(), text);
  if (ValidUtf8(text)) CHECK(back == text, text);
  CHECK(Utf8ToUtf16(back) == wide, text);
  const std::u16string folded = FoldCase(text);
  CHECK(FoldCase(Utf16ToUtf8(folded)) == folded, text);
  CHECK(NamesEqual(text, Utf16ToUtf8(folded)), text);
}

void Utf16Case(std::string_view in) {
  std::u16string wide;
  std::vector<std::uint8_t> bytes(in.begin(), in.end());
  for (std::size_t i = 0; i + 1 < in.size(); i += 2)
    wide.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
  const std::string utf8 = Utf16ToUtf8(wide);
  CHECK(ValidUtf8(utf8), utf8);
  // Unpaired surrogates become U+FFFD; everything else comes back as it was.
  std::u16string expected;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const char16_t c = wide[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      expected.push_back(c);
      expected.push_back(wide[++i]);
    } else {
      expected.push_back(c >= 0xD800 && c <= 0xDFFF ? u'\xFFFD' : c);
    }
  }
  CHECK(Utf8ToUtf16(utf8) == expected, utf8);

  const std::string reg = DecodeRegString(bytes);
  CHECK(ValidUtf8(reg) && reg.find('\0') == std::string::npos, reg);
  const std::vector<std::uint8_t> encoded = EncodeRegString(reg);
  CHECK(encoded.size() >= 2 && encoded.size() % 2 == 0 && encoded[encoded.size() - 1] == 0 &&
            encoded[encoded.size() - 2] == 0,
        reg);
  CHECK(DecodeRegString(encoded) == reg, reg);
}

void NamesCase(const std::string& input) {
  if (const auto norm = NormaliseKeyPath(input)) {
    const std::string& p = *norm;
    CHECK(!p.empty() && p.front() != '\\' && p.back() != '\\' && p.find("\\\\") == std::string::npos,
          p);
    CHECK(NormaliseKeyPath(p) == norm, p);
    CHECK(NormaliseKeyPath("\\" + p + "\\") == norm, p);
  }
  const std::size_t nl = input.find('\n');
  const std::string a = input.substr(0, nl);
  const std::string b = nl == std::string::npos ? std::string() : input.substr(nl + 1);
  CHECK(NamesEqual(a, b) == NamesEqual(b, a), a);
  CHECK(!NameLess(a, a), a);
  CHECK(!(NameLess(a, b) && NameLess(b, a)), a);
  CHECK(NamesEqual(a, b) == (!NameLess(a, b) && !NameLess(b, a)), a);

  const std::string name = FilterTaskName(input);
  CHECK(name.size() <= 30 && FilterTaskName(name) == name, name);
}

}  // namespace
}  // namespace orv

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view in(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string text(in);
  switch (data[0] % 8) {
    case 0: orv::ConvertToIntCase(text); break;
    case 1: orv::TimeTextCase(text); break;
    case 2: orv::TimeOfDoubleCase(in); break;
    case 3: orv::OleCase(in); break;
    case 4: orv::EncodeDateCase(in); break;
    case 5: orv::Utf8Case(text); break;
    case 6: orv::Utf16Case(in); break;
    default: orv::NamesCase(text); break;
  }
  return 0;
}
