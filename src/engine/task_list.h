// The task list: one row per task with its name, next-start text and kind text. Its texts are
// the scheduler's run-time state. Rows are kept sorted by name with the locale's comparison; a
// row's index is only good until a row is added, removed or renamed, so code that waits for
// anything finds its row again by name. Finding a row by name takes the same time however long
// the list is; a row's name changes only through Rename.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/locale.h"

namespace orv {

struct TaskRow {
  std::string name;
  std::string next;  // "Nächster Start"
  std::string kind;  // "Art"
  bool selected = false;
  // The task could not be read when it was listed: its row shows "n/a", the tick never checks
  // it and nothing runs it, until it is saved anew from the editor (which replaces the row).
  bool unreadable = false;
};

class TaskList {
 public:
  explicit TaskList(Locale& locale) : locale_(locale) {}

  std::size_t Size() const { return rows_.size(); }
  bool Empty() const { return rows_.empty(); }
  const TaskRow& Row(std::size_t i) const { return rows_.at(i); }
  TaskRow& Row(std::size_t i) { return rows_.at(i); }
  const std::vector<TaskRow>& Rows() const { return rows_; }

  void Clear() {
    rows_.clear();
    indexed_ = false;
  }
  // Inserts the row at its sorted place and returns that place.
  std::size_t Add(TaskRow row);
  void Remove(std::size_t i);
  // The first row whose name equals `name` exactly.
  std::optional<std::size_t> Find(const std::string& name) const;
  // Renames a row and moves it to its sorted place; returns the new place.
  std::size_t Rename(std::size_t i, const std::string& name);

 private:
  std::size_t Place(const std::string& name) const;
  Locale& locale_;
  std::vector<TaskRow> rows_;
  // Each name's first row, made afresh by the first Find after a change of the rows.
  mutable std::unordered_map<std::string, std::size_t> index_;
  mutable bool indexed_ = false;
};

}  // namespace orv
