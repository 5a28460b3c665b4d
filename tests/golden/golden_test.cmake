# Runs the demo (bunkai on the sample library, cmake/demo.cmake) and then bunkai a second
# time over the same folder, and compares what it printed and a listing of the whole run
# folder after each run (listing.cmake) with the checked-in sample.listing beside this file.
# Any change to the output, down to a byte of a list or a picture, shows up as a difference.
#
#   cmake -DBUNKAI=<program> -DWORK=<scratch folder> [-DUPDATE=ON] -P golden_test.cmake
#
# With UPDATE=ON the listing is written into sample.listing instead (see regenerate.sh).
cmake_minimum_required(VERSION 3.20)

foreach(variable BUNKAI WORK)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "usage: cmake -DBUNKAI=<program> -DWORK=<scratch folder> "
                        "[-DUPDATE=ON] -P golden_test.cmake")
  endif()
endforeach()

# The program runs in the run folder: a relative path to it must not be taken from there.
get_filename_component(BUNKAI "${BUNKAI}" ABSOLUTE)
get_filename_component(WORK "${WORK}" ABSOLUTE)
get_filename_component(source_root "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(sample "${source_root}/sample")
set(expected_file "${CMAKE_CURRENT_LIST_DIR}/sample.listing")
set(run_dir "${WORK}/run")
set(export_name "iTunes Music Library.xml")

include("${CMAKE_CURRENT_LIST_DIR}/listing.cmake")
include("${source_root}/cmake/demo.cmake")

# Whether the run left its input, the copy of the export and of Media/, as it was: the
# same paths, and every file the same bytes.
function(inputs_state out_var)
  set(state "unchanged")
  bunkai_listing_paths("${sample}/Media" sample_paths)
  bunkai_listing_paths("${run_dir}/Media" run_paths)
  if(NOT sample_paths STREQUAL run_paths)
    set(state "CHANGED: the paths under Media/ differ from the sample's")
  else()
    foreach(path_hex IN LISTS sample_paths)
      bunkai_listing_escape("${path_hex}" raw path)
      if(NOT IS_DIRECTORY "${sample}/Media/${path}")
        file(SHA256 "${sample}/Media/${path}" before)
        file(SHA256 "${run_dir}/Media/${path}" after)
        if(NOT before STREQUAL after)
          bunkai_listing_escape("${path_hex}" path shown)
          set(state "CHANGED: Media/${shown}")
        endif()
      endif()
    endforeach()
  endif()
  file(SHA256 "${sample}/${export_name}" before)
  file(SHA256 "${run_dir}/${export_name}" after)
  if(NOT before STREQUAL after)
    set(state "CHANGED: ${export_name}")
  endif()
  set(${out_var} "${state}" PARENT_SCOPE)
endfunction()

# The listing of one run: exit status, console output, the run folder.
function(run_listing title out_var)
  bunkai_demo_run("${BUNKAI}" "${run_dir}" output status)
  string(HEX "${output}" output_hex)
  bunkai_listing_lines("${output_hex}" console)
  inputs_state(inputs)
  bunkai_listing("${run_dir}" "${export_name};Media" files)
  if(UPDATE AND NOT (status EQUAL 0 AND inputs STREQUAL "unchanged"))
    message(FATAL_ERROR "not writing a listing of a failed run: status ${status}, "
                        "the export and Media/ ${inputs}")
  endif()
  set(${out_var} "== ${title}
exit status: ${status}
console:
${console}the export and Media/ (left out below): ${inputs}
${files}" PARENT_SCOPE)
endfunction()

bunkai_demo_prepare("${sample}" "${run_dir}")
run_listing("first run, in a fresh copy of sample/" first)
run_listing("second run, over the first run's output" second)
set(actual "# The output of bunkai for the sample library: tests/golden/golden_test.cmake makes
# this listing and compares it with this file. After an intended change of the output,
# regenerate it with tests/golden/regenerate.sh and review the difference.
# The format is explained in tests/golden/listing.cmake.

${first}
${second}")

if(UPDATE)
  file(WRITE "${expected_file}" "${actual}")
  message("wrote ${expected_file}")
  return()
endif()

set(actual_file "${WORK}/sample.listing")
file(WRITE "${actual_file}" "${actual}")
file(READ "${expected_file}" expected)
if(NOT actual STREQUAL expected)
  find_program(diff_program diff)
  if(diff_program)
    execute_process(COMMAND "${diff_program}" -u "${expected_file}" "${actual_file}")
  endif()
  message(FATAL_ERROR "The output differs from ${expected_file}: see ${actual_file}. If "
                      "the change is intended, run tests/golden/regenerate.sh.")
endif()
message("The output matches ${expected_file}.")
