# Makes the ZIP of one or more build trees' installations and the symbols archive of the same
# trees, the same bytes from the same files whenever and wherever they are made: installed into a
# scratch folder, every file's time set to the sources' date and its mode to rw-r--r--, listed in
# a fixed order and zipped without the builder's user and group (zip -X). Both archives hold one
# top folder of one name, so that the symbols unpacked over the ZIP lie beside the files they
# describe. Then writes SHA256SUMS beside them for both archives and PACKAGES.
#   cmake "-DTREES=<tree>;..." -DZIP=<file.zip> -DSYMBOLS_ZIP=<file.zip> "-DPACKAGES=<file>;..."
#         -DEPOCH=<seconds> -P MakeZip.cmake
cmake_minimum_required(VERSION 3.25)
find_program(ZIP_PROGRAM NAMES zip REQUIRED)
get_filename_component(zip_folder ${ZIP} DIRECTORY)
get_filename_component(zip_name ${ZIP} NAME)
string(REGEX REPLACE "\\.zip$" "" top ${zip_name})
set(scratch ${zip_folder}/zip-staging)

# make_zip(<zip> <install options>...)
function(make_zip zip)
    file(REMOVE_RECURSE ${scratch})
    foreach(tree IN LISTS TREES)
        execute_process(COMMAND ${CMAKE_COMMAND} --install ${tree} --prefix ${scratch}/${top} ${ARGN}
            OUTPUT_QUIET RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "installing ${tree} failed")
        endif()
    endforeach()
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${scratch} ${scratch}/*)
    list(SORT files)
    foreach(file IN LISTS files)
        file(CHMOD ${scratch}/${file} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endforeach()
    execute_process(COMMAND touch -d @${EPOCH} ${files} WORKING_DIRECTORY ${scratch} RESULT_VARIABLE status)
    string(REPLACE ";" "\n" list "${files}")
    file(WRITE ${scratch}.list "${list}\n")
    file(REMOVE ${zip})
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${ZIP_PROGRAM} -q -X -D -@ ${zip}
        INPUT_FILE ${scratch}.list WORKING_DIRECTORY ${scratch} RESULT_VARIABLE zip_status)
    if(NOT status EQUAL 0 OR NOT zip_status EQUAL 0)
        message(FATAL_ERROR "zipping ${scratch} into ${zip} failed")
    endif()
    file(REMOVE_RECURSE ${scratch} ${scratch}.list)
endfunction()
make_zip(${ZIP})
make_zip(${SYMBOLS_ZIP} --component symbols)

# The release is this folder: the other tree's package is copied beside the ZIP, so that
# `sha256sum -c SHA256SUMS` checks everything in it.
set(sums "")
foreach(file IN ITEMS ${ZIP} ${SYMBOLS_ZIP} ${PACKAGES})
    get_filename_component(name ${file} NAME)
    if(NOT file STREQUAL "${zip_folder}/${name}")
        file(COPY_FILE ${file} ${zip_folder}/${name})
    endif()
    file(SHA256 ${zip_folder}/${name} hash)
    string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${zip_folder}/SHA256SUMS "${sums}")
