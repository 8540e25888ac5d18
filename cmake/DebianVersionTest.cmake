# SPDX-License-Identifier: GPL-2.0-or-later
# cmake -P cmake/DebianVersionTest.cmake: the package versions of git
# describe texts.
include(${CMAKE_CURRENT_LIST_DIR}/DebianVersion.cmake)
set(Failures 0)
foreach(Case
    "v1.2.3=1.2.3" "1.2.3=1.2.3" "v1.2.3-14-gabcdef0=1.2.3+14.gabcdef0" "abcdef0=0+gabcdef0"
    "abcdef0-dirty=0+gabcdef0.dirty" "2.0-dirty=2.0+dirty" "v1.0-rc1-3-g1234567=1.0.rc1+3.g1234567"
    "release_x=0+release.x" "=0")
  string(FIND "${Case}" "=" Split)
  string(SUBSTRING "${Case}" 0 ${Split} Describe)
  math(EXPR ExpectedStart "${Split} + 1")
  string(SUBSTRING "${Case}" ${ExpectedStart} -1 Expected)
  quorvel_debian_version("${Describe}" Version)
  if(NOT Version STREQUAL Expected)
    message(SEND_ERROR "git describe \"${Describe}\" gave \"${Version}\", expected \"${Expected}\"")
    math(EXPR Failures "${Failures} + 1")
  endif()
endforeach()
# dpkg itself must accept them, and order a later build above an earlier one.
find_program(Dpkg dpkg)
if(Dpkg)
  foreach(Pair "0+gabcdef0<0.1" "1.2.3<1.2.3+14.gabcdef0" "1.2.3+14.gabcdef0<1.2.4")
    string(REPLACE "<" ";" Versions "${Pair}")
    list(GET Versions 0 Lower)
    list(GET Versions 1 Higher)
    execute_process(COMMAND ${Dpkg} --compare-versions "${Lower}" lt "${Higher}" RESULT_VARIABLE Result)
    if(NOT Result EQUAL 0)
      message(SEND_ERROR "dpkg does not order ${Lower} below ${Higher}")
    endif()
  endforeach()
endif()
