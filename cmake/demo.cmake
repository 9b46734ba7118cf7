# Script mode: cmake -DEXE=<cfgrenum> -DSAMPLE=<aircraft.cfg> -DDIR=<folder> -P demo.cmake
# Copies the sample into DIR, runs the program there as a user would, then shows each header line
# before and after.
# Afresh each time: a folder left from an earlier demo would hide the warnings it means to show.
file(REMOVE_RECURSE "${DIR}")
file(MAKE_DIRECTORY "${DIR}")
configure_file("${SAMPLE}" "${DIR}/aircraft.cfg" COPYONLY)
# A real aircraft's folder holds the texture folders that its entries name: all but one here. The
# float version was pasted in without its folder, as pasted liveries often are, so that the demo
# shows what the program warns of (with the title that the sample repeats).
set(not_copied texture.floats)
file(STRINGS "${SAMPLE}" textures REGEX "^texture=")
foreach(texture IN LISTS textures)
    string(REGEX REPLACE "^texture=([^\r]*)\r?$" "texture.\\1" folder "${texture}")
    if(NOT folder STREQUAL not_copied)
        file(MAKE_DIRECTORY "${DIR}/${folder}")
    endif()
endforeach()

# `cmake --workflow` hands its steps no terminal on standard input, so the program would take the
# end of its input for the key. Where this runs in a terminal, the program reads the terminal, and
# waits for a key exactly as it does for a user.
set(input "")
if(UNIX)
    execute_process(COMMAND sh -c "exec </dev/tty" RESULT_VARIABLE no_terminal
        OUTPUT_QUIET ERROR_QUIET)
    if(no_terminal EQUAL 0)
        set(input INPUT_FILE /dev/tty)
    endif()
endif()
message("\nRunning cfgrenum in ${DIR} (it waits for a key at the end):\n")
execute_process(COMMAND "${EXE}" WORKING_DIRECTORY "${DIR}" RESULT_VARIABLE status ${input})
message("\nExit status: ${status}\n")

set(header_line "^[ \t]*\\[")
file(STRINGS "${SAMPLE}" before REGEX "${header_line}")
file(STRINGS "${DIR}/aircraft.cfg" after REGEX "${header_line}")
list(LENGTH before count)
message("Header lines, before -> after (the whole result is ${DIR}/aircraft.cfg):")
if(count GREATER 0)
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
        list(GET before ${i} old)
        list(GET after ${i} new)
        string(REGEX REPLACE "\r$" "" old "${old}")
        string(REGEX REPLACE "\r$" "" new "${new}")
        message("  ${old}  ->  ${new}")
    endforeach()
endif()
