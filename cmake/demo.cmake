# Runs bunkai on the sample library (sample/) in a fresh folder and tells what it made.
#
#   cmake -DBUNKAI=<program> -DSAMPLE=<sample folder> -DDEMO_DIR=<folder> -P demo.cmake
#
# The "demo" target runs it so.
cmake_minimum_required(VERSION 3.20)

# Makes `dir` a fresh copy of the sample library: the export and its Media folder, whose
# music files the export's relative Locations ("file://localhost/Media/Music/...") name.
function(bunkai_demo_prepare sample dir)
  file(REMOVE_RECURSE "${dir}")
  file(MAKE_DIRECTORY "${dir}")
  file(COPY "${sample}/iTunes Music Library.xml" "${sample}/Media" DESTINATION "${dir}")
endfunction()

# Runs the program in `dir` without arguments, as a double-click does, with an empty
# standard input so that it never waits for a key. Its console output is shown and stored
# in output_var, its exit status in status_var.
function(bunkai_demo_run program dir output_var status_var)
  if(CMAKE_HOST_WIN32)
    set(no_input NUL)
  else()
    set(no_input /dev/null)
  endif()
  execute_process(COMMAND "${program}" WORKING_DIRECTORY "${dir}" INPUT_FILE "${no_input}"
                  OUTPUT_VARIABLE output ECHO_OUTPUT_VARIABLE RESULT_VARIABLE status)
  set(${output_var} "${output}" PARENT_SCOPE)
  set(${status_var} "${status}" PARENT_SCOPE)
endfunction()

# How many paths below `dir` find(1) reports for its arguments `...`. file(GLOB) cannot
# count them: it reads the byte 0x5C that ends many code page 932 characters of the folder
# names as a separator. On Windows the names come out as Unicode, where GLOB is right.
function(bunkai_demo_count dir out_var glob)
  if(CMAKE_HOST_WIN32)
    file(GLOB_RECURSE found LIST_DIRECTORIES true "${dir}/${glob}")
    list(LENGTH found count)
  else()
    execute_process(COMMAND find ${ARGN} WORKING_DIRECTORY "${dir}"
                    OUTPUT_VARIABLE found RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "find ${ARGN} failed in ${dir}")
    endif()
    string(REGEX MATCHALL "\n" lines "${found}")
    list(LENGTH lines count)
  endif()
  set(${out_var} ${count} PARENT_SCOPE)
endfunction()

# Rows (lines) of the file `path`, 0 when there is none.
function(bunkai_demo_rows path out_var)
  set(count 0)
  if(EXISTS "${path}")
    # Counted by line ends: file(STRINGS) would break lines at non-ASCII bytes.
    file(READ "${path}" text)
    string(REGEX MATCHALL "\n" line_ends "${text}")
    list(LENGTH line_ends count)
  endif()
  set(${out_var} ${count} PARENT_SCOPE)
endfunction()

function(bunkai_demo_summary dir)
  bunkai_demo_count("${dir}" artists "Music/*" Music -mindepth 1 -maxdepth 1 -type d)
  bunkai_demo_count("${dir}" albums "Music/*/*" Music -mindepth 2 -maxdepth 2 -type d)
  bunkai_demo_count("${dir}" lists "Music/*list.csv" Music -name list.csv -type f)
  bunkai_demo_count("${dir}" pictures "Music/*img.*" Music -name img.* -type f)
  bunkai_demo_rows("${dir}/list.csv" artist_rows)
  bunkai_demo_rows("${dir}/errlist.csv" error_rows)
  bunkai_demo_rows("${dir}/err.csv" note_rows)
  message("")
  message("The output is in ${dir}")
  message("  Music/: ${artists} artist folders (Compilations included), ${albums} album folders")
  message("  list.csv: ${artist_rows} rows, one per artist folder; ${lists} more list.csv under Music/")
  message("  cover pictures (img.png, img.jpg): ${pictures}")
  message("  errlist.csv: ${error_rows} rows (tracks without a file in the media folder)")
  message("  err.csv: ${note_rows} rows (paths that could not be decoded)")
  message("The folder names under Music/ are code page 932 (Shift_JIS) bytes, as on Windows;")
  message("list rows are UTF-8. Open ${dir}/list.csv to start.")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  foreach(variable BUNKAI SAMPLE DEMO_DIR)
    if(NOT DEFINED ${variable})
      message(FATAL_ERROR "usage: cmake -DBUNKAI=<program> -DSAMPLE=<sample folder> "
                          "-DDEMO_DIR=<folder> -P demo.cmake")
    endif()
  endforeach()
  bunkai_demo_prepare("${SAMPLE}" "${DEMO_DIR}")
  bunkai_demo_run("${BUNKAI}" "${DEMO_DIR}" output status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "bunkai ended with status ${status}")
  endif()
  bunkai_demo_summary("${DEMO_DIR}")
endif()
