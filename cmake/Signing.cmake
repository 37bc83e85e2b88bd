# Authenticode signatures on everything shipped (scripts/sign.sh says with which key). The
# programs and libraries are signed as copies in the build tree's signed/ folder, which the
# installation, the ZIP and the Windows Installer package take; the packages are signed last.
# The tests and the tools in bin/ are the unsigned link outputs, the same bytes in every build
# of one commit. Where no key is configured, a test certificate made for this build tree signs
# (signing/vrksolauth-TEST-certificate.pem is its certificate, for checking the signatures).
#   vrk_sign_target(<target>)   its signed copy, ${VRK_SIGNED_DIR}/<its file name>
#   VRK_SIGN_COMMAND            the command that signs: VRK_SIGN_COMMAND <in> <out>
set(VRK_SIGNED_DIR ${CMAKE_BINARY_DIR}/signed)
set(VRK_TEST_CERTIFICATE ${CMAKE_BINARY_DIR}/signing/vrksolauth-TEST-certificate.p12)
set(VRK_TEST_CERTIFICATE_PEM ${CMAKE_BINARY_DIR}/signing/vrksolauth-TEST-certificate.pem)
find_program(VRK_OSSLSIGNCODE NAMES osslsigncode)
find_program(VRK_OPENSSL NAMES openssl)
if(NOT VRK_OSSLSIGNCODE OR NOT VRK_OPENSSL)
    message(FATAL_ERROR "osslsigncode or openssl not found: install them (scripts/bootstrap.sh does)")
endif()

add_custom_command(OUTPUT ${VRK_TEST_CERTIFICATE} ${VRK_TEST_CERTIFICATE_PEM}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-test-certificate.sh ${CMAKE_BINARY_DIR}/signing
    DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make-test-certificate.sh
    COMMENT "Making this build tree's TEST code-signing certificate (never for a release)"
    VERBATIM)
set(VRK_SIGN_COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${VRK_SOURCE_DATE_EPOCH}
    ${PROJECT_SOURCE_DIR}/scripts/sign.sh ${VRK_TEST_CERTIFICATE})
set(VRK_SIGN_DEPENDS ${VRK_TEST_CERTIFICATE} ${PROJECT_SOURCE_DIR}/scripts/sign.sh)

add_custom_target(vrk_signed ALL)

# vrk_shipped_file_name(<variable> <target>): the file name of a shipped program or server DLL
# (the servers have no "lib" prefix, vrk_add_com_server).
function(vrk_shipped_file_name variable target)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
        set(${variable} ${target}${CMAKE_SHARED_LIBRARY_SUFFIX} PARENT_SCOPE)
    else()
        set(${variable} ${target}${CMAKE_EXECUTABLE_SUFFIX} PARENT_SCOPE)
    endif()
endfunction()
function(vrk_sign_target target)
    get_property(signed GLOBAL PROPERTY VRK_SIGNED_TARGETS)
    if(target IN_LIST signed)
        return()
    endif()
    set_property(GLOBAL APPEND PROPERTY VRK_SIGNED_TARGETS ${target})
    # A custom command's output may not name a target's file by generator expression.
    vrk_shipped_file_name(name ${target})
    set(copy ${VRK_SIGNED_DIR}/${name})
    add_custom_command(OUTPUT ${copy}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VRK_SIGNED_DIR}
        COMMAND ${VRK_SIGN_COMMAND} $<TARGET_FILE:${target}> ${copy}
        DEPENDS ${target} ${VRK_SIGN_DEPENDS}
        COMMENT "Signing ${name}"
        VERBATIM)
    add_custom_target(vrk_signed_${target} DEPENDS ${copy})
    add_dependencies(vrk_signed vrk_signed_${target})
endfunction()
