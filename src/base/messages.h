// The main window's table of user-interface texts. Several of them are also the scheduler's
// vocabulary: the next-start and kind texts written into the task list and compared there.
#pragma once

#include <array>
#include <string>

namespace orv {

enum Msg : int {
  kMsgShowHide = 0,
  kMsgShowMaximize = 1,
  kMsgShowMinimize = 2,
  kMsgShowShow = 3,
  kMsgNotAvailable = 4,
  kMsgSunday = 5,  // weekday number i (1 Sunday .. 7 Saturday) is entry 4 + i
  kMsgSaturday = 11,
  kMsgUhr = 12,
  kMsgMinutes = 13,
  kMsgDateFormat = 14,
  kMsgTimeFormat = 15,
  kMsgDeleteQuestion = 16,
  kMsgLoadFailed = 17,
  kMsgNameMissing = 18,
  kMsgNameTaken = 19,
  kMsgNext = 20,
  kMsgFinish = 21,
  kMsgKindIdle = 22,
  kMsgKindClock = 23,
  kMsgInactive = 24,
  kMsgRunning = 25,
  kMsgTaskPrefix = 26,
  kMsgConfirmSuffix = 27,
  kMsgRecoverSuffix = 28,
  kMsgBadTime = 29,
  kMsgNextSession = 30,
  kMsgOnSystemStart = 31,
  kMsgOnShutdown = 32,
  kMsgOnFileChange = 33,
  kMsgKindWatch = 34,
};

class MessageTable {
 public:
  static constexpr int kCount = 35;

  // Sets the 35 entries in index order. Until then every entry is empty.
  void Fill();
  // Entry n; an index outside 0 to 34 gives the empty text.
  const std::string& operator[](int n) const;
  const std::string& WeekdayName(int weekday) const { return (*this)[4 + weekday]; }

 private:
  std::array<std::string, kCount> entries_;
};

}  // namespace orv
