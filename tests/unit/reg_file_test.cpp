// The registry file of tasks: what the writer makes, what the reader takes and what it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "store/reg_file.h"
#include "store/registry.h"

namespace orv {
namespace {

const std::string kJobs = "HKEY_CURRENT_USER\\Software\\Velmora\\Orvalis\\Jobs\\";

// A small record for the reader: the real one is taken from the save (task_transfer_test).
RegFileRules Rules() {
  return RegFileRules{{{"TaskType", kRegDword}, {"Program", kRegSz}, {"NextExecution", kRegBinary}}};
}

std::vector<std::uint8_t> Utf16File(const std::string& text) {
  std::vector<std::uint8_t> bytes{0xFF, 0xFE};
  for (char16_t c : Utf8ToUtf16(text)) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return bytes;
}

std::string Utf8Of(const std::vector<std::uint8_t>& bytes) {
  std::u16string wide;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
    wide.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  return Utf16ToUtf8(wide);
}

std::vector<RegFileTask> Parse(const std::string& text) {
  const auto bytes = Utf16File(text);
  return ParseRegFile(bytes.data(), bytes.size(), Rules());
}

RawValue Dword(std::uint32_t n) {
  return RawValue{kRegDword,
                  {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                   static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)}};
}

TEST(RegFile, WritesWhatRegeditWritesAndReadsItBack) {
  RegFileTask task{"Sicherung", {}, true, {}};
  task.values.push_back({"TaskType", Dword(2)});
  task.values.push_back({"Program", RawValue{kRegSz, EncodeRegString("C:\\Tools\\\"x\".exe")}});
  task.values.push_back({"NextExecution", RawValue{kRegBinary, {0, 0, 0, 0, 0x80, 0xA5, 0xE2, 0x40}}});
  task.files.push_back({"C:\\Daten\\Brief.txt", RawValue{kRegBinary, std::vector<std::uint8_t>(8, 0xAB)}});
  RegFileTask other{"Leer", {}, false, {}};
  const std::vector<std::uint8_t> file = WriteRegFile({task, other});

  ASSERT_GE(file.size(), 2u);
  EXPECT_EQ(file[0], 0xFF);
  EXPECT_EQ(file[1], 0xFE);
  EXPECT_EQ(Utf8Of(file),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "[" + kJobs + "Sicherung]\r\n"
            "\"TaskType\"=dword:00000002\r\n"
            "\"Program\"=\"C:\\\\Tools\\\\\\\"x\\\".exe\"\r\n"
            "\"NextExecution\"=hex:00,00,00,00,80,a5,e2,40\r\n"
            "\r\n"
            "[" + kJobs + "Sicherung\\Files]\r\n"
            "\"C:\\\\Daten\\\\Brief.txt\"=hex:ab,ab,ab,ab,ab,ab,ab,ab\r\n"
            "\r\n"
            "[" + kJobs + "Leer]\r\n"
            "\r\n");
  EXPECT_EQ(ParseRegFile(file.data(), file.size(), Rules()), (std::vector<RegFileTask>{task, other}));
}

TEST(RegFile, TextThatIsNoPlainStringAndLongBytesSurviveTheRoundTrip) {
  // A text with a line break, one without its closing zero, and a watch list entry whose long
  // path makes the hex line wrap: each comes back byte for byte.
  RegFileTask task{"T", {}, true, {}};
  task.values.push_back({"Program", RawValue{kRegSz, EncodeRegString("a\r\nb")}});
  RegFileTask bare{"U", {}, false, {}};
  bare.values.push_back({"Program", RawValue{kRegSz, {0x41, 0x00}}});
  task.files.push_back({std::string(200, 'p'), RawValue{kRegBinary, std::vector<std::uint8_t>(8, 1)}});
  const auto file = WriteRegFile({task, bare});
  const std::string text = Utf8Of(file);
  EXPECT_NE(text.find("\"Program\"=hex(1):61,00,0d,00,0a,00,62,00,00,00"), std::string::npos);
  EXPECT_NE(text.find("\\\r\n  "), std::string::npos) << "a long hex line is continued";
  EXPECT_EQ(ParseRegFile(file.data(), file.size(), Rules()), (std::vector<RegFileTask>{task, bare}));
}

TEST(RegFile, ReadsCommentsContinuationsLineFeedsAndAnyLetterCase) {
  const auto tasks = Parse(
      "Windows Registry Editor Version 5.00\n"
      "; exported by hand\n"
      "[HKEY_CURRENT_USER\\Software\\Velmora\\Orvalis\\Jobs]\n"
      "\n"
      "[hkey_current_user\\SOFTWARE\\velmora\\orvalis\\jobs\\A]\n"
      "\"tasktype\"=dword:1e\n"
      "\"NextExecution\"=hex:01,02,\\\n"
      "    03,04,05,\\\n"
      "  06,07,08\n"
      "[" + kJobs + "A\\files]\r\n"
      "\"x\"=hex(3):00,00,00,00,00,00,00,00\r\n");
  ASSERT_EQ(tasks.size(), 1u);
  ASSERT_EQ(tasks[0].values.size(), 2u);
  EXPECT_EQ(tasks[0].values[0].name, "TaskType");  // the record's spelling
  EXPECT_EQ(tasks[0].values[0].value.data, Dword(30).data);
  EXPECT_EQ(tasks[0].values[1].value.data, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(tasks[0].hasFiles);
  ASSERT_EQ(tasks[0].files.size(), 1u);
}

TEST(RegFile, RefusesWhatIsNoTaskNamingTheLine) {
  const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[" + kJobs + "A]\r\n";
  struct Case {
    const char* what;
    std::string tail;  // from line 4 on
    std::size_t line = 4;
  };
  const std::vector<Case> cases = {
      {"a key outside the jobs key", "[HKEY_LOCAL_MACHINE\\Software\\Velmora\\Orvalis\\Jobs\\B]"},
      {"the program's settings key", "[HKEY_CURRENT_USER\\Software\\Velmora\\Orvalis]"},
      {"a key below a task other than its watch list", "[" + kJobs + "A\\Run]"},
      {"a key's deletion", "[-" + kJobs + "A]"},
      {"a value's deletion", "\"Program\"=-"},
      {"a value name the record does not hold", "\"Evil\"=\"x\""},
      {"the default value", "@=\"x\""},
      {"another type for a record value", "\"TaskType\"=\"2\""},
      {"an expandable text", "\"Program\"=hex(2):41,00,00,00"},
      {"a multi-string", "\"Program\"=hex(7):41,00,00,00,00,00"},
      {"a DWORD of other than 4 bytes", "\"TaskType\"=hex(4):01,00"},
      {"a DWORD of nine digits", "\"TaskType\"=dword:000000001"},
      {"a huge text", "\"Program\"=\"" + std::string(70000, 'x') + "\""},
      {"huge bytes", "\"NextExecution\"=hex:" + [] {
         std::string h;
         for (int i = 0; i < 70000; ++i) h += "00,";
         return h + "00";
       }()},
      {"an unknown escape", "\"Program\"=\"C:\\Tools\""},
      {"a missing closing quote", "\"Program\"=\"C:\\\\Tools"},
      {"text after the value", "\"Program\"=\"x\" y"},
      {"a broken hex digit", "\"NextExecution\"=hex:0g"},
      {"a continuation at the file's end", "\"NextExecution\"=hex:00,\\"},
      {"the same value twice", "\"Program\"=\"a\"\r\n\"program\"=\"b\"", 5},
      {"the same key twice", "[" + kJobs + "a]"},
      {"a watch list entry that is no date", "[" + kJobs + "A\\Files]\r\n\"f\"=hex:00", 5},
      {"a control character in a task name", "[" + kJobs + "B\tC]"},
      {"a line that is nothing", "TaskType=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      Parse(head + c.tail + "\r\n");
      ADD_FAILURE() << "accepted";
    } catch (const RegFileError& e) {
      EXPECT_EQ(e.Line(), c.line) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("Zeile " + std::to_string(c.line) + ": ", 0), 0u)
          << e.what();
    }
  }
}

TEST(RegFile, RefusesAFileThatIsNoRegistryFileOfThisFormat) {
  const std::string body = "\r\n[" + kJobs + "A]\r\n";
  std::vector<std::uint8_t> utf8(body.begin(), body.end());
  const std::vector<std::vector<std::uint8_t>> files = {
      {},
      utf8,  // no byte order mark
      Utf16File("REGEDIT4" + body),
      Utf16File("Windows Registry Editor Version 4.00" + body),
      [] {
        auto f = Utf16File("Windows Registry Editor Version 5.00\r\n");
        f.push_back(0x00);  // half a character
        return f;
      }(),
      [] {
        auto f = Utf16File("Windows Registry Editor Version 5.00\r\n\"");
        f.push_back(0x00);  // an unpaired surrogate
        f.push_back(0xD8);
        return f;
      }(),
  };
  for (const auto& f : files) EXPECT_THROW(ParseRegFile(f.data(), f.size(), Rules()), RegFileError);
  // A value before any key, and values in the jobs key itself.
  EXPECT_THROW(Parse("Windows Registry Editor Version 5.00\r\n\"Program\"=\"x\"\r\n"), RegFileError);
  EXPECT_THROW(Parse("Windows Registry Editor Version 5.00\r\n[" + kJobs.substr(0, kJobs.size() - 1) +
                     "]\r\n\"Program\"=\"x\"\r\n"),
               RegFileError);
}

TEST(RegFile, RefusesAnOversizedFileBeforeReadingItAndTooManyTasks) {
  // The size alone decides: the data is never looked at (a null pointer would crash).
  EXPECT_THROW(ParseRegFile(nullptr, kMaxRegFileBytes + 1, Rules()), RegFileError);

  std::string text = "Windows Registry Editor Version 5.00\r\n";
  for (std::size_t i = 0; i < kMaxRegFileTasks; ++i) text += "[" + kJobs + std::to_string(i) + "]\r\n";
  EXPECT_EQ(Parse(text).size(), kMaxRegFileTasks);
  try {
    Parse(text + "[" + kJobs + "one more]\r\n");
    ADD_FAILURE() << "accepted";
  } catch (const RegFileError& e) {
    EXPECT_EQ(e.Line(), kMaxRegFileTasks + 2);
  }
}

}  // namespace
}  // namespace orv
