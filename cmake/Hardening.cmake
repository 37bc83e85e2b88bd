# Exploit mitigations, asked for by name rather than left to the toolchain's defaults, so that a
# newer toolchain or a flag elsewhere cannot drop one silently; tests/build/check-pe.pl fails when
# a shipped file lacks one (docs/binskim.md: which of the usual rules this meets and which it
# cannot). Every program of the tree gets them, the tests too: they test what ships.
#   stack protector     -fstack-protector-strong: a canary in every function with a local array
#                       or an address-taken local
#   fortified calls     _FORTIFY_SOURCE=2: memcpy, strcpy, sprintf and their kind checked against
#                       the sizes the compiler knows (optimised builds only, as the headers ask)
#   DYNAMIC_BASE, NX_COMPAT, and on x64 HIGH_ENTROPY_VA (with the image above 4 GB, ld's default)
#   NO_SEH on x86       nothing in these images registers a frame-based exception handler: C++
#                       exceptions unwind by DWARF tables (the x86 toolchain is built without
#                       SJLJ), the runtimes' own handlers are vectored or the process's top-level
#                       filter, and no code touches the head of the handler chain (FS:[0]), which
#                       check-pe.pl checks in each x86 file's code. So no SafeSEH table is needed,
#                       which GNU ld cannot write anyway.
add_compile_options(-fstack-protector-strong)
add_compile_definitions(_FORTIFY_SOURCE=2)
# The canary's failure handler and the fortified functions live in GCC's libssp, which the driver
# links only when it sees the option at link time too; with -static it takes the archive, so the
# DLL still imports only system DLLs.
add_link_options(-fstack-protector-strong LINKER:--dynamicbase LINKER:--nxcompat)
if(VRK_ARCH STREQUAL "x64")
    add_link_options(LINKER:--high-entropy-va)
else()
    add_link_options(LINKER:--no-seh)
endif()
