# Makes the help's keyword index in the staged help project with tarnwick-cli, from the help's
# own pages, as a help author would with Tarnwick. A tarnwick-cli that writes no index (one that
# only parses) leaves the hand-made index FALLBACK in its place, and says so.
#
# Input: CLI, PROJECT (the staged .hhp), INDEX (the .hhk the project names), OPTIONS ("|" between
# options), DEFAULT_LIST, EXCLUDE_LIST, FALLBACK, DATA_HOME (a data folder of the build's own, so
# that the user's settings and lists never take part).
cmake_minimum_required(VERSION 3.25)

get_filename_component(folder "${PROJECT}" DIRECTORY)
file(REMOVE "${INDEX}")
string(REPLACE "|" ";" options "${OPTIONS}")
set(ENV{XDG_DATA_HOME} "${DATA_HOME}")
execute_process(
    COMMAND "${CLI}" ${options} --quiet
            --default-list "${DEFAULT_LIST}" --exclude-list "${EXCLUDE_LIST}" "${PROJECT}"
    WORKING_DIRECTORY "${folder}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "tarnwick-cli failed (${result}) making the help's index:\n${out}${err}")
endif()
if(EXISTS "${INDEX}")
    message(STATUS "Help index written by tarnwick-cli")
else()
    file(COPY_FILE "${FALLBACK}" "${INDEX}")
    message(STATUS "tarnwick-cli wrote no index; the help uses the hand-made ${FALLBACK}")
endif()
