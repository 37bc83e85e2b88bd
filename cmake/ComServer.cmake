# vrk_add_com_server(<name> DEF <file.def> [RC <file.rc>...] SOURCES <module sources>...
#                    [LIBRARIES <libraries>...])
# An in-process COM server DLL on the project's frame: the module's own sources (its
# ServerModule, object map and registration exports), the frame's shared exports, the .def
# file that names the exports undecorated, and the libraries it needs; the frame, the
# toolbox and the system libraries come with the frame's library.
function(vrk_add_com_server name)
    cmake_parse_arguments(ARG "" "DEF" "RC;SOURCES;LIBRARIES" ${ARGN})
    if(NOT ARG_DEF OR NOT ARG_SOURCES)
        message(FATAL_ERROR "vrk_add_com_server(${name}): DEF and SOURCES are required")
    endif()
    add_library(${name} SHARED ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/server/ServerExports.cpp ${ARG_DEF} ${ARG_RC})
    set_target_properties(${name} PROPERTIES PREFIX "")
    target_link_libraries(${name} PRIVATE vrk_server_frame ${ARG_LIBRARIES})
    target_link_options(${name} PRIVATE ${VRK_DEF_LINK_OPTIONS})
endfunction()
