// What running a task needs of the platform, behind small interfaces: each has a Win32
// implementation and a fake in the tests.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace orv {

// Window show commands, as the shell takes them.
enum ShowCommand : int { kSwHide = 0, kSwMaximize = 3, kSwShow = 5, kSwMinimize = 6 };

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens `file` (a program, document or web address) with the operation "open"; `params` null
  // passes no parameters at all. Never shows anything of its own, not even the shell's error
  // box, and returns false when the shell could not open it.
  virtual bool Open(const std::string& file, const std::string* params, int showCommand) = 0;
};

// A program or web address that the shell could not open: the error of the run that asked.
class ShellError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Files {
 public:
  virtual ~Files() = default;
  // True for an existing file; a folder does not count.
  virtual bool FileExists(const std::string& path) = 0;
  // The program-active test: false when no such file exists; otherwise true when the file
  // cannot be opened for reading and writing without sharing (a running executable, a
  // read-only file, denied access).
  virtual bool IsFileInUse(const std::string& path) = 0;
  // The file stamp: the last-write time in local time with milliseconds, as a date-time;
  // -1.0 when the file does not exist, is a folder or its time cannot be converted. A path with
  // wildcards takes the first entry that matches. An unchanged file gives the identical value.
  virtual double GetFileModifyDate(const std::string& path) = 0;
};

// ExitWindowsEx flags.
enum ExitFlags : std::uint32_t {
  kEwxLogoff = 0,
  kEwxShutdown = 1,
  kEwxReboot = 2,
  kEwxForce = 4,
  kEwxPoweroff = 8,
};

class Power {
 public:
  virtual ~Power() = default;
  // Enables the shutdown privilege where the platform has privileges, then ExitWindowsEx.
  virtual void DoExitWindows(std::uint32_t flags) = 0;
  // SetSuspendState of the power-management library, when the system offers it.
  virtual void SuspendSystem(bool hibernate, bool force, bool disableWakeEvents) = 0;
};

// The invisible fetch of a URL. Raises HttpError (src/net/http.h) on any failure.
class Http {
 public:
  virtual ~Http() = default;
  // Milliseconds for resolving, connecting and each wait for data; 0 means no limit. The
  // setting stays from one fetch to the next.
  virtual void SetReadTimeout(int ms) = 0;
  virtual int ReadTimeout() const = 0;
  // One GET; the body is read completely and discarded.
  virtual void Get(const std::string& url) = 0;
};

}  // namespace orv
