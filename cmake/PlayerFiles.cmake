# SPDX-License-Identifier: GPL-2.0-or-later
# The players and the chart library of the home page: pinned npm packages
# (web/player/package.json and its lock), installed by `npm ci` in
# scripts/setup, copied into build/bin/player beside the program (where the
# server reads them at start-up) and installed to share/quorvel/player.
# Nothing is fetched while the server runs.
set(QuorvelPlayerModules ${PROJECT_SOURCE_DIR}/web/player/node_modules)
set(QuorvelPlayerFolder ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/player)
# Source in node_modules, then the name served under player/.
set(QuorvelPlayerSources
  hls.js/dist/hls.min.js hls.min.js
  hls.js/LICENSE hls.js.LICENSE.txt
  dashjs/dist/modern/umd/dash.all.min.js dash.all.min.js
  dashjs/LICENSE.md dash.js.LICENSE.txt
  shaka-player/dist/shaka-player.compiled.js shaka-player.compiled.js
  shaka-player/LICENSE shaka-player.LICENSE.txt
  uplot/dist/uPlot.iife.min.js uPlot.iife.min.js
  uplot/dist/uPlot.min.css uPlot.min.css
  uplot/LICENSE uPlot.LICENSE.txt)

set(QuorvelPlayerInputs "")
set(QuorvelPlayerOutputs "")
set(QuorvelPlayerCommands "")
set(QuorvelPlayerMissing "")
list(LENGTH QuorvelPlayerSources QuorvelPlayerCount)
math(EXPR QuorvelPlayerLast "${QuorvelPlayerCount} - 1")
foreach(Index RANGE 0 ${QuorvelPlayerLast} 2)
  math(EXPR NameIndex "${Index} + 1")
  list(GET QuorvelPlayerSources ${Index} Source)
  list(GET QuorvelPlayerSources ${NameIndex} Name)
  if(NOT EXISTS ${QuorvelPlayerModules}/${Source})
    list(APPEND QuorvelPlayerMissing web/player/node_modules/${Source})
  endif()
  list(APPEND QuorvelPlayerInputs ${QuorvelPlayerModules}/${Source})
  list(APPEND QuorvelPlayerOutputs ${QuorvelPlayerFolder}/${Name})
  list(APPEND QuorvelPlayerCommands COMMAND ${CMAKE_COMMAND} -E copy ${QuorvelPlayerModules}/${Source} ${QuorvelPlayerFolder}/${Name})
endforeach()

if(QuorvelPlayerMissing)
  # Only what needs the players fails: the fuzz targets and the libraries build without them.
  list(JOIN QuorvelPlayerMissing ", " MissingText)
  set(QuorvelPlayerError "The home page's players are not installed (missing ${MissingText}): run scripts/setup (npm ci in web/player), then build again")
  message(WARNING "${QuorvelPlayerError}")
  add_custom_target(quorvel_player_files
    COMMAND ${CMAKE_COMMAND} -E echo "${QuorvelPlayerError}"
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
else()
  add_custom_command(OUTPUT ${QuorvelPlayerOutputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QuorvelPlayerFolder}
    ${QuorvelPlayerCommands}
    DEPENDS ${QuorvelPlayerInputs} ${PROJECT_SOURCE_DIR}/web/player/package-lock.json
    COMMENT "Players of the home page" VERBATIM)
  add_custom_target(quorvel_player_files DEPENDS ${QuorvelPlayerOutputs})
endif()
add_dependencies(quorvel quorvel_player_files)
