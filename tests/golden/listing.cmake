# Writes a listing of a folder tree that shows every byte of it, for comparing a run's
# output with a checked-in one:
#
#   d <path>                                   a folder
#   f <path>  <size> bytes  sha256 <digest>    a file shown by its digest
#   f <path>  <size> bytes                     a text file (*.csv), its lines following:
#       <line>\r\n                             one line, its line end written out
#
# Paths are relative to the listed folder, "/" between levels, sorted by their bytes.
# Path bytes outside printable ASCII (the code page 932 folder names, for one) are written
# as \xNN and "\" as \\, so that every byte of a name can be read off the listing. In the
# lines of a text file, bytes from 0x80 up are kept as they are (the lists hold UTF-8), CR
# and LF are written \r and \n (LF ends the listed line too), other control bytes \xNN and
# "\" \\.
#
# include() this file for bunkai_listing(); "cmake -DROOT=<folder> -DOUTPUT=<file> -P
# listing.cmake" writes the listing of ROOT into OUTPUT.

# How each byte is written, by its two lowercase hex digits.
function(_bunkai_listing_byte_table)
  set(digits 0 1 2 3 4 5 6 7 8 9 a b c d e f)
  set(code 0)
  foreach(high IN LISTS digits)
    foreach(low IN LISTS digits)
      set(hex "${high}${low}")
      set(char "")
      if(code GREATER 0)
        string(ASCII ${code} char)
      endif()
      if(code EQUAL 92)
        set(path_form "\\\\")
        set(text_form "\\\\")
      elseif(code LESS 32 OR code EQUAL 127)
        set(path_form "\\x${hex}")
        set(text_form "\\x${hex}")
      elseif(code GREATER 127)
        set(path_form "\\x${hex}")
        set(text_form "${char}")
      else()
        set(path_form "${char}")
        set(text_form "${char}")
      endif()
      set(_bunkai_path_byte_${hex} "${path_form}" PARENT_SCOPE)
      set(_bunkai_raw_byte_${hex} "${char}" PARENT_SCOPE)
      set(_bunkai_text_byte_${hex} "${text_form}" PARENT_SCOPE)
      math(EXPR code "${code} + 1")
    endforeach()
  endforeach()
endfunction()
_bunkai_listing_byte_table()
set(_bunkai_text_byte_0d "\\r")
set(_bunkai_text_byte_0a "\\n\n    ")

# Writes the bytes given as hex digits in the "path" or "text" form, or as they are ("raw"),
# into out_var.
function(bunkai_listing_escape hex form out_var)
  string(REGEX MATCHALL ".." bytes "${hex}")
  set(result "")
  foreach(byte IN LISTS bytes)
    string(APPEND result "${_bunkai_${form}_byte_${byte}}")
  endforeach()
  set(${out_var} "${result}" PARENT_SCOPE)
endfunction()

# The lines of a text file given as hex digits, indented, each ending in its line end as
# written out; the part after the last line end is a line of its own, without a line end.
function(bunkai_listing_lines hex out_var)
  bunkai_listing_escape("${hex}" text lines)
  if(NOT lines STREQUAL "")
    set(lines "    ${lines}\n")
    # A text ending in a line end leaves an empty indented line behind.
    string(REGEX REPLACE "\n    \n$" "\n" lines "${lines}")
  endif()
  set(${out_var} "${lines}" PARENT_SCOPE)
endfunction()

# Every path below the folder `root`, relative, each as the hex digits of its bytes, sorted
# by those bytes. file(GLOB) cannot be used: it takes a byte 0x5C ("\\"), which ends many
# code page 932 characters, for a separator and gives "/" instead. find and od report the
# bytes as they are.
function(bunkai_listing_paths root out_var)
  execute_process(COMMAND find . -mindepth 1 -print0
                  COMMAND od -An -v -tx1
                  WORKING_DIRECTORY "${root}"
                  OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot list ${root}: ${status}")
  endif()
  string(REGEX REPLACE "[ \t\r\n]" "" dump "${dump}")
  string(REGEX MATCHALL ".." bytes "${dump}")
  set(paths "")
  set(path "")
  foreach(byte IN LISTS bytes)
    if(byte STREQUAL "00")
      # Each path starts with "./".
      string(SUBSTRING "${path}" 4 -1 path)
      list(APPEND paths "${path}")
      set(path "")
    else()
      string(APPEND path "${byte}")
    endif()
  endforeach()
  list(SORT paths)
  set(${out_var} "${paths}" PARENT_SCOPE)
endfunction()

# The listing of the folder `root`, leaving out the paths (relative, as listed) in the list
# `skipped` and everything below them.
function(bunkai_listing root skipped out_var)
  set(skipped_hex "")
  foreach(prefix IN LISTS skipped)
    string(HEX "${prefix}" prefix_hex)
    list(APPEND skipped_hex "${prefix_hex}")
  endforeach()
  bunkai_listing_paths("${root}" paths)
  set(listing "")
  foreach(path_hex IN LISTS paths)
    set(skip FALSE)
    foreach(prefix_hex IN LISTS skipped_hex)
      string(FIND "${path_hex}2f" "${prefix_hex}2f" at)
      if(at EQUAL 0)
        set(skip TRUE)
      endif()
    endforeach()
    if(skip)
      continue()
    endif()
    bunkai_listing_escape("${path_hex}" path shown)
    bunkai_listing_escape("${path_hex}" raw path)
    set(full "${root}/${path}")
    if(IS_SYMLINK "${full}")
      string(APPEND listing "l ${shown}\n")
    elseif(IS_DIRECTORY "${full}")
      string(APPEND listing "d ${shown}\n")
    else()
      file(SIZE "${full}" size)
      if(path MATCHES "\\.csv$")
        # Read as hex: a zero byte would cut a text read short.
        file(READ "${full}" hex HEX)
        bunkai_listing_lines("${hex}" lines)
        string(APPEND listing "f ${shown}  ${size} bytes\n${lines}")
      else()
        file(SHA256 "${full}" digest)
        string(APPEND listing "f ${shown}  ${size} bytes  sha256 ${digest}\n")
      endif()
    endif()
  endforeach()
  set(${out_var} "${listing}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT DEFINED ROOT OR NOT DEFINED OUTPUT)
    message(FATAL_ERROR "usage: cmake -DROOT=<folder> -DOUTPUT=<file> -P listing.cmake")
  endif()
  bunkai_listing("${ROOT}" "" listing)
  file(WRITE "${OUTPUT}" "${listing}")
endif()
