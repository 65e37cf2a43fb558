# Writes the version header: the number in VERSION, and "+uncommitted" when
# the tree it is built from holds changes not yet committed, so such a build
# never passes for a release. Run at every build; the header is rewritten
# only when its text changes, so nothing rebuilds needlessly.
#
#   cmake -DSOURCE_DIR=... -DOUT=.../kestravo_version.h -P version.cmake
cmake_minimum_required(VERSION 3.25)

if(NOT EXISTS "${SOURCE_DIR}/VERSION")
  message(FATAL_ERROR "version.cmake: ${SOURCE_DIR}/VERSION is missing")
endif()
file(STRINGS "${SOURCE_DIR}/VERSION" version LIMIT_COUNT 1)
string(STRIP "${version}" version)
if(NOT version MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "version.cmake: VERSION holds \"${version}\"; it must be MAJOR.MINOR.PATCH")
endif()
set(major ${CMAKE_MATCH_1})
set(minor ${CMAKE_MATCH_2})
set(patch ${CMAKE_MATCH_3})

find_program(GIT git)
if(GIT AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" status --porcelain --untracked-files=no
                  OUTPUT_VARIABLE changes RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0 AND NOT changes STREQUAL "")
    string(APPEND version "+uncommitted")
  endif()
endif()

set(text "// Written by the build from VERSION.
#pragma once
#define KESTRAVO_VERSION \"${version}\"
#define KESTRAVO_VERSION_W L\"${version}\"
#define KESTRAVO_VERSION_NUMBERS ${major},${minor},${patch},0
")
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}" "${text}")
endif()
