# Writes the checker's answer key for one build: salted SHA-256 hashes of the
# answers in ANSWERS, with the addresses taken from the build's linker map.
#
#   cmake -DMAP=kestravo.map -DEXE=kestravo.exe -DANSWERS=answers.cmake
#         -DKEY=kKestravoKey -DOUT=answer_key.inc -P answer_key.cmake
#
# The salt is the SHA-256 of the exe's bytes: it changes with every build of
# the program but not with the directory it is built in.
cmake_minimum_required(VERSION 3.25)

foreach(var MAP EXE ANSWERS KEY OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "answer_key.cmake: -D${var}=... is missing")
  endif()
endforeach()

function(kv_answer)
  if(NOT ARGC EQUAL 4)
    message(FATAL_ERROR "${ANSWERS}: kv_answer(${ARGV}) takes EXERCISE SLOT KIND VALUE")
  endif()
  set_property(GLOBAL APPEND PROPERTY kv_entries "${ARGV0}|${ARGV1}|${ARGV2}|${ARGV3}|None")
endfunction()

function(kv_miss)
  if(NOT ARGC EQUAL 5)
    message(FATAL_ERROR "${ANSWERS}: kv_miss(${ARGV}) takes EXERCISE SLOT KIND VALUE NUDGE")
  endif()
  set_property(GLOBAL APPEND PROPERTY kv_entries "${ARGV0}|${ARGV1}|${ARGV2}|${ARGV3}|${ARGV4}")
endfunction()

include("${ANSWERS}")
get_property(entries GLOBAL PROPERTY kv_entries)

set(wanted "")
foreach(entry IN LISTS entries)
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 2 kind)
  list(GET fields 3 value)
  if(kind STREQUAL "SYMBOL")
    list(APPEND wanted "${value}")
  endif()
endforeach()

# Addresses are compared as text: pad them all to one width.
function(kv_pad16 out hex)
  string(TOLOWER "${hex}" hex)
  string(LENGTH "${hex}" length)
  math(EXPR zeros "16 - ${length}")
  string(REPEAT "0" ${zeros} pad)
  set(${out} "${pad}${hex}" PARENT_SCOPE)
endfunction()

# Symbol lines of a GNU ld map: "                0x00402db0                Name".
# Assignments ("__image_base__ = 0x400000") name a value, not a routine: they
# do not end the routine before them.
file(STRINGS "${MAP}" lines REGEX "^                0x[0-9a-fA-F]+ +[^ ]")
string(REPLACE "[" "(" lines "${lines}")  # keep brackets in C++ names from grouping list items
string(REPLACE "]" ")" lines "${lines}")
set(addresses "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^ +0x([0-9a-fA-F]+) +([^ ].*)$")
    continue()
  endif()
  kv_pad16(address "${CMAKE_MATCH_1}")
  set(name "${CMAKE_MATCH_2}")
  if(name MATCHES "=")
    if(name MATCHES "^([A-Za-z_][A-Za-z0-9_]*) += ")
      set(assigned_${CMAKE_MATCH_1} "${address}")
    endif()
    continue()
  endif()
  list(APPEND addresses "${address}")
  if(name IN_LIST wanted)
    if(DEFINED symbol_${name} AND NOT symbol_${name} STREQUAL address)
      message(FATAL_ERROR "${MAP}: ${name} has two addresses")
    endif()
    set(symbol_${name} "${address}")
  endif()
endforeach()
list(REMOVE_DUPLICATES addresses)
list(SORT addresses)

if(NOT DEFINED assigned___image_base__)
  message(FATAL_ERROR "${MAP}: no __image_base__")
endif()
set(base "${assigned___image_base__}")

file(SHA256 "${EXE}" salt)
string(REGEX REPLACE "(..)" "0x\\1, " salt_bytes "${salt}")
string(REGEX REPLACE ", $" "" salt_bytes "${salt_bytes}")

set(body "")
foreach(entry IN LISTS entries)
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 exercise)
  list(GET fields 1 slot)
  list(GET fields 2 kind)
  list(GET fields 3 value)
  list(GET fields 4 nudge)
  set(size 0)
  if(kind STREQUAL "SYMBOL")
    # Canonical: the offset from the image base, 8 upper-case hex digits.
    if(DEFINED symbol_${value})
      set(address "${symbol_${value}}")
      list(FIND addresses "${address}" at)
      math(EXPR at "${at} + 1")
      list(LENGTH addresses count)
      if(at GREATER_EQUAL count)
        message(FATAL_ERROR "${MAP}: nothing follows ${value}, so its size is unknown")
      endif()
      list(GET addresses ${at} next)
      math(EXPR size "0x${next} - 0x${address}")
    elseif(DEFINED assigned_${value})
      set(address "${assigned_${value}}")
      set(size 1)
    else()
      message(FATAL_ERROR "${MAP}: no symbol ${value}")
    endif()
    math(EXPR rva "0x${address} - 0x${base}" OUTPUT_FORMAT HEXADECIMAL)
    if(rva MATCHES "^-")
      message(FATAL_ERROR "${MAP}: ${value} lies below the image base")
    endif()
    string(REGEX REPLACE "^0x" "" rva "${rva}")
    kv_pad16(rva "${rva}")
    string(SUBSTRING "${rva}" 8 8 canonical)
    string(TOUPPER "${canonical}" canonical)
  elseif(kind STREQUAL "NUMBER")
    if(NOT value MATCHES "^[0-9]+$")
      message(FATAL_ERROR "${ANSWERS}: ${value} is not a decimal number")
    endif()
    math(EXPR canonical "${value}")
  elseif(kind STREQUAL "WORD")
    string(TOLOWER "${value}" canonical)
  elseif(kind STREQUAL "HEX")
    if(NOT value MATCHES "^([0-9a-fA-F][0-9a-fA-F])+$")
      message(FATAL_ERROR "${ANSWERS}: ${value} is not a hex line")
    endif()
    string(TOUPPER "${value}" canonical)
  else()
    message(FATAL_ERROR "${ANSWERS}: unknown kind ${kind}")
  endif()
  string(SHA256 hash "${salt}|${exercise}|${slot}|${canonical}")
  string(REGEX REPLACE "(..)" "0x\\1, " hash "${hash}")
  string(REGEX REPLACE ", $" "" hash "${hash}")
  string(APPEND body "    {${exercise}, ${slot}, Nudge::k${nudge}, ${size}, {${hash}}},\n")
endforeach()

set(text "// Generated by tools/check/answer_key.cmake; do not edit. Hashes only.
const KeyEntry ${KEY}_entries[] = {
${body}};
const AnswerKey ${KEY} = {
    0x${base},
    {${salt_bytes}},
    ${KEY}_entries,
    sizeof ${KEY}_entries / sizeof ${KEY}_entries[0],
};
")
file(WRITE "${OUT}.new" "${text}")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
