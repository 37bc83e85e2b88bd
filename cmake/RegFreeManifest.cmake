# Registration-free deployment: the server's assembly manifest, written beside the DLL, and
# what a client's application manifest needs to name it. Included by resources/CMakeLists.txt.
#
# The class and type library identifiers come from the IDL (what the header and the type
# library carry), the ProgIDs and the threading model from the registration script (what
# regsvr32 writes), both read by cmake/ServerIdentifiers.cmake, so that a registered and a
# registration-free server describe the same class.
#
# Sets, for the clients' manifests:
#   VRK_ASSEMBLY_NAME     the side-by-side assembly's name
#   VRK_ASSEMBLY_VERSION  the project version in the four parts that assemblies use
#   VRK_ASSEMBLY_MANIFEST the generated assembly manifest, beside the DLL

# Its own name, not the DLL's: a private assembly's manifest that is a separate file must not
# share its name with a DLL of the assembly, or Windows looks for the manifest inside that DLL.
set(VRK_ASSEMBLY_NAME VEYRAK.Vrksolauth)
set(VRK_ASSEMBLY_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
if(PROJECT_VERSION_TWEAK)
    set(VRK_ASSEMBLY_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${PROJECT_VERSION_TWEAK})
endif()

set(VRK_ASSEMBLY_MANIFEST ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${VRK_ASSEMBLY_NAME}.manifest)
configure_file(${PROJECT_SOURCE_DIR}/resources/vrksolauth.manifest.in ${VRK_ASSEMBLY_MANIFEST} @ONLY)
