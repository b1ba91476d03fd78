// Opening a program, document or web address through the Windows shell.
#pragma once

#include "platform/platform.h"

namespace orv {

class Win32Shell : public Shell {
 public:
  // ShellExecuteExW with the operation "open" and without any user interface of the shell's
  // own: no error box, no security prompt (a task runs unattended, and a box would hold the
  // tick until someone answers it). The thread must have initialised COM (apartment-threaded).
  // A file or parameter text with a NUL inside is not opened at all (false): the shell would see
  // only the part before it.
  bool Open(const std::string& file, const std::string* params, int showCommand) override;
};

}  // namespace orv
