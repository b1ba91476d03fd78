// Libraries from the Windows system directory only. A library loaded by its bare name is looked
// for in the program's own folder first, and that folder is the per-user install folder or
// wherever the zip was unpacked: a file of the same name placed there would run inside Orvalis.
#pragma once

#include <windows.h>

namespace orv {

// At process start: leaves only the system directory (and the program's own imports, already
// bound) on the process's library search path. SetDefaultDllDirectories where the system has
// it, and SetDllDirectoryW(L"") in any case, which takes the current folder off the path.
// True when the default directories could be restricted.
bool RestrictDllSearchPath();

// Loads `name` (a bare file name such as "POWRPROF.dll") from the system directory, never from
// the program's folder or the search path; null when it is not there.
HMODULE LoadSystemLibrary(const char* name);

}  // namespace orv
