# Runs wixl and fails on any message it prints: wixl reports an attribute it does not know as a
# warning, ends with status 0 and writes a package, which then lacks what the source asked for.
#   cmake -DWIXL=<wixl> -DARCH=x86|x64 -DSOURCE=<.wxs> -DPACKAGE=<.msi> -P RunWixl.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE ${PACKAGE})
execute_process(COMMAND ${WIXL} --arch ${ARCH} --output ${PACKAGE} ${SOURCE}
    RESULT_VARIABLE status OUTPUT_VARIABLE messages ERROR_VARIABLE messages)
if(NOT status EQUAL 0 OR NOT messages STREQUAL "")
    file(REMOVE ${PACKAGE})
    message(FATAL_ERROR "wixl failed on ${SOURCE} (status ${status}):\n${messages}")
endif()
