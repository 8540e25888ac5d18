# SPDX-License-Identifier: GPL-2.0-or-later
# cmake -DVERSION_FILE=<BuildVersion.cmake> -DMAINTAINER=<name <address>>
#       -DOUTPUT=<changelog.gz> -P DebianChangelog.cmake
#
# The package's changelog (Debian wants one in /usr/share/doc/<package>): one
# entry for the build's commit, with the version and date of BuildVersion.cmake.
include(${VERSION_FILE})
include(${CMAKE_CURRENT_LIST_DIR}/DebianVersion.cmake)
quorvel_debian_version("${GitDescribe}" Version)
if(GitDate STREQUAL "")
  string(TIMESTAMP GitDate "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()
if(GitSubject STREQUAL "")
  set(GitSubject "Build without version control information.")
endif()

# Entries are lines of at most 80 characters: "  * " then the subject, wrapped.
# Semicolons would split the list of words: they travel as a control character.
string(ASCII 31 Semicolon)
string(REPLACE ";" "${Semicolon}" Subject "${GitSubject}")
string(REGEX MATCHALL "[^ ]+" Words "${Subject}")
set(Lines "")
set(Line "  *")
foreach(Word IN LISTS Words)
  string(LENGTH "${Line} ${Word}" Length)
  if(Length GREATER 78 AND NOT Line STREQUAL "  *")
    string(APPEND Lines "${Line}\n")
    set(Line "   ")
  endif()
  string(APPEND Line " ${Word}")
endforeach()
string(APPEND Lines "${Line}\n")
string(REPLACE "${Semicolon}" ";" Lines "${Lines}")

get_filename_component(Folder "${OUTPUT}" DIRECTORY)
get_filename_component(Name "${OUTPUT}" NAME_WE)
file(MAKE_DIRECTORY "${Folder}")
file(WRITE "${Folder}/${Name}" "quorvel (${Version}) unstable; urgency=medium\n\n${Lines}\n -- ${MAINTAINER}  ${GitDate}\n")
# -n: no name or time stamp in the gzip header, so equal builds give equal files.
execute_process(COMMAND gzip -n -9 -f "${Folder}/${Name}" RESULT_VARIABLE Result)
if(NOT Result EQUAL 0)
  message(FATAL_ERROR "gzip failed for ${Folder}/${Name}")
endif()
