// Moving tasks to another computer: the export of chosen tasks as a registry file and the import
// of such a file, each task checked as loading checks it and written whole or not at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "store/reg_file.h"

namespace orv {

// The value names and types a task key holds: what SaveTask writes, in its order. Taken from a
// save into a scratch registry, so every value the save writes is known here without a list of
// its own.
RegFileRules TaskFileRules(Engine& engine);

struct ExportResult {
  std::vector<std::uint8_t> file;     // the registry file (UTF-16LE)
  std::vector<std::string> exported;  // task names in the file
  std::vector<std::string> refused;   // "name: reason" of tasks left out
};
// The file of the named tasks, in the order given: each task key's values of the task record
// (in the save's order) and its watch list. A task that does not exist, or one holding a value
// of another type than the record's or larger than 64 KiB (which no import would take), is left
// out and named.
// RegFileError when the file would be larger than the import takes (16 MiB, 10 000 tasks).
ExportResult ExportTasks(Engine& engine, const std::vector<std::string>& names);

struct ImportCandidate {
  RegFileTask task;
  ScheduleTexts texts;  // the list's texts the task would have
  std::string refusal;  // why it cannot be imported; empty when it can
};
// Reads a registry file of tasks and checks each task as loading does, in a scratch registry;
// nothing of the program's registry is touched. A task is refused when the editor's load cannot
// read a value it holds or the list's texts cannot be computed (a missing TaskAuto, a time that
// is no "hh:mm", ...), or when NextExecution or a watch list entry is no valid date; a value it
// lacks is taken as loading takes it. RegFileError (German, with the line) for a file
// that is refused as a whole.
std::vector<ImportCandidate> ReadImportFile(Engine& engine, const std::uint8_t* data,
                                            std::size_t size);

// The answer to a name clash with a stored task.
enum class ClashAnswer { Replace, KeepBoth, Skip };

struct ImportReport {
  std::vector<std::string> imported;  // names as stored (a kept-both task under its free name)
  std::vector<std::string> refused;   // "name: reason"
  std::vector<std::string> skipped;
};
// Writes the importable candidates, asking `askClash` for each one whose name is taken (letter
// case ignored). A task is written completely or not at all: a failed write deletes what was
// written of it and, for "Ersetzen", puts the replaced task back. A task stored under another
// name gets that name as its Name value. As the editor's save does, the import stores the next
// fixed start (NextExecution) computed from the task's rule now and each watched file's date
// of now (`files`), not what the file holds: an imported task starts afresh, and neither a
// missed run nor a file change is found by the first tick for the time before the import.
// Each written task's row is added to the list (in place of the replaced one's), unselected;
// tasks bound to Windows start are not run.
ImportReport ImportTasks(Engine& engine, Files& files,
                         const std::vector<ImportCandidate>& candidates,
                         const std::function<ClashAnswer(const std::string& name)>& askClash);

// A name no stored task has, made from `name` as "name 2", "name 3", ..., shortened so that it
// stays within the name field's 30 characters.
std::string FreeTaskName(Engine& engine, const std::string& name);

}  // namespace orv
