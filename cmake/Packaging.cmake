# SPDX-License-Identifier: GPL-2.0-or-later
# Installation and the Debian package. In a release build folder,
# `cpack -G DEB` makes quorvel_<version>_<architecture>.deb from the program
# built there: /usr/bin/quorvel (stripped, with its function names kept as
# MiniDebugInfo for crash reports), the service's unit in the system unit
# folder (disabled: the package enables and starts nothing), and the README,
# licence, notices, copyright and changelog in /usr/share/doc/quorvel, the
# manual page, and the home page's players in /usr/share/quorvel/player
# (cmake/PlayerFiles.cmake), where the installed program finds them.
# Depends comes from dpkg-shlibdeps (needs dpkg-dev), and the version from
# the build information's git describe (cmake/DebianVersion.cmake).
include(GNUInstallDirs)

# The package installs under /usr; its unit names the program there.
set(QuorvelPackagePrefix /usr)
set(QuorvelPackageFolder ${CMAKE_BINARY_DIR}/package)
set(QuorvelDocumentationFolder ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvel)
set(QuorvelMaintainer "Quorvel developers <quorvel@example.org>")

# The unit, as -Service:Install writes it for the installed program.
set(QuorvelUnitFile ${QuorvelPackageFolder}/pellumo-quorvel.service)
add_custom_command(OUTPUT ${QuorvelUnitFile}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QuorvelPackageFolder}
  COMMAND quorvel_unit_file ${QuorvelPackagePrefix}/${CMAKE_INSTALL_BINDIR}/quorvel ${QuorvelUnitFile}
  DEPENDS quorvel_unit_file
  COMMENT "Service unit of the package" VERBATIM)
set(QuorvelChangelog ${QuorvelPackageFolder}/changelog.gz)
add_custom_command(OUTPUT ${QuorvelChangelog}
  COMMAND ${CMAKE_COMMAND} -DVERSION_FILE=${QUORVEL_BUILD_VERSION_FILE} -DMAINTAINER=${QuorvelMaintainer}
          -DOUTPUT=${QuorvelChangelog} -P ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
  DEPENDS ${QUORVEL_BUILD_VERSION_FILE} ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake ${PROJECT_SOURCE_DIR}/cmake/DebianVersion.cmake
  COMMENT "Changelog of the package" VERBATIM)
set(QuorvelManualPage ${QuorvelPackageFolder}/quorvel.1.gz)
add_custom_command(OUTPUT ${QuorvelManualPage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QuorvelPackageFolder}
  COMMAND sh -c "gzip -n -9 -c '${PROJECT_SOURCE_DIR}/docs/quorvel.1' > '${QuorvelManualPage}'"
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/quorvel.1
  COMMENT "Manual page of the package" VERBATIM)
add_custom_target(quorvel_package_files ALL DEPENDS ${QuorvelUnitFile} ${QuorvelChangelog} ${QuorvelManualPage})
add_dependencies(quorvel_package_files quorvel_build_info)

install(TARGETS quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(CODE "execute_process(COMMAND ${CMAKE_COMMAND} -DPROGRAM=\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quorvel
                                      -P ${PROJECT_SOURCE_DIR}/cmake/MiniDebugInfo.cmake COMMAND_ERROR_IS_FATAL ANY)")
# lib/systemd/system under /usr: the system unit folder of a merged /usr.
install(FILES ${QuorvelUnitFile} DESTINATION lib/systemd/system)
install(FILES ${QuorvelManualPage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QuorvelPlayerOutputs} DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvel/player)
install(FILES README.md LICENSE THIRD-PARTY-NOTICES cmake/debian/copyright ${QuorvelChangelog}
  DESTINATION ${QuorvelDocumentationFolder})

add_test(NAME package_debian_version COMMAND ${CMAKE_COMMAND} -P ${PROJECT_SOURCE_DIR}/cmake/DebianVersionTest.cmake)

find_program(QuorvelDpkg dpkg)
if(QuorvelDpkg)
  execute_process(COMMAND ${QuorvelDpkg} --print-architecture OUTPUT_VARIABLE QUORVEL_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE)
else()
  set(QUORVEL_PACKAGE_ARCHITECTURE amd64)
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/CPackProjectConfig.cmake.in ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake @ONLY)

set(CPACK_GENERATOR DEB)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel developers")
set(CPACK_PACKAGE_CONTACT "${QuorvelMaintainer}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test streaming server for adaptive-streaming players")
# The synopsis line comes from the summary; this is the text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorvel serves HLS and MPEG-DASH presentations made on request: a
synthesised picture and tone, encoded to H.264 or HEVC and AAC, FLAC, Opus,
AC-3 or E-AC-3, packaged as fragmented MP4, optionally encrypted with Common Encryption,
on demand or live. Any segment can be asked for at any time, in any order.
.
It runs in a console or as the systemd service pellumo-quorvel.service,
which this package installs disabled.")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorvel.example.org/")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${QUORVEL_PACKAGE_ARCHITECTURE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The picture's text is set in Open Sans, which no library dependency brings.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-open-sans")
set(CPACK_PACKAGING_INSTALL_PREFIX ${QuorvelPackagePrefix})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
