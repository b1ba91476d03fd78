// The file tests a task's conditions need, on the real file system.
#pragma once

#include "platform/platform.h"

namespace orv {

class Win32Files : public Files {
 public:
  bool FileExists(const std::string& path) override;
  bool IsFileInUse(const std::string& path) override;
  double GetFileModifyDate(const std::string& path) override;
};

}  // namespace orv
