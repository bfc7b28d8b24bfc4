# Fetches the word-vector package with npm and converts it into the word table. Every failure
# (no npm, no network, a broken download) warns and leaves the build to go on without the table.
#
# cmake -DNPM=… -DPACKAGE=name@version -DWORK_DIR=… -DCONVERTER=… -DOUTPUT=… -DSOURCES=a|b
#       -P fetch-word-table.cmake
cmake_minimum_required(VERSION 3.25)

function(give_up reason)
  message(WARNING "No word table for semantic search: ${reason}. Pemmo builds and runs without its "
                  "semantic tier; keyword search is unchanged.")
  return()
endfunction()

get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
get_filename_component(output_stem "${OUTPUT}" NAME_WLE)
set(stamp "${WORK_DIR}/built-from")
# The table depends on the package and on the code that folds, filters and lays out the words.
set(source_id "${PACKAGE}")
string(REPLACE "|" ";" SOURCES "${SOURCES}")
foreach(source IN LISTS SOURCES)
  file(SHA256 "${source}" digest)
  string(APPEND source_id " ${digest}")
endforeach()

if(EXISTS "${OUTPUT}" AND EXISTS "${stamp}")
  file(READ "${stamp}" built_from)
  if(built_from STREQUAL source_id)
    return() # up to date
  endif()
endif()

if(NOT NPM)
  give_up("npm was not found")
  return()
endif()

file(MAKE_DIRECTORY "${WORK_DIR}")
file(GLOB tarballs "${WORK_DIR}/*.tgz")
if(NOT tarballs)
  message(STATUS "Fetching ${PACKAGE} with npm (about 120 MB, once)")
  # npm keeps the download in its own cache, so other build trees get it without the network.
  execute_process(
    COMMAND "${NPM}" pack "${PACKAGE}" --prefer-offline --silent --fetch-retries=1 --fetch-timeout=60000
            --pack-destination "${WORK_DIR}"
    WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE status
    OUTPUT_QUIET ERROR_VARIABLE npm_error
    TIMEOUT 900)
  file(GLOB tarballs "${WORK_DIR}/*.tgz")
  if(NOT status EQUAL 0 OR NOT tarballs)
    string(STRIP "${npm_error}" npm_error)
    give_up("npm pack ${PACKAGE} failed (${npm_error})")
    return()
  endif()
endif()
list(GET tarballs 0 tarball)

set(unpacked "${WORK_DIR}/unpacked")
file(REMOVE_RECURSE "${unpacked}")
file(ARCHIVE_EXTRACT INPUT "${tarball}" DESTINATION "${unpacked}")
file(GLOB documents "${unpacked}/package/*.json")
list(FILTER documents EXCLUDE REGEX "/package\\.json$")
if(NOT documents)
  file(REMOVE_RECURSE "${unpacked}")
  give_up("${tarball} holds no vectors")
  return()
endif()
list(GET documents 0 document)

message(STATUS "Converting ${PACKAGE} into ${OUTPUT}")
file(MAKE_DIRECTORY "${output_dir}")
execute_process(COMMAND "${CONVERTER}" "${document}" "${OUTPUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE_RECURSE "${unpacked}")
  give_up("the conversion failed")
  return()
endif()
# The vectors' licence and their acknowledgement travel with the table.
foreach(name LICENSE ACKNOWLEDGEMENT)
  file(GLOB notice "${unpacked}/package/${name}*")
  if(notice)
    list(GET notice 0 notice)
    file(COPY_FILE "${notice}" "${output_dir}/${output_stem}.${name}")
  endif()
endforeach()
file(REMOVE_RECURSE "${unpacked}")
file(WRITE "${stamp}" "${source_id}")
