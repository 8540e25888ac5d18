# SPDX-License-Identifier: GPL-2.0-or-later
# cmake -DPROGRAM=<installed program> -P MiniDebugInfo.cmake
#
# Strips an installed program (Debian wants no symbol table in a package) and
# keeps the names of its functions in a small xz-compressed symbol table in
# the section .gnu_debugdata ("MiniDebugInfo"), which gdb and elfutils read:
# crash reports and dumps of the installed program still name its functions.
# Needs binutils (nm, objcopy, strip) and xz.
if(NOT EXISTS "${PROGRAM}")
  message(FATAL_ERROR "No program to strip: ${PROGRAM}")
endif()
get_filename_component(Folder "${PROGRAM}" DIRECTORY)
set(Work "${Folder}/.minidebuginfo")
file(REMOVE_RECURSE "${Work}")
file(MAKE_DIRECTORY "${Work}")

function(Run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE Result OUTPUT_VARIABLE Output ERROR_VARIABLE Errors)
  if(NOT Result EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed: ${Errors}")
  endif()
  set(Output "${Output}" PARENT_SCOPE)
endfunction()

# Function symbols (weak ones too: templates and inline functions) that the
# dynamic symbol table does not already name.
Run(nm --defined-only --format=posix -D "${PROGRAM}")
string(REGEX MATCHALL "[^\n]+" DynamicLines "${Output}")
set(Dynamic "")
foreach(Line IN LISTS DynamicLines)
  string(REGEX REPLACE " .*" "" Name "${Line}")
  list(APPEND Dynamic "${Name}")
endforeach()
Run(nm --defined-only --format=posix "${PROGRAM}")
string(REGEX MATCHALL "[^\n]+ [TtWw] [^\n]+" FunctionLines "${Output}")
set(Keep "")
foreach(Line IN LISTS FunctionLines)
  string(REGEX REPLACE " [TtWw] .*" "" Name "${Line}")
  list(FIND Dynamic "${Name}" Found)
  if(Found EQUAL -1)
    string(APPEND Keep "${Name}\n")
  endif()
endforeach()
file(WRITE "${Work}/keep" "${Keep}")

Run(objcopy --only-keep-debug "${PROGRAM}" "${Work}/debug")
Run(objcopy -S --remove-section .gdb_index --remove-section .comment --keep-symbols=${Work}/keep "${Work}/debug" "${Work}/mini")
Run(xz --force --threads=1 -9 "${Work}/mini")
Run(strip --remove-section=.comment --remove-section=.note "${PROGRAM}")
Run(objcopy --add-section .gnu_debugdata=${Work}/mini.xz "${PROGRAM}")
file(REMOVE_RECURSE "${Work}")
