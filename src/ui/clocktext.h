// The clock texts of the main window: a moment in the user's locale, from the message table's
// patterns ("dddd, dd. mmmm yyyy" and hh:nn "Uhr").
#pragma once

#include <windows.h>

#include <string>

namespace orv {

std::wstring ClockDateText(const SYSTEMTIME& st, const std::string& pattern);
std::wstring ClockTimeText(const SYSTEMTIME& st, const std::string& pattern);

}  // namespace orv
