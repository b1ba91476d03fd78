#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "engine/task_list.h"
#include "support/test_locale.h"

namespace orv {
namespace {

std::vector<std::string> Names(const TaskList& list) {
  std::vector<std::string> names;
  for (const TaskRow& r : list.Rows()) names.push_back(r.name);
  return names;
}

TEST(TaskList, SortedWhateverTheInsertionOrder) {
  GermanTestLocale locale;
  std::vector<std::string> order = {"Alpha", "beta", "gamma"};
  std::sort(order.begin(), order.end());
  do {
    TaskList list(locale);
    for (const std::string& n : order) {
      const std::size_t at = list.Add(TaskRow{n, "", "", false});
      EXPECT_EQ(list.Row(at).name, n);
    }
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST(TaskList, CaseTiesPutLowerCaseFirst) {
  GermanTestLocale locale;
  TaskList list(locale);
  EXPECT_EQ(list.Add(TaskRow{"ABC", "", "", false}), 0u);
  EXPECT_EQ(list.Add(TaskRow{"abc", "", "", false}), 0u);
  EXPECT_EQ(list.Add(TaskRow{"Abc", "", "", false}), 1u);
  EXPECT_EQ(list.Add(TaskRow{"ab", "", "", false}), 0u);
  EXPECT_EQ(list.Add(TaskRow{"abd", "", "", false}), 4u);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"ab", "abc", "Abc", "ABC", "abd"}));
}

TEST(TaskList, FindIsExactAndRenameResorts) {
  GermanTestLocale locale;
  TaskList list(locale);
  for (const char* n : {"Backup", "Defrag", "Mail"}) list.Add(TaskRow{n, "", "", false});
  list.Row(0).next = "18:00 Uhr";
  list.Row(0).kind = "Uhrzeit";
  EXPECT_EQ(list.Find("Defrag"), 1u);
  EXPECT_EQ(list.Find("defrag"), std::nullopt);
  EXPECT_EQ(list.Find("Def"), std::nullopt);

  EXPECT_EQ(list.Rename(0, "Zip"), 2u);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Defrag", "Mail", "Zip"}));
  EXPECT_EQ(list.Row(2).next, "18:00 Uhr");
  EXPECT_EQ(list.Row(2).kind, "Uhrzeit");
  EXPECT_EQ(list.Find("Backup"), std::nullopt);
  EXPECT_EQ(list.Rename(2, "Aaa"), 0u);
  EXPECT_EQ(list.Rename(1, "Defrag2"), 1u);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Aaa", "Defrag2", "Mail"}));

  list.Remove(1);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Aaa", "Mail"}));
  EXPECT_THROW(list.Remove(2), std::out_of_range);
  EXPECT_THROW(list.Rename(5, "x"), std::out_of_range);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Aaa", "Mail"}));
  list.Clear();
  EXPECT_TRUE(list.Empty());
}

TEST(TaskList, FindFollowsEveryChangeOfTheRows) {
  GermanTestLocale locale;
  TaskList list(locale);
  for (const char* n : {"Mail", "Backup"}) list.Add(TaskRow{n, "", "", false});
  EXPECT_EQ(list.Find("Mail"), 1u);
  list.Add(TaskRow{"Archiv", "", "", false});
  EXPECT_EQ(list.Find("Mail"), 2u);
  EXPECT_EQ(list.Find("Archiv"), 0u);
  list.Remove(0);
  EXPECT_EQ(list.Find("Archiv"), std::nullopt);
  EXPECT_EQ(list.Find("Mail"), 1u);
  list.Rename(1, "Abend");
  EXPECT_EQ(list.Find("Abend"), 0u);
  EXPECT_EQ(list.Find("Backup"), 1u);
  list.Clear();
  EXPECT_EQ(list.Find("Backup"), std::nullopt);
}

}  // namespace
}  // namespace orv
