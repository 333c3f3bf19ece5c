# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DLUPDATE=… -DTS_FILE=… -DSOURCE_DIR=… -DLUPDATE_OPTIONS=… -DWORK_DIR=… -P CheckTranslation.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
get_filename_component(ts_name ${TS_FILE} NAME)
set(copy ${WORK_DIR}/${ts_name})
file(COPY_FILE ${TS_FILE} ${copy})
execute_process(COMMAND ${LUPDATE} ${SOURCE_DIR} ${LUPDATE_OPTIONS} -ts ${copy}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${status}):\n${output}")
endif()

file(READ ${copy} translation)
# Each message whose translation is unfinished (a new text) or vanished or obsolete (a text
# that is gone), by its source text.
string(REGEX MATCHALL "<source>[^<]*</source>[ \t\r\n]*(<[a-z]*comment>[^<]*</[a-z]*comment>[ \t\r\n]*)*<translation type=\"(unfinished|vanished|obsolete)\""
       faults "${translation}")
string(REGEX MATCHALL "type=\"(unfinished|vanished|obsolete)\"" marks "${translation}")
list(LENGTH marks count)
if(count GREATER 0)
    set(report "")
    foreach(fault IN LISTS faults)
        string(REGEX REPLACE "^<source>([^<]*)</source>.*type=\"([a-z]+)\"$" "  \\2: \\1" line "${fault}")
        string(APPEND report "${line}\n")
    endforeach()
    message(FATAL_ERROR "${count} text(s) of ${ts_name} need work (run the update_translations target, then "
        "translate or remove them):\n${report}")
endif()
message(STATUS "${ts_name}: every text has its translation")
