#include "ui/clocktext.h"

#include <gtest/gtest.h>

#include "base/messages.h"
#include "ui/win32_text.h"

namespace orv::testing {
namespace {

// The tests run with the German locale (LANG=de_DE.UTF-8 under Wine): names come from it.
TEST(ClockText, GermanDateAndTimeLabels) {
  MessageTable messages;
  messages.Fill();
  SYSTEMTIME st{};
  st.wYear = 2003;
  st.wMonth = 7;
  st.wDay = 7;
  st.wDayOfWeek = 1;
  st.wHour = 18;
  EXPECT_EQ(U8(ClockDateText(st, messages[kMsgDateFormat])), "Montag, 07. Juli 2003");
  EXPECT_EQ(U8(ClockTimeText(st, messages[kMsgTimeFormat])), "18:00 Uhr");
  st.wMonth = 3;
  st.wDay = 2;
  st.wDayOfWeek = 0;
  st.wHour = 7;
  st.wMinute = 5;
  EXPECT_EQ(U8(ClockDateText(st, messages[kMsgDateFormat])), "Sonntag, 02. März 2003");
  EXPECT_EQ(U8(ClockTimeText(st, messages[kMsgTimeFormat])), "07:05 Uhr");
}

}  // namespace
}  // namespace orv::testing
