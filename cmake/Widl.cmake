# Compiles an interface description with MinGW-w64's widl: the C/C++ header (-h),
# the interface and class identifiers (-u) and, on request, the type library (-t).
# widl reads the platform's IDL files from libwine-dev and imports Wine's stdole2.tlb of
# the same architecture.

find_program(VRK_WIDL NAMES ${VRK_TRIPLET}-widl widl)
if(NOT VRK_WIDL)
    message(FATAL_ERROR "widl not found: install mingw-w64-tools (scripts/bootstrap.sh does)")
endif()

find_path(VRK_WIDL_IDL_DIR NAMES oaidl.idl
    PATHS /usr/include/wine/wine/windows /usr/include/wine/windows
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT VRK_WIDL_IDL_DIR)
    message(FATAL_ERROR "the platform IDL files (oaidl.idl) were not found: install libwine-dev (scripts/bootstrap.sh does)")
endif()

find_path(VRK_WIDL_TLB_DIR NAMES stdole2.tlb
    PATHS ${VRK_WINE_LIBRARY_DIRS}
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT VRK_WIDL_TLB_DIR)
    message(FATAL_ERROR "Wine's ${VRK_WINDOWS_SYSTEM} stdole2.tlb was not found: install ${VRK_WINE_PACKAGE} (scripts/bootstrap.sh does)")
endif()

# vrk_widl(<idl> HEADER <out.h> IDENTIFIERS <out_i.c> [TYPELIB <out.tlb>])
function(vrk_widl idl)
    cmake_parse_arguments(ARG "" "HEADER;IDENTIFIERS;TYPELIB" "" ${ARGN})
    get_filename_component(idl_path ${idl} ABSOLUTE)
    get_filename_component(idl_folder ${idl_path} DIRECTORY)
    get_filename_component(idl_name ${idl_path} NAME)
    set(common ${VRK_WIDL} --${VRK_WINDOWS_SYSTEM} -I${VRK_WIDL_IDL_DIR} -L${VRK_WIDL_TLB_DIR})
    set(outputs ${ARG_HEADER} ${ARG_IDENTIFIERS})
    # Run from the description's folder and named without it: the outputs quote the name they
    # were made from, and a build folder's path in a shipped header would differ from build to build.
    set(commands COMMAND ${common} -h -o ${ARG_HEADER} ${idl_name}
                 COMMAND ${common} -u -o ${ARG_IDENTIFIERS} ${idl_name})
    if(ARG_TYPELIB)
        list(APPEND outputs ${ARG_TYPELIB})
        # The type library records when it was made: at the sources' date, for reproducible builds.
        list(APPEND commands COMMAND ${VRK_FIXED_CLOCK} ${common} -t -o ${ARG_TYPELIB} ${idl_name})
    endif()
    add_custom_command(OUTPUT ${outputs} ${commands} DEPENDS ${idl_path} WORKING_DIRECTORY ${idl_folder}
        COMMENT "widl ${idl}" VERBATIM)
endfunction()
