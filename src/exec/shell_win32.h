// Opening a program, document or web address through the Windows shell.
#pragma once

#include "exec/platform.h"

namespace orv {

class Win32Shell : public Shell {
 public:
  // ShellExecuteW with the operation "open". A file or parameter text with a NUL inside is not
  // opened at all: the shell would see only the part before it.
  void Open(const std::string& file, const std::string* params, int showCommand) override;
};

}  // namespace orv
