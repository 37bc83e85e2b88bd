# Builds a Windows Installer package with wixl, the same bytes from the same files whenever and
# wherever it is built, and signs it:
# 1. every file that the source names is copied beside it with its time set to EPOCH, since the
#    package's cabinet records each file's time;
# 2. wixl runs with the clock frozen at EPOCH, since the summary information records when the
#    package was made; it fails on any message that wixl prints: wixl reports an attribute it
#    does not know as a warning, ends with status 0 and writes a package, which then lacks what
#    the source asked for;
# 3. the package code, which wixl draws at random, is derived from the package's content: one
#    code for each distinct package, as Windows Installer asks;
# 4. the package is signed (scripts/sign.sh).
#   cmake -DWIXL=<wixl> -DMSIBUILD=<msibuild> -DMSIINFO=<msiinfo> -DARCH=x86|x64 -DSOURCE=<.wxs>
#         -DPACKAGE=<.msi> -DEPOCH=<seconds> "-DFIXED_CLOCK=<command prefix>" "-DSIGN=<command>"
#         -P RunWixl.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE ${PACKAGE})
get_filename_component(folder ${SOURCE} DIRECTORY)
set(staging ${folder}/staged)
file(REMOVE_RECURSE ${staging})

file(READ ${SOURCE} wxs)
string(REGEX MATCHALL "Source=\"[^\"]+\"" sources "${wxs}")
list(REMOVE_DUPLICATES sources)
set(index 0)
set(content "")
foreach(attribute IN LISTS sources)
    string(REGEX REPLACE "^Source=\"(.*)\"$" "\\1" source "${attribute}")
    get_filename_component(name ${source} NAME)
    get_filename_component(path ${source} ABSOLUTE BASE_DIR ${folder})
    math(EXPR index "${index} + 1")
    file(MAKE_DIRECTORY ${staging}/${index})
    file(COPY_FILE ${path} ${staging}/${index}/${name})
    execute_process(COMMAND touch -d @${EPOCH} ${staging}/${index}/${name})
    string(REPLACE "${attribute}" "Source=\"staged/${index}/${name}\"" wxs "${wxs}")
    file(SHA256 ${path} hash)
    string(APPEND content "${name} ${hash}\n")
endforeach()
set(staged_source ${folder}/staged.wxs)
file(WRITE ${staged_source} "${wxs}")

set(unsigned ${PACKAGE}.unsigned)
execute_process(COMMAND ${FIXED_CLOCK} ${WIXL} --arch ${ARCH} --output ${unsigned} ${staged_source}
    WORKING_DIRECTORY ${folder} RESULT_VARIABLE status OUTPUT_VARIABLE messages ERROR_VARIABLE messages)
if(NOT status EQUAL 0 OR NOT messages STREQUAL "")
    file(REMOVE ${unsigned})
    message(FATAL_ERROR "wixl failed on ${SOURCE} (status ${status}):\n${messages}")
endif()

# msibuild sets the summary's subject, author, template and package code together.
execute_process(COMMAND ${MSIINFO} suminfo ${unsigned} OUTPUT_VARIABLE summary)
foreach(field Subject Author Template)
    string(REGEX MATCH "\n${field}: ([^\n]*)" match "\n${summary}")
    set(${field} "${CMAKE_MATCH_1}")
endforeach()
string(UUID package_code NAMESPACE 5F6A2F0C-39A5-4C07-8E3B-0F43A8F8B1D2 NAME "${wxs}${content}" TYPE SHA1 UPPER)
execute_process(COMMAND ${FIXED_CLOCK} ${MSIBUILD} ${unsigned} -s "${Subject}" "${Author}" "${Template}"
    "{${package_code}}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "msibuild could not set the package code of ${unsigned}")
endif()

execute_process(COMMAND ${SIGN} ${unsigned} ${PACKAGE} RESULT_VARIABLE status)
file(REMOVE ${unsigned})
file(REMOVE_RECURSE ${staging} ${staged_source})
if(NOT status EQUAL 0)
    file(REMOVE ${PACKAGE})
    message(FATAL_ERROR "signing ${PACKAGE} failed")
endif()
