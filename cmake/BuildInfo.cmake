# Writes the build information source (git describe, last commit, build type).
# Runs at every build; the output is rewritten only when its text changes.
execute_process(COMMAND git describe --tags --always --dirty
  WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE GitDescribe
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
execute_process(COMMAND git log -1 --date=iso-strict "--format=%h %ad%n%s"
  WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE GitLog
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
foreach(Name GitDescribe GitLog)
  string(REPLACE "\\" "\\\\" ${Name} "${${Name}}")
  string(REPLACE "\"" "\\\"" ${Name} "${${Name}}")
  string(REPLACE "\n" "\\n" ${Name} "${${Name}}")
endforeach()
set(Text "// Generated at build time.\n#include \"base/BuildInfo.h\"\n\nconst char* const BuildInfo::GitDescribeText = \"${GitDescribe}\";\nconst char* const BuildInfo::GitLogText = \"${GitLog}\";\nconst char* const BuildInfo::ConfigurationText = \"${CONFIGURATION}\";\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} OldText)
endif()
if(NOT "${OldText}" STREQUAL "${Text}")
  file(WRITE ${OUTPUT} "${Text}")
endif()
