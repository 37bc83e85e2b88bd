# Authenticode signatures on everything shipped (scripts/sign.sh says with which key), and the
# publishers whose signatures the server accepts on the maker's components.
#
# The programs and libraries are signed as copies in the build tree's signed/ folder, which the
# installation, the ZIP and the Windows Installer package take; the packages are signed last.
# The tests and the tools in bin/ are the unsigned link outputs, the same bytes in every build
# of one commit. Where no key is configured, a TEST certificate signs: one per folder
# VRK_TEST_CERTIFICATE_DIR, made at the first build that needs it, so that the two architectures'
# trees that scripts/build.sh makes side by side sign with the same one and show one publisher.
#   vrk_sign_target(<target>)           its signed copy, ${VRK_SIGNED_DIR}/<its file name>
#   vrk_sign_file(<target> <out> [CERTIFICATE <p12>])
#                                       a signed copy of <target>'s stripped copy
#                                       (cmake/Symbols.cmake) at <out>, by the configured key or
#                                       by the named test certificate (password "test")
#   vrk_test_certificate(<folder> <name> <p12 variable> <pem variable>)
#                                       a test certificate of its own in <folder>
#   VRK_SIGN_COMMAND                    the command that signs: VRK_SIGN_COMMAND <in> <out>
#   VRK_RELEASE                         option: a release build, which refuses to configure
#                                       without a release key or VRK_PUBLISHER_CERTIFICATES
#   VRK_PUBLISHER_HEADER                PublisherCertificates.h: the SHA-256 thumbprints of
#                                       VRK_PUBLISHER_CERTIFICATES, compiled into the server
set(VRK_SIGNED_DIR ${CMAKE_BINARY_DIR}/signed)
set(VRK_TEST_CERTIFICATE_DIR ${CMAKE_BINARY_DIR}/signing CACHE PATH
    "where the TEST code-signing certificate is made and kept (shared by the trees of one build)")
set(VRK_TEST_CERTIFICATE ${VRK_TEST_CERTIFICATE_DIR}/vrksolauth-TEST-certificate.p12)
set(VRK_TEST_CERTIFICATE_PEM ${VRK_TEST_CERTIFICATE_DIR}/vrksolauth-TEST-certificate.pem)
set(VRK_PUBLISHER_CERTIFICATES "" CACHE STRING
    "the maker's publisher certificates (PEM files, ;-separated) whose signatures the server accepts on the maker's components; empty: the TEST certificate this tree signs with")
find_program(VRK_OSSLSIGNCODE NAMES osslsigncode)
find_program(VRK_OPENSSL NAMES openssl)
if(NOT VRK_OSSLSIGNCODE OR NOT VRK_OPENSSL)
    message(FATAL_ERROR "osslsigncode or openssl not found: install them (scripts/bootstrap.sh does)")
endif()

# vrk_test_certificate(<folder> <name> <p12 variable> <pem variable>): made once, when missing,
# never again: the other tree that shares the folder may have signed with it already.
function(vrk_test_certificate folder name p12_variable pem_variable)
    set(p12 ${folder}/vrksolauth-${name}-certificate.p12)
    set(pem ${folder}/vrksolauth-${name}-certificate.pem)
    add_custom_command(OUTPUT ${p12} ${pem}
        COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-test-certificate.sh ${folder} ${name}
        COMMENT "Making the ${name} code-signing certificate in ${folder} (never for a release)"
        VERBATIM)
    set(${p12_variable} ${p12} PARENT_SCOPE)
    set(${pem_variable} ${pem} PARENT_SCOPE)
endfunction()
vrk_test_certificate(${VRK_TEST_CERTIFICATE_DIR} TEST test_p12 test_pem)
add_custom_target(vrk_test_certificate DEPENDS ${VRK_TEST_CERTIFICATE} ${VRK_TEST_CERTIFICATE_PEM})

# A release build signs with the release key that the environment names, when configuring and
# when building, or fails: never with the TEST certificate, and never for a server that would
# accept only the TEST certificate's signature on the maker's components.
option(VRK_RELEASE "a release: signed by the configured release key only, never by the TEST certificate" OFF)
set(release_environment "")
if(VRK_RELEASE)
    if("$ENV{VRK_SIGN_PKCS12}" STREQUAL "" AND "$ENV{VRK_SIGN_PKCS11_MODULE}" STREQUAL "")
        message(FATAL_ERROR "VRK_RELEASE: no release key is configured: set VRK_SIGN_PKCS12 (and VRK_SIGN_PASSWORD), or "
            "VRK_SIGN_PKCS11_MODULE, VRK_SIGN_PKCS11_KEY and VRK_SIGN_CERTIFICATE, for configuring and building (scripts/sign.sh)")
    endif()
    if(NOT VRK_PUBLISHER_CERTIFICATES)
        message(FATAL_ERROR "VRK_RELEASE: VRK_PUBLISHER_CERTIFICATES is empty, so the server would accept the maker's "
            "components signed by the TEST certificate only: name the maker's publisher certificates (PEM)")
    endif()
    set(release_environment VRK_SIGN_RELEASE=1)
endif()

set(VRK_SIGN_COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${VRK_SOURCE_DATE_EPOCH} ${release_environment}
    ${PROJECT_SOURCE_DIR}/scripts/sign.sh ${VRK_TEST_CERTIFICATE})
set(VRK_SIGN_DEPENDS ${VRK_TEST_CERTIFICATE} ${PROJECT_SOURCE_DIR}/scripts/sign.sh)

# The publishers the server trusts, by certificate thumbprint.
if(VRK_PUBLISHER_CERTIFICATES)
    set(publishers ${VRK_PUBLISHER_CERTIFICATES})
    foreach(certificate IN LISTS publishers)
        if(NOT EXISTS ${certificate})
            message(FATAL_ERROR "VRK_PUBLISHER_CERTIFICATES names ${certificate}, which does not exist")
        endif()
    endforeach()
else()
    set(publishers ${VRK_TEST_CERTIFICATE_PEM})
endif()
set(VRK_PUBLISHER_HEADER ${CMAKE_BINARY_DIR}/generated/PublisherCertificates.h)
add_custom_command(OUTPUT ${VRK_PUBLISHER_HEADER}
    COMMAND ${CMAKE_COMMAND} -DOPENSSL=${VRK_OPENSSL} "-DCERTIFICATES=${publishers}" -DHEADER=${VRK_PUBLISHER_HEADER}
            -P ${PROJECT_SOURCE_DIR}/cmake/PublisherThumbprints.cmake
    DEPENDS ${publishers} ${PROJECT_SOURCE_DIR}/cmake/PublisherThumbprints.cmake
    COMMENT "Listing the publishers whose components the server accepts"
    VERBATIM)
add_custom_target(vrk_publisher_header DEPENDS ${VRK_PUBLISHER_HEADER})

# Every build says in one line which key signs what it ships (sign.sh without a file to sign), and
# a release build whose key has gone from the environment stops here.
add_custom_target(vrk_signing_key COMMAND ${VRK_SIGN_COMMAND} VERBATIM)
add_custom_target(vrk_signed ALL)
add_dependencies(vrk_signed vrk_signing_key)

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

function(vrk_sign_file target out)
    cmake_parse_arguments(ARG "" "CERTIFICATE" "" ${ARGN})
    set(command ${VRK_SIGN_COMMAND})
    set(depends ${VRK_SIGN_DEPENDS})
    if(ARG_CERTIFICATE)
        # Only this certificate, whatever key the environment names.
        set(command ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${VRK_SOURCE_DATE_EPOCH} VRK_SIGN_PKCS12=
            VRK_SIGN_PKCS11_MODULE= VRK_SIGN_TIMESTAMP_URL= ${PROJECT_SOURCE_DIR}/scripts/sign.sh ${ARG_CERTIFICATE})
        set(depends ${ARG_CERTIFICATE} ${PROJECT_SOURCE_DIR}/scripts/sign.sh)
    endif()
    vrk_strip_target(${target})
    vrk_shipped_file_name(stripped ${target})
    set(stripped ${VRK_STRIPPED_DIR}/${stripped})
    get_filename_component(folder ${out} DIRECTORY)
    get_filename_component(name ${out} NAME)
    # A custom command's output may not name a target's file by generator expression.
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${command} ${stripped} ${out}
        DEPENDS vrk_stripped_${target} ${stripped} ${depends}
        COMMENT "Signing ${name}"
        VERBATIM)
endfunction()

function(vrk_sign_target target)
    get_property(signed GLOBAL PROPERTY VRK_SIGNED_TARGETS)
    if(target IN_LIST signed)
        return()
    endif()
    set_property(GLOBAL APPEND PROPERTY VRK_SIGNED_TARGETS ${target})
    vrk_shipped_file_name(name ${target})
    vrk_sign_file(${target} ${VRK_SIGNED_DIR}/${name})
    add_custom_target(vrk_signed_${target} DEPENDS ${VRK_SIGNED_DIR}/${name})
    add_dependencies(vrk_signed vrk_signed_${target})
endfunction()
