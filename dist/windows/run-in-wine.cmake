# Runs one program of the Windows build under Wine at build time, without a display and without the
# user's ~/.wine:
#   cmake -DWINE=... -DWINESERVER=... -DWINE_PATH=... -DSCRATCH_DIR=... -DCOMMAND=... -P run-in-wine.cmake
# COMMAND: the program and its arguments; WINE_PATH: the folders Windows looks for DLLs in (Windows paths);
# both separated by "|", as a ";" would split them on the way through the build tool. The program runs in
# the booted Wine prefix WINEPREFIX names, if any, else in a prefix of its own made below SCRATCH_DIR and
# removed afterwards (a booted prefix takes about 700 MB).
cmake_minimum_required(VERSION 3.25)
foreach(variable IN ITEMS WINE WINESERVER WINE_PATH SCRATCH_DIR COMMAND)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "run-in-wine.cmake: ${variable} is not set")
    endif()
endforeach()
string(REPLACE "|" ";" command "${WINE}|${COMMAND}")
string(REPLACE "|" ";" wine_path "${WINE_PATH}")
set(ENV{WINEPATH} "${wine_path}")
set(ENV{WINEDEBUG} "-all")
# No Mono or Gecko to offer, and no desktop entries for the host's menu.
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml,winemenubuilder.exe=")
set(ENV{QT_QPA_PLATFORM} offscreen)
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})

set(own_prefix "")
if(NOT DEFINED ENV{WINEPREFIX} OR NOT EXISTS "$ENV{WINEPREFIX}/system.reg")
    string(RANDOM LENGTH 8 suffix)
    set(own_prefix "${SCRATCH_DIR}/wineprefix-${suffix}")
    file(MAKE_DIRECTORY "${SCRATCH_DIR}")
    set(ENV{WINEPREFIX} "${own_prefix}")
    # Booted first, so Wine's reports on making the prefix do not mix with the program's.
    execute_process(COMMAND "${WINE}" wineboot -i OUTPUT_QUIET ERROR_QUIET)
endif()
execute_process(COMMAND ${command} RESULT_VARIABLE result)
if(own_prefix)
    # Its wine server goes before its files do.
    execute_process(COMMAND "${WINESERVER}" -k OUTPUT_QUIET ERROR_QUIET)
    execute_process(COMMAND "${WINESERVER}" -w OUTPUT_QUIET ERROR_QUIET)
    file(REMOVE_RECURSE "${own_prefix}")
endif()
if(NOT result EQUAL 0)
    list(JOIN command " " shown)
    message(FATAL_ERROR "run-in-wine.cmake: ${shown} failed: ${result}")
endif()
