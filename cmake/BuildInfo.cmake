# SPDX-License-Identifier: GPL-2.0-or-later
# Writes the build information source (git describe, last commit, build type)
# and, for packaging, the same git describe text with the commit's date and
# subject as CMake variables (VERSION_OUTPUT). Runs at every build; the
# outputs are rewritten only when their text changes.
execute_process(COMMAND git describe --tags --always --dirty
  WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE GitDescribe
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
execute_process(COMMAND git log -1 --date=iso-strict "--format=%h %ad%n%s"
  WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE GitLog
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
execute_process(COMMAND git log -1 "--format=%aD%n%s"
  WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE GitDateAndSubject
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)

# The package's version and changelog come from here, so that they name the
# build the program reports.
function(WriteIfChanged Path Text)
  if(EXISTS ${Path})
    file(READ ${Path} OldText)
  endif()
  if(NOT "${OldText}" STREQUAL "${Text}")
    file(WRITE ${Path} "${Text}")
  endif()
endfunction()
if(VERSION_OUTPUT)
  string(FIND "${GitDateAndSubject}" "\n" LineEnd)
  string(SUBSTRING "${GitDateAndSubject}" 0 ${LineEnd} GitDate)
  math(EXPR SubjectStart "${LineEnd} + 1")
  string(SUBSTRING "${GitDateAndSubject}" ${SubjectStart} -1 GitSubject)
  set(VersionText "# Generated at build time.\n")
  foreach(Name GitDescribe GitDate GitSubject)
    string(REPLACE "\\" "\\\\" Value "${${Name}}")
    string(REPLACE "\"" "\\\"" Value "${Value}")
    string(REPLACE "$" "\\$" Value "${Value}")
    string(APPEND VersionText "set(${Name} \"${Value}\")\n")
  endforeach()
  WriteIfChanged(${VERSION_OUTPUT} "${VersionText}")
endif()
foreach(Name GitDescribe GitLog)
  string(REPLACE "\\" "\\\\" ${Name} "${${Name}}")
  string(REPLACE "\"" "\\\"" ${Name} "${${Name}}")
  string(REPLACE "\n" "\\n" ${Name} "${${Name}}")
endforeach()
set(Text "// Generated at build time.\n#include \"base/BuildInfo.h\"\n\nconst char* const BuildInfo::GitDescribeText = \"${GitDescribe}\";\nconst char* const BuildInfo::GitLogText = \"${GitLog}\";\nconst char* const BuildInfo::ConfigurationText = \"${CONFIGURATION}\";\n")
WriteIfChanged(${OUTPUT} "${Text}")
