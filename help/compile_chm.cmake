# Compiles the staged help project with chmcmd and copies the result to OUTPUT. chmcmd exits 0
# even when it reports errors, and names broken links and missing files only in "Warning" lines,
# so its output is read: any error or warning line, a crash, or a missing result fails the build.
#
# Input: CHMCMD, PROJECT (the staged .hhp), COMPILED (the .chm the project names), OUTPUT.
cmake_minimum_required(VERSION 3.25)

get_filename_component(folder "${PROJECT}" DIRECTORY)
get_filename_component(name "${PROJECT}" NAME)
file(REMOVE "${COMPILED}" "${OUTPUT}")
# chmcmd opens the [ALIAS] and [MAP] include files relative to the working folder.
execute_process(
    COMMAND "${CHMCMD}" "${name}"
    WORKING_DIRECTORY "${folder}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
set(report "${out}\n${err}")
string(REGEX MATCHALL "(^|\n)[ \t]*(Error|Warning|An unhandled exception|This HHP CHM project|Can't find)[^\n]*"
       problems "${report}")
if(problems OR NOT result EQUAL 0 OR NOT EXISTS "${COMPILED}")
    file(REMOVE "${COMPILED}")
    message(FATAL_ERROR "chmcmd could not compile ${PROJECT} (exit ${result}):\n${report}")
endif()
file(COPY_FILE "${COMPILED}" "${OUTPUT}")
