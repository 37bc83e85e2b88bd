# What ships is stripped; its debug information ships apart, in the symbols archive beside the ZIP
# (cmake/MakeZip.cmake). Each stripped copy carries a debug link, the name and CRC of its
# <file>.debug, which gdb and binutils follow to that file when both lie in one folder. The tests
# run the link outputs in bin/, debug information and all.
#   vrk_strip_target(<target>)  ${VRK_STRIPPED_DIR}/<its file name>, the copy that is signed,
#                               and ${VRK_SYMBOLS_DIR}/<its file name>.debug, made by the
#                               target vrk_stripped_<target>, which a user in another folder
#                               depends on
find_program(VRK_OBJCOPY NAMES ${VRK_TRIPLET}-objcopy REQUIRED)
set(VRK_STRIPPED_DIR ${CMAKE_BINARY_DIR}/stripped)
set(VRK_SYMBOLS_DIR ${CMAKE_BINARY_DIR}/symbols)

# Debug information for every program, which the shipped copies carry apart. The paths in it
# are the same in every build of one commit: the sources as /vrksolauth, the build tree as
# /vrksolauth/build (where both match, the later map wins: the build tree may lie inside the
# sources). Only the debug information: __FILE__ keeps the toolbox's own map
# (Common/CMakeLists.txt).
add_compile_options(-g -fdebug-prefix-map=${PROJECT_SOURCE_DIR}=/vrksolauth
    -fdebug-prefix-map=${CMAKE_BINARY_DIR}=/vrksolauth/build)

function(vrk_strip_target target)
    get_property(stripped GLOBAL PROPERTY VRK_STRIPPED_TARGETS)
    if(target IN_LIST stripped)
        return()
    endif()
    set_property(GLOBAL APPEND PROPERTY VRK_STRIPPED_TARGETS ${target})
    vrk_shipped_file_name(name ${target})
    set(debug ${VRK_SYMBOLS_DIR}/${name}.debug)
    # objcopy stamps the PE header with the time of the copy unless SOURCE_DATE_EPOCH names one:
    # 0, as the linker leaves it.
    set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${VRK_OBJCOPY})
    add_custom_command(OUTPUT ${VRK_STRIPPED_DIR}/${name} ${debug}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VRK_STRIPPED_DIR} ${VRK_SYMBOLS_DIR}
        COMMAND ${objcopy} --only-keep-debug $<TARGET_FILE:${target}> ${debug}
        COMMAND ${objcopy} --strip-all --add-gnu-debuglink=${debug} $<TARGET_FILE:${target}> ${VRK_STRIPPED_DIR}/${name}
        DEPENDS ${target}
        COMMENT "Stripping ${name}, its debug information into ${name}.debug"
        VERBATIM)
    add_custom_target(vrk_stripped_${target} DEPENDS ${VRK_STRIPPED_DIR}/${name} ${debug})
endfunction()
