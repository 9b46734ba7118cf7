# Included by ctest, before the tests of a 32-bit Windows build are listed, with EMULATOR (how a
# Windows program is run here) and PROBE (a 32-bit Windows program that ends with status 42) set.
# 64-bit Wine alone cannot start a 32-bit program, and then every test program fails to list its
# tests with a cause that names nothing; this says what is missing, and ends the test run at once.
execute_process(COMMAND ${EMULATOR} "${PROBE}" RESULT_VARIABLE status OUTPUT_VARIABLE output
    ERROR_VARIABLE output TIMEOUT 300)
if(NOT status EQUAL 42)
    string(REGEX REPLACE "[ \t\r\n]+" " " output "${output}")
    string(STRIP "${output}" output)
    message(FATAL_ERROR
        "wine32 is missing: Wine cannot run the 32-bit program ${PROBE} (${status}: ${output}), "
        "so no test of this 32-bit build can run. Install wine32 beside wine64 (dpkg "
        "--add-architecture i386 && apt-get update && apt-get install wine32:i386), on a kernel "
        "that runs 32-bit code; or test the 64-bit build: cmake --workflow --preset test-windows")
endif()
