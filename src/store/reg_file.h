// Tasks as a registry file: the text regedit writes and merges ("Windows Registry Editor
// Version 5.00", UTF-16LE with byte order mark, CR LF), holding only task keys below the jobs
// key and their watch lists. The writer makes such a file from tasks; the reader takes one
// apart without ever handing it to regedit, and refuses anything that is not a task: keys
// outside the jobs key, value names or types that the task record does not hold, oversized
// values, broken text. A refused file raises RegFileError and yields nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry_backend.h"

namespace orv {

// A file the reader refuses, or a task the writer cannot express. The text is German and names
// the line (counted from 1) when there is one.
class RegFileError : public std::runtime_error {
 public:
  RegFileError(std::size_t line, const std::string& reason);
  std::size_t Line() const { return line_; }  // 0: the file as a whole

 private:
  std::size_t line_;
};

// Larger files are refused before they are read.
inline constexpr std::size_t kMaxRegFileBytes = 16u * 1024u * 1024u;
// The most tasks a file may hold: each is checked and listed before anything is imported.
inline constexpr std::size_t kMaxRegFileTasks = 10000;
// The largest value a file may hold (32 767 characters of text, as a path or command line).
inline constexpr std::size_t kMaxRegValueBytes = 65536;

struct RegFileValue {
  std::string name;  // UTF-8
  RawValue value;
  bool operator==(const RegFileValue& o) const {
    return name == o.name && value.type == o.value.type && value.data == o.value.data;
  }
};

struct RegFileTask {
  std::string name;                  // the key's name below the jobs key
  std::vector<RegFileValue> values;  // the task key's values, in file order
  bool hasFiles = false;             // the watch list key is present
  std::vector<RegFileValue> files;   // its values: path = 8-byte date
  bool operator==(const RegFileTask& o) const {
    return name == o.name && values == o.values && hasFiles == o.hasFiles && files == o.files;
  }
};

// What a task key may hold: each value name of the task record with its registry type.
struct RegFileRules {
  std::vector<std::pair<std::string, std::uint32_t>> taskValues;
};

// Reads a registry file. Value names are given in the record's spelling (the registry compares
// them without regard to case). RegFileError, and nothing else, for a file that is refused.
std::vector<RegFileTask> ParseRegFile(const std::uint8_t* data, std::size_t size,
                                      const RegFileRules& rules);

// The registry file of `tasks`, in the order given. A value name holding a line break cannot be
// written (RegFileError); a value whose bytes are not a plain text is written in hex, so that
// reading the file gives back exactly these bytes.
std::vector<std::uint8_t> WriteRegFile(const std::vector<RegFileTask>& tasks);

}  // namespace orv
