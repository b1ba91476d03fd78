# The release of the Windows flavours, all part of the ALL build:
#
#   <Orvalis.exe's folder>/help.chm            the German help file, from help/ (chmcmd)
#   release/Orvalis/                           the release files: Orvalis.exe, help.chm,
#                                              Liesmich.txt (the German text for users,
#                                              from installer/Liesmich.txt.in)
#   release/Orvalis-Setup-<version>.exe        the installer (NSIS), from installer/orvalis.nsi
#   release/Orvalis-<version>.zip              the portable package: the same three files
#
# Both flavours are products: win32 makes the packages for 32-bit Windows, win64 the same
# packages with "-x64" in their names (installer stub amd64-unicode) for 64-bit Windows.
#
# Included from the top-level CMakeLists.txt after src/, so that the target Orvalis exists and
# tests/ sees the variables set here (ORV_HELP_CHM, ORV_RELEASE_*).

foreach(tool chmcmd makensis zip)
  string(TOUPPER "${tool}" var)
  find_program(ORV_${var} ${tool})
  if(NOT ORV_${var})
    message(FATAL_ERROR "${tool} is missing: run scripts/setup.sh (Debian packages fp-utils, nsis, zip)")
  endif()
endforeach()

set(ORV_VERSION_SHORT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(ORV_VERSION_FULL "${PROJECT_VERSION}")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ORV_RELEASE_BITS 64)
  set(ORV_NSIS_TARGET amd64-unicode)
  set(ORV_RELEASE_SUFFIX "-x64")
else()
  set(ORV_RELEASE_BITS 32)
  set(ORV_NSIS_TARGET x86-unicode)
  set(ORV_RELEASE_SUFFIX "")
endif()

# help.chm goes where Orvalis.exe lands: the shell opens it from the executable's folder.
get_target_property(ORV_EXE_DIR Orvalis RUNTIME_OUTPUT_DIRECTORY)
if(NOT ORV_EXE_DIR)
  get_target_property(ORV_EXE_DIR Orvalis BINARY_DIR)
endif()
set(ORV_HELP_CHM "${ORV_EXE_DIR}/help.chm")
file(GLOB ORV_HELP_SOURCES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/help/*")
add_custom_command(OUTPUT "${ORV_HELP_CHM}"
  COMMAND bash "${CMAKE_SOURCE_DIR}/cmake/build-help.sh" "${CMAKE_SOURCE_DIR}/help"
          "${ORV_HELP_CHM}" "${CMAKE_BINARY_DIR}/help-build"
  DEPENDS ${ORV_HELP_SOURCES} "${CMAKE_SOURCE_DIR}/cmake/build-help.sh"
  COMMENT "Building the help file help.chm (chmcmd)"
  VERBATIM)
add_custom_target(orvalis_help ALL DEPENDS "${ORV_HELP_CHM}")
# Building Orvalis alone (scripts/run.sh) brings the help file along.
add_dependencies(Orvalis orvalis_help)

# The release files, gathered in one folder from which both packages are made.
set(ORV_RELEASE_DIR "${CMAKE_BINARY_DIR}/release")
set(ORV_RELEASE_FILES_DIR "${ORV_RELEASE_DIR}/Orvalis")
set(ORV_RELEASE_FILES Orvalis.exe help.chm Liesmich.txt)
# The users' text, with the version filled in and Windows line ends (it keeps its UTF-8 mark, so
# that Notepad shows the umlauts on every Windows).
set(ORV_LIESMICH "${CMAKE_BINARY_DIR}/Liesmich.txt")
configure_file("${CMAKE_SOURCE_DIR}/installer/Liesmich.txt.in" "${ORV_LIESMICH}" @ONLY NEWLINE_STYLE WIN32)
set(ORV_RELEASE_STAGED "")
foreach(f ${ORV_RELEASE_FILES})
  list(APPEND ORV_RELEASE_STAGED "${ORV_RELEASE_FILES_DIR}/${f}")
endforeach()
add_custom_command(OUTPUT ${ORV_RELEASE_STAGED}
  COMMAND "${CMAKE_COMMAND}" -E rm -rf "${ORV_RELEASE_FILES_DIR}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${ORV_RELEASE_FILES_DIR}"
  COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:Orvalis>" "${ORV_RELEASE_FILES_DIR}/Orvalis.exe"
  COMMAND "${CMAKE_COMMAND}" -E copy "${ORV_HELP_CHM}" "${ORV_RELEASE_FILES_DIR}/help.chm"
  COMMAND "${CMAKE_COMMAND}" -E copy "${ORV_LIESMICH}" "${ORV_RELEASE_FILES_DIR}/Liesmich.txt"
  DEPENDS Orvalis "$<TARGET_FILE:Orvalis>" "${ORV_HELP_CHM}" "${ORV_LIESMICH}"
  COMMENT "Gathering the release files"
  VERBATIM)

set(ORV_RELEASE_SETUP "${ORV_RELEASE_DIR}/Orvalis-Setup-${ORV_VERSION_SHORT}${ORV_RELEASE_SUFFIX}.exe")
set(ORV_ICON "${CMAKE_SOURCE_DIR}/src/ui/res/orvalis.ico")
# -WX: a warning of makensis fails the build.
add_custom_command(OUTPUT "${ORV_RELEASE_SETUP}"
  COMMAND "${ORV_MAKENSIS}" -V2 -WX -INPUTCHARSET UTF8
          "-DORV_VERSION=${ORV_VERSION_SHORT}" "-DORV_VERSION4=${ORV_VERSION_FULL}"
          "-DORV_TARGET=${ORV_NSIS_TARGET}" "-DORV_FILES=${ORV_RELEASE_FILES_DIR}"
          "-DORV_ICON=${ORV_ICON}" "-DORV_OUTFILE=${ORV_RELEASE_SETUP}"
          "${CMAKE_SOURCE_DIR}/installer/orvalis.nsi"
  DEPENDS ${ORV_RELEASE_STAGED} "${CMAKE_SOURCE_DIR}/installer/orvalis.nsi" "${ORV_ICON}"
  COMMENT "Building the installer ${ORV_RELEASE_SETUP} (makensis, ${ORV_NSIS_TARGET})"
  VERBATIM)

set(ORV_RELEASE_ZIP "${ORV_RELEASE_DIR}/Orvalis-${ORV_VERSION_SHORT}${ORV_RELEASE_SUFFIX}.zip")
add_custom_command(OUTPUT "${ORV_RELEASE_ZIP}"
  COMMAND "${CMAKE_COMMAND}" -E rm -f "${ORV_RELEASE_ZIP}"
  COMMAND "${ORV_ZIP}" -q -X -j "${ORV_RELEASE_ZIP}" ${ORV_RELEASE_STAGED}
  DEPENDS ${ORV_RELEASE_STAGED}
  COMMENT "Building the portable package ${ORV_RELEASE_ZIP} (zip)"
  VERBATIM)

add_custom_target(orvalis_release ALL DEPENDS "${ORV_RELEASE_SETUP}" "${ORV_RELEASE_ZIP}")
