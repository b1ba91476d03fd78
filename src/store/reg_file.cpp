#include "store/reg_file.h"

#include <cstdio>
#include <map>
#include <set>

#include "base/text.h"
#include "store/registry.h"
#include "store/task_record.h"

namespace orv {

RegFileError::RegFileError(std::size_t line, const std::string& reason)
    : std::runtime_error(line == 0 ? reason : "Zeile " + std::to_string(line) + ": " + reason),
      line_(line) {}

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
constexpr const char* kRoot = "HKEY_CURRENT_USER";
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxValueNameChars = 16383;
constexpr std::size_t kDateBytes = 8;

[[noreturn]] void Refuse(std::size_t line, const std::string& reason) {
  throw RegFileError(line, reason);
}

std::string TypeName(std::uint32_t type) {
  switch (type) {
    case kRegSz: return "Text (REG_SZ)";
    case kRegExpandSz: return "erweiterbarer Text (REG_EXPAND_SZ)";
    case kRegBinary: return "Binärwert (REG_BINARY)";
    case kRegDword: return "DWORD (REG_DWORD)";
    case kRegMultiSz: return "mehrteiliger Text (REG_MULTI_SZ)";
    case kRegQword: return "QWORD (REG_QWORD)";
    default: return "Typ " + std::to_string(type);
  }
}

// The components of the jobs key below HKEY_CURRENT_USER ("Software", ..., "Jobs").
std::vector<std::string> JobsPath() {
  std::vector<std::string> parts;
  std::string part;
  for (const char* p = rec::kJobsKey; *p; ++p) {
    if (*p == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += *p;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

const std::string& FilesName() {
  static const std::string name(rec::kFilesSubkey + 1);  // without its backslash
  return name;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(const std::string& s, std::size_t pos, const char* prefix) {
  for (std::size_t i = 0; prefix[i]; ++i) {
    if (pos + i >= s.size()) return false;
    char c = s[pos + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// The file's text as UTF-8 lines without their line ends. Refuses what is no UTF-16LE text:
// a missing byte order mark, an odd length, a zero character, an unpaired surrogate, a carriage
// return that ends no line.
std::vector<std::string> SplitLines(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || data[0] != 0xFF || data[1] != 0xFE)
    Refuse(0, "Die Datei ist keine Registrierungsdatei (Unicode-Text mit Byte-Order-Mark "
              "erwartet).");
  if (size % 2 != 0) Refuse(0, "Die Datei endet mitten in einem Zeichen.");
  std::vector<std::string> lines;
  std::u16string line;
  const std::size_t units = size / 2;
  const auto finish = [&] {
    for (std::size_t k = 0; k < line.size(); ++k) {
      const char16_t c = line[k];
      const std::size_t number = lines.size() + 1;
      if (c == 0) Refuse(number, "Die Zeile enthält ein Nullzeichen.");
      if (c == u'\r') Refuse(number, "Ein Wagenrücklauf ohne Zeilenvorschub.");
      if (c >= 0xD800 && c <= 0xDBFF) {
        if (k + 1 < line.size() && line[k + 1] >= 0xDC00 && line[k + 1] <= 0xDFFF) {
          ++k;
          continue;
        }
        Refuse(number, "Die Zeile enthält ein ungültiges Zeichen.");
      }
      if (c >= 0xDC00 && c <= 0xDFFF) Refuse(number, "Die Zeile enthält ein ungültiges Zeichen.");
    }
    lines.push_back(Utf16ToUtf8(line));
    line.clear();
  };
  for (std::size_t i = 1; i < units; ++i) {
    const char16_t c = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (c == u'\n') {
      if (!line.empty() && line.back() == u'\r') line.pop_back();
      finish();
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) finish();
  return lines;
}

// A quoted text starting at s[pos] == '"', with the escapes \\ and \". `pos` ends after the
// closing quote.
std::string ParseQuoted(const std::string& s, std::size_t& pos, std::size_t line,
                        const char* what) {
  std::string out;
  for (++pos; pos < s.size(); ++pos) {
    const char c = s[pos];
    if (c == '"') {
      ++pos;
      return out;
    }
    if (c == '\\') {
      if (pos + 1 >= s.size() || (s[pos + 1] != '\\' && s[pos + 1] != '"'))
        Refuse(line, std::string("Ungültige Escape-Folge im ") + what +
                         " (erlaubt sind nur \\\\ und \\\").");
      ++pos;
      out += s[pos];
    } else {
      out += c;
    }
    if (out.size() > kMaxRegValueBytes)
      Refuse(line, std::string("Der ") + what + " ist zu lang.");
  }
  Refuse(line, std::string("Dem ") + what + " fehlt das schließende Anführungszeichen.");
}

void ExpectLineEnd(const std::string& s, std::size_t pos, std::size_t line) {
  for (; pos < s.size(); ++pos)
    if (!IsBlank(s[pos])) Refuse(line, "Unerwarteter Text nach dem Wert.");
}

class Parser {
 public:
  Parser(std::vector<std::string> lines, const RegFileRules& rules)
      : lines_(std::move(lines)), rules_(rules), jobs_(JobsPath()) {
    for (std::size_t i = 0; i < rules_.taskValues.size(); ++i)
      ruleIndex_.emplace(FoldCase(rules_.taskValues[i].first), i);
  }

  std::vector<RegFileTask> Run() {
    if (lines_.empty() || Trimmed(0) != kHeader)
      Refuse(lines_.empty() ? 0 : 1,
             "Die Datei beginnt nicht mit \"" + std::string(kHeader) + "\".");
    for (index_ = 1; index_ < lines_.size(); ++index_) {
      const std::string& s = lines_[index_];
      std::size_t pos = 0;
      while (pos < s.size() && IsBlank(s[pos])) ++pos;
      if (pos == s.size() || s[pos] == ';') continue;
      if (s[pos] == '[')
        Key(s.substr(pos));
      else if (s[pos] == '"' || s[pos] == '@')
        Value(s, pos);
      else
        Refuse(Line(), "Unverständliche Zeile (erwartet: ein Schlüssel in [ ] oder ein Wert).");
    }
    return std::move(tasks_);
  }

 private:
  enum class Where { Nowhere, Jobs, Task, Files };

  std::size_t Line() const { return index_ + 1; }

  std::string Trimmed(std::size_t i) const {
    std::string s = lines_[i];
    while (!s.empty() && IsBlank(s.back())) s.pop_back();
    return s;
  }

  void Key(const std::string& text) {
    std::string s = text;
    while (!s.empty() && IsBlank(s.back())) s.pop_back();
    if (s.size() < 2 || s.back() != ']') Refuse(Line(), "Dem Schlüssel fehlt die schließende ].");
    const std::string path = s.substr(1, s.size() - 2);
    if (!path.empty() && path[0] == '-')
      Refuse(Line(), "Die Datei löscht einen Schlüssel; das übernimmt Orvalis nicht.");
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
      if (c == '\\') {
        parts.push_back(part);
        part.clear();
      } else {
        part += c;
      }
    }
    parts.push_back(part);

    bool underJobs = parts.size() > jobs_.size() && NamesEqual(parts[0], kRoot);
    for (std::size_t i = 0; underJobs && i < jobs_.size(); ++i)
      underJobs = NamesEqual(parts[i + 1], jobs_[i]);
    const std::size_t depth = underJobs ? parts.size() - jobs_.size() - 1 : 0;
    if (!underJobs || depth > 2 || (depth == 2 && !NamesEqual(parts.back(), FilesName())))
      Refuse(Line(), "Der Schlüssel \"" + path + "\" ist kein Task von Orvalis.");
    valueNames_.clear();
    if (depth == 0) {
      where_ = Where::Jobs;
      return;
    }
    const std::string& name = parts[jobs_.size() + 1];
    if (name.empty()) Refuse(Line(), "Der Schlüssel hat keinen Namen.");
    if (Utf16Length(name) > kMaxKeyNameChars)
      Refuse(Line(), "Der Name des Tasks ist länger als 255 Zeichen.");
    for (unsigned char c : name)
      if (c < 0x20 || c == 0x7F) Refuse(Line(), "Der Name des Tasks enthält ein Steuerzeichen.");

    const auto found = taskIndex_.emplace(FoldCase(name), tasks_.size());
    task_ = found.first->second;
    if (found.second) {
      if (tasks_.size() == kMaxRegFileTasks)
        Refuse(Line(), "Die Datei enthält mehr als " + std::to_string(kMaxRegFileTasks) +
                           " Tasks.");
      tasks_.push_back(RegFileTask{name, {}, false, {}});
      keySeen_.push_back(false);
    }
    const bool seen = depth == 1 ? keySeen_[task_] != 0 : tasks_[task_].hasFiles;
    if (seen) Refuse(Line(), "Der Schlüssel \"" + path + "\" kommt zweimal vor.");
    if (depth == 1)
      keySeen_[task_] = 1;
    else
      tasks_[task_].hasFiles = true;
    where_ = depth == 1 ? Where::Task : Where::Files;
  }

  void Value(const std::string& s, std::size_t pos) {
    if (s[pos] == '@')
      Refuse(Line(), "Der Standardwert eines Schlüssels gehört nicht zu einem Task.");
    std::string name = ParseQuoted(s, pos, Line(), "Namen");
    while (pos < s.size() && IsBlank(s[pos])) ++pos;
    if (pos >= s.size() || s[pos] != '=') Refuse(Line(), "Nach dem Namen fehlt das \"=\".");
    ++pos;
    while (pos < s.size() && IsBlank(s[pos])) ++pos;
    const std::size_t line = Line();  // a hex value may continue on the next lines
    RawValue value = Data(s, pos);

    if (name.empty()) Refuse(line, "Ein Wert ohne Namen gehört nicht zu einem Task.");
    if (Utf16Length(name) > kMaxValueNameChars) Refuse(line, "Der Name des Werts ist zu lang.");
    switch (where_) {
      case Where::Nowhere: Refuse(line, "Ein Wert steht vor dem ersten Schlüssel.");
      case Where::Jobs: Refuse(line, "Der Schlüssel der Tasks selbst hält keine Werte.");
      case Where::Task: {
        const auto found = ruleIndex_.find(FoldCase(name));
        const std::pair<std::string, std::uint32_t>* rule =
            found == ruleIndex_.end() ? nullptr : &rules_.taskValues[found->second];
        if (!rule) Refuse(line, "Der Wert \"" + name + "\" gehört nicht zu einem Task.");
        if (value.type != rule->second)
          Refuse(line, "Der Wert \"" + name + "\" ist " + TypeName(value.type) +
                           "; ein Task hält ihn als " + TypeName(rule->second) + ".");
        if (value.type == kRegDword && value.data.size() != 4)
          Refuse(line, "Der Wert \"" + name + "\" hat nicht die 4 Bytes eines DWORD.");
        Add(tasks_[task_].values, RegFileValue{rule->first, std::move(value)}, line);
        return;
      }
      case Where::Files:
        if (value.type != kRegBinary || value.data.size() != kDateBytes)
          Refuse(line, "Der Eintrag \"" + name +
                           "\" der Dateiliste ist kein Datum (Binärwert aus 8 Bytes).");
        Add(tasks_[task_].files, RegFileValue{std::move(name), std::move(value)}, line);
        return;
    }
  }

  // A key appears once in a file, so its values are the ones named since its line.
  void Add(std::vector<RegFileValue>& values, RegFileValue value, std::size_t line) {
    if (!valueNames_.insert(FoldCase(value.name)).second)
      Refuse(line, "Der Wert \"" + value.name + "\" kommt zweimal vor.");
    values.push_back(std::move(value));
  }

  RawValue Data(const std::string& s, std::size_t pos) {
    RawValue value;
    if (pos < s.size() && s[pos] == '"') {
      const std::string text = ParseQuoted(s, pos, Line(), "Text");
      ExpectLineEnd(s, pos, Line());
      value.type = kRegSz;
      value.data = EncodeRegString(text);
    } else if (StartsWithNoCase(s, pos, "dword:")) {
      pos += 6;
      std::uint32_t n = 0;
      std::size_t digits = 0;
      for (; pos < s.size() && HexDigit(s[pos]) >= 0; ++pos, ++digits)
        n = (n << 4) | static_cast<std::uint32_t>(HexDigit(s[pos]));
      if (digits == 0 || digits > 8)
        Refuse(Line(), "Ein DWORD-Wert braucht 1 bis 8 hexadezimale Ziffern.");
      ExpectLineEnd(s, pos, Line());
      value.type = kRegDword;
      value.data = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                    static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
    } else if (StartsWithNoCase(s, pos, "hex")) {
      pos += 3;
      value.type = kRegBinary;
      if (pos < s.size() && s[pos] == '(') {
        std::uint32_t type = 0;
        std::size_t digits = 0;
        for (++pos; pos < s.size() && HexDigit(s[pos]) >= 0; ++pos, ++digits)
          type = (type << 4) | static_cast<std::uint32_t>(HexDigit(s[pos]));
        if (digits == 0 || digits > 8 || pos >= s.size() || s[pos] != ')')
          Refuse(Line(), "Ungültige Typangabe in hex( ).");
        ++pos;
        value.type = type;
      }
      if (pos >= s.size() || s[pos] != ':') Refuse(Line(), "Nach \"hex\" fehlt der Doppelpunkt.");
      value.data = HexBytes(s.substr(pos + 1));
    } else if (pos < s.size() && s[pos] == '-') {
      Refuse(Line(), "Die Datei löscht einen Wert; das übernimmt Orvalis nicht.");
    } else {
      Refuse(Line(), "Unbekannte Art von Wert.");
    }
    if (value.data.size() > kMaxRegValueBytes)
      Refuse(Line(), "Der Wert ist größer als 64 KB.");
    return value;
  }

  // Bytes "aa,bb,..." that continue on the next line after a trailing backslash.
  std::vector<std::uint8_t> HexBytes(std::string text) {
    std::vector<std::uint8_t> bytes;
    for (;;) {
      while (!text.empty() && IsBlank(text.back())) text.pop_back();
      const bool more = !text.empty() && text.back() == '\\';
      if (more) text.pop_back();
      std::size_t pos = 0;
      for (;;) {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        if (pos == text.size()) break;
        const int hi = HexDigit(text[pos]);
        if (hi < 0) Refuse(Line(), "Ungültige hexadezimale Ziffer.");
        int byte = hi;
        ++pos;
        if (pos < text.size() && HexDigit(text[pos]) >= 0) byte = byte * 16 + HexDigit(text[pos++]);
        bytes.push_back(static_cast<std::uint8_t>(byte));
        if (bytes.size() > kMaxRegValueBytes) Refuse(Line(), "Der Wert ist größer als 64 KB.");
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        if (pos == text.size()) break;
        if (text[pos] != ',') Refuse(Line(), "Zwischen den Bytes fehlt ein Komma.");
        ++pos;
      }
      if (!more) return bytes;
      if (index_ + 1 >= lines_.size())
        Refuse(Line(), "Der Wert wird fortgesetzt, aber die Datei endet.");
      text = lines_[++index_];
    }
  }

  std::vector<std::string> lines_;
  const RegFileRules& rules_;
  const std::vector<std::string> jobs_;
  std::size_t index_ = 0;
  Where where_ = Where::Nowhere;
  std::size_t task_ = 0;
  std::vector<RegFileTask> tasks_;
  std::vector<char> keySeen_;  // per task: its own key's line was read
  std::map<std::u16string, std::size_t> ruleIndex_;  // by the value name's folded case
  std::map<std::u16string, std::size_t> taskIndex_;  // by the name's folded case
  std::set<std::u16string> valueNames_;              // of the current key
};

// ---- writing ----

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

// A text value that regedit writes in quotes: exactly the bytes of its text with the closing
// zero, and no line break in it.
bool IsPlainText(const RawValue& v, std::string& text) {
  if (v.type != kRegSz) return false;
  text = DecodeRegString(v.data);
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  return EncodeRegString(text) == v.data;
}

void AppendValue(std::string& out, const RegFileValue& v) {
  if (v.name.find_first_of("\r\n") != std::string::npos)
    throw RegFileError(0, "Der Name \"" + v.name + "\" enthält einen Zeilenumbruch.");
  std::string line;
  AppendQuoted(line, v.name);
  line += '=';
  std::string text;
  if (IsPlainText(v.value, text)) {
    AppendQuoted(line, text);
    out += line + "\r\n";
    return;
  }
  if (v.value.type == kRegDword && v.value.data.size() == 4) {
    const auto& d = v.value.data;
    const std::uint32_t n = d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<std::uint32_t>(d[3]) << 24);
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", n);
    out += line + "dword:" + digits + "\r\n";
    return;
  }
  if (v.value.type == kRegBinary) {
    line += "hex:";
  } else {
    char type[16];
    std::snprintf(type, sizeof type, "hex(%x):", v.value.type);
    line += type;
  }
  // As regedit wraps: lines of at most 80 characters, continued with a backslash and two
  // spaces.
  std::size_t width = Utf16Length(line);
  for (std::size_t i = 0; i < v.value.data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", v.value.data[i]);
    line += byte;
    width += 2;
    if (i + 1 < v.value.data.size()) {
      line += ',';
      ++width;
      if (width > 76) {
        line += "\\\r\n  ";
        width = 2;
      }
    }
  }
  out += line + "\r\n";
}

}  // namespace

std::vector<RegFileTask> ParseRegFile(const std::uint8_t* data, std::size_t size,
                                      const RegFileRules& rules) {
  if (size > kMaxRegFileBytes) Refuse(0, "Die Datei ist größer als 16 MB.");
  return Parser(SplitLines(data, size), rules).Run();
}

std::vector<std::uint8_t> WriteRegFile(const std::vector<RegFileTask>& tasks) {
  std::string text = std::string(kHeader) + "\r\n\r\n";
  const std::string jobs = std::string(kRoot) + rec::kJobsKey;
  for (const RegFileTask& task : tasks) {
    if (task.name.find_first_of("\r\n") != std::string::npos)
      throw RegFileError(0, "Der Name \"" + task.name + "\" enthält einen Zeilenumbruch.");
    text += "[" + jobs + task.name + "]\r\n";
    for (const RegFileValue& v : task.values) AppendValue(text, v);
    text += "\r\n";
    if (task.hasFiles) {
      text += "[" + jobs + task.name + rec::kFilesSubkey + "]\r\n";
      for (const RegFileValue& v : task.files) AppendValue(text, v);
      text += "\r\n";
    }
  }
  const std::u16string wide = Utf8ToUtf16(text);
  std::vector<std::uint8_t> bytes{0xFF, 0xFE};
  bytes.reserve(2 + 2 * wide.size());
  for (char16_t c : wide) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return bytes;
}

}  // namespace orv
