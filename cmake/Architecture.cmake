# What differs between the 32-bit and the 64-bit build, derived from the compiler that the
# toolchain file chose, so that no other file names an architecture.
#   VRK_ARCH              x86 | x64: the build tree's and the package's name for it
#   VRK_WINDOWS_SYSTEM    win32 | win64: the type library's platform and widl's target
#   VRK_WINE_LIBRARY_DIRS where Wine keeps its Windows-side files (stdole2.tlb) for it
#   VRK_DEF_LINK_OPTIONS  linker options for a DLL whose exports a .def file lists
#   VRK_MANIFEST_ARCHITECTURE x86 | amd64: processorArchitecture in side-by-side manifests
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VRK_ARCH x64)
    set(VRK_WINDOWS_SYSTEM win64)
    set(VRK_WINE_LIBRARY_DIRS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows)
    set(VRK_WINE_PACKAGE wine64)
    set(VRK_DEF_LINK_OPTIONS "")
    set(VRK_MANIFEST_ARCHITECTURE amd64)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(VRK_ARCH x86)
    set(VRK_WINDOWS_SYSTEM win32)
    set(VRK_WINE_LIBRARY_DIRS /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows)
    set(VRK_WINE_PACKAGE wine32:i386)
    # The .def file names the stdcall exports undecorated (DllGetClassObject, not
    # DllGetClassObject@12), as every COM client looks them up.
    set(VRK_DEF_LINK_OPTIONS -Wl,--enable-stdcall-fixup)
    set(VRK_MANIFEST_ARCHITECTURE x86)
else()
    message(FATAL_ERROR "unexpected pointer size ${CMAKE_SIZEOF_VOID_P}: use one of the toolchain files in cmake/")
endif()
message(STATUS "vrksolauth: building for ${VRK_ARCH} (${VRK_WINDOWS_SYSTEM})")
