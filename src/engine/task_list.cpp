#include "engine/task_list.h"

#include <stdexcept>

namespace orv {

std::size_t TaskList::Place(const std::string& name) const {
  // After every row that sorts before or equal to the name: equal names keep their order.
  std::size_t lo = 0, hi = rows_.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (locale_.Compare(rows_[mid].name, name) <= 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

std::size_t TaskList::Add(TaskRow row) {
  const std::size_t at = Place(row.name);
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
  indexed_ = false;
  return at;
}

void TaskList::Remove(std::size_t i) {
  if (i >= rows_.size()) throw std::out_of_range("TaskList::Remove");
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(i));
  indexed_ = false;
}

std::optional<std::size_t> TaskList::Find(const std::string& name) const {
  // The tick finds every row again by name after each wait; a walk of the list each time would
  // make a tick's cost grow with the square of the number of tasks.
  if (!indexed_) {
    index_.clear();
    index_.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) index_.emplace(rows_[i].name, i);
    indexed_ = true;
  }
  const auto it = index_.find(name);
  if (it == index_.end()) return std::nullopt;
  return it->second;
}

std::size_t TaskList::Rename(std::size_t i, const std::string& name) {
  TaskRow row = rows_.at(i);
  Remove(i);
  row.name = name;
  return Add(std::move(row));
}

}  // namespace orv
