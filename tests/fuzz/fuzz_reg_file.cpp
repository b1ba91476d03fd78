// Fuzz target: a registry file of tasks as the import reads it, from a user's disk or anyone
// else's hand.
//
// The first byte chooses how the rest is taken: odd, as UTF-8 text that the target turns into
// the UTF-16LE file with its byte order mark (so that the mutations work on the text); even, as
// the file's bytes themselves (broken encodings, a missing mark). Then:
//   - ParseRegFile with the record's rules: only RegFileError may leave it;
//   - what it accepts is written again and read again, and must come back equal;
//   - ReadImportFile checks each task as loading does: again only RegFileError may leave it.
// Any other exception, a sanitizer report or an unequal round trip is a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/text.h"
#include "engine/task_transfer.h"
#include "support/registry_memory.h"
#include "support/settable_clock.h"
#include "support/test_locale.h"

namespace {

struct World {
  orv::MemoryRegistry registry;
  orv::SettableClock clock;
  orv::GermanTestLocale locale;
  orv::MessageTable messages;
  orv::Engine engine{registry, clock, locale, messages};
  orv::RegFileRules rules;
  World() {
    messages.Fill();
    clock.Set(2003, 7, 9, 10, 0);
    rules = orv::TaskFileRules(engine);
  }
};

std::vector<std::uint8_t> FileOf(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  if (data[0] % 2 == 0) return std::vector<std::uint8_t>(data + 1, data + size);
  const std::u16string text =
      orv::Utf8ToUtf16(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  std::vector<std::uint8_t> file{0xFF, 0xFE};
  for (char16_t c : text) {
    file.push_back(static_cast<std::uint8_t>(c & 0xFF));
    file.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static World world;
  const std::vector<std::uint8_t> file = FileOf(data, size);
  std::vector<orv::RegFileTask> tasks;
  try {
    tasks = orv::ParseRegFile(file.data(), file.size(), world.rules);
  } catch (const orv::RegFileError&) {
    return 0;
  }
  const std::vector<std::uint8_t> again = orv::WriteRegFile(tasks);
  if (orv::ParseRegFile(again.data(), again.size(), world.rules) != tasks) std::abort();
  try {
    orv::ReadImportFile(world.engine, file.data(), file.size());
  } catch (const orv::RegFileError&) {
  }
  return 0;
}
