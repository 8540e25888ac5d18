# SPDX-License-Identifier: GPL-2.0-or-later
# The Debian package version of a git describe text, so that the package
# names the build the program reports ("Git Describe" of the version route):
#   v1.2.3 or 1.2.3         1.2.3
#   v1.2.3-14-gabcdef0      1.2.3+14.gabcdef0   (commits after the tag sort above it)
#   abcdef0 (no tag yet)    0+gabcdef0          (below any numbered tag)
#   ...-dirty               ...+dirty, or ....dirty after a "+"
# A tag that does not start with a digit goes after "0+"; characters a
# Debian version cannot hold become ".".
function(quorvel_debian_version GitDescribe OutputVariable)
  set(Text "${GitDescribe}")
  set(Dirty FALSE)
  if(Text MATCHES "^(.*)-dirty$")
    set(Text "${CMAKE_MATCH_1}")
    set(Dirty TRUE)
  endif()
  set(Suffix "")
  if(Text MATCHES "^(.+)-([0-9]+)-g([0-9a-f]+)$")
    set(Text "${CMAKE_MATCH_1}")
    set(Suffix "+${CMAKE_MATCH_2}.g${CMAKE_MATCH_3}")
  elseif(Text MATCHES "^[0-9a-f]+$")
    set(Text "g${Text}")
  endif()
  string(REGEX REPLACE "^v([0-9])" "\\1" Text "${Text}")
  string(REGEX REPLACE "[^A-Za-z0-9.+~]" "." Text "${Text}")
  if(Text STREQUAL "")
    set(Version "0")
  elseif(Text MATCHES "^[0-9]")
    set(Version "${Text}${Suffix}")
  else()
    set(Version "0+${Text}${Suffix}")
  endif()
  if(Dirty AND Version MATCHES "[+]")
    string(APPEND Version ".dirty")
  elseif(Dirty)
    string(APPEND Version "+dirty")
  endif()
  set(${OutputVariable} "${Version}" PARENT_SCOPE)
endfunction()
