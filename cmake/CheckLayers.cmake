# The layering of src/, checked on every build (target orvalis_layers, which every library of
# the program waits for): each #include "folder/..." of a file under src/<layer>/ or
# tests/support/ must name a folder that the layer may use, and only the Windows sides may
# include a Windows header. A wrong include stops the build here with the file, the line and
# the rule, before anything is compiled.
#
#   cmake -DORV_SOURCE_DIR=<top of the tree> -DORV_STAMP=<file written when all is well>
#         -P cmake/CheckLayers.cmake
#
cmake_minimum_required(VERSION 3.25)

# The layers, lowest first, and what each may include besides itself (docs/architecture.md):
set(ORV_LAYER_base     "")
set(ORV_LAYER_platform "base")
set(ORV_LAYER_store    "base;platform")
set(ORV_LAYER_engine   "base;platform;store")
set(ORV_LAYER_net      "base;platform")
# ui/win is the small window framework: Win32 only, below the idle detector, whose hidden
# window uses it as the windows do.
set(ORV_LAYER_uiwin    "")
set(ORV_LAYER_idle     "base;platform;uiwin")
set(ORV_LAYER_ui       "base;platform;store;engine;net;uiwin;idle")
# The test doubles (tests/support/) stand in for the platform and the network below the engine.
set(ORV_LAYER_support  "base;platform;store;net")
set(ORV_LAYERS base platform store engine net uiwin idle ui)

# Where a Windows header may be included: the platform's Windows side, the network's Schannel
# part, the idle detector with its hook library, and the windows.
set(ORV_WINDOWS_ALLOWED "^src/(platform/win32|idle|ui)/|^src/net/[^/]*_win32\\.cpp$")
set(ORV_WINDOWS_HEADERS
  "windows|windowsx|winsock2|ws2tcpip|wincrypt|winternl|winver|winreg|winuser|security|sspi|schannel|shellapi|shlobj|commctrl|commdlg|uxtheme|powrprof")

if(NOT ORV_SOURCE_DIR)
  message(FATAL_ERROR "CheckLayers.cmake: ORV_SOURCE_DIR is not set")
endif()

file(GLOB_RECURSE files RELATIVE "${ORV_SOURCE_DIR}"
  "${ORV_SOURCE_DIR}/src/*.h" "${ORV_SOURCE_DIR}/src/*.cpp"
  "${ORV_SOURCE_DIR}/tests/support/*.h" "${ORV_SOURCE_DIR}/tests/support/*.cpp")
list(SORT files)

set(faults "")
foreach(file ${files})
  if(file MATCHES "^src/ui/win/")
    set(layer uiwin)
  elseif(file MATCHES "^src/([^/]+)/")
    set(layer "${CMAKE_MATCH_1}")
  elseif(file MATCHES "^tests/support/")
    set(layer support)
  else()
    list(APPEND faults "${file}: a source file outside the layer folders")
    continue()
  endif()
  if(NOT DEFINED ORV_LAYER_${layer})
    list(APPEND faults "${file}: src/${layer}/ is no layer (known: ${ORV_LAYERS})")
    continue()
  endif()
  set(allowed ${ORV_LAYER_${layer}} ${layer})

  file(STRINGS "${ORV_SOURCE_DIR}/${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${lines})
    if(line MATCHES "#[ \t]*include[ \t]*\"([^/\"]+)/[^\"]*\"")
      set(target "${CMAKE_MATCH_1}")
      if(line MATCHES "#[ \t]*include[ \t]*\"ui/win/")
        set(target uiwin)
      endif()
      if(NOT target IN_LIST allowed)
        string(STRIP "${line}" line)
        string(REPLACE ";" ", " may "${ORV_LAYER_${layer}}")
        if(may STREQUAL "")
          set(may "no other layer")
        endif()
        list(APPEND faults
          "${file}: ${line}\n    the layer '${layer}' may include ${may}, not '${target}'")
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<(${ORV_WINDOWS_HEADERS})\\.h>")
      if(NOT file MATCHES "${ORV_WINDOWS_ALLOWED}")
        string(STRIP "${line}" line)
        list(APPEND faults "${file}: ${line}\n    a Windows header belongs to src/platform/win32/, net's *_win32.cpp, src/idle/ or src/ui/ only")
      endif()
    endif()
  endforeach()
endforeach()

if(faults)
  list(LENGTH faults count)
  string(REPLACE ";" "\n  " text "${faults}")
  message(FATAL_ERROR "Include against the layering (${count}):\n  ${text}\n"
                      "The layers and their allowed includes: cmake/CheckLayers.cmake, "
                      "docs/architecture.md.")
endif()
if(ORV_STAMP)
  file(WRITE "${ORV_STAMP}" "layers checked\n")
endif()
