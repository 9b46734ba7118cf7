# Script mode: cmake -DEXE=<cfgrenum.exe> -DVERSION=<x.y.z> -P check_resources.cmake
# Fails unless the exe carries the application manifest (which turns off UAC file
# virtualization) and version information with the project's version.
if(NOT EXISTS "${EXE}")
    message(FATAL_ERROR "no such program: ${EXE}")
endif()
file(STRINGS "${EXE}" manifest REGEX "requestedExecutionLevel level=\"asInvoker\"")
file(STRINGS "${EXE}" supported REGEX "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a")
file(STRINGS "${EXE}" version ENCODING UTF-16LE REGEX "^${VERSION}$")
file(STRINGS "${EXE}" product ENCODING UTF-16LE REGEX "ProductVersion")
if(NOT manifest OR NOT supported)
    message(FATAL_ERROR "${EXE} carries no manifest with requestedExecutionLevel asInvoker")
endif()
if(NOT version OR NOT product)
    message(FATAL_ERROR "${EXE} carries no version information for ${VERSION}")
endif()
message(STATUS "${EXE}: manifest (asInvoker) and version ${VERSION} present")
