# Checks a built server DLL without running it: the machine type of its architecture, and
# the resources that registration and scripting clients read from it.
#   cmake -DOBJDUMP=... -DWINDRES=... -DDLL=... -DARCH=x86|x64 -P CheckDllResources.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${OBJDUMP} -f ${DLL} OUTPUT_VARIABLE header)
execute_process(COMMAND ${WINDRES} -J coff -i ${DLL} -O rc OUTPUT_VARIABLE resources)
set(resources "${header}${resources}")
set(format_of_x86 pei-i386)
set(format_of_x64 pei-x86-64)
# The type library's platform: the low bits of the MSFT header's flags word (its sixth),
# SYS_WIN32 = 1 in the 32-bit DLL, SYS_WIN64 = 3 in the 64-bit one.
set(syskind_of_x86 1)
set(syskind_of_x64 3)

# Each row: what is required, and a regular expression over windres's listing that shows it.
# windres lists a text resource a line a string, as C escapes.
set(rows
    "a ${ARCH} image" "file format ${format_of_${ARCH}}\n"
    "the registration script, REGISTRY 101, as written: CR LF line ends, tab indents, from HKCR to its last brace"
    "\n101 \"REGISTRY\"\nBEGIN\n  \"HKCR\\\\r\\\\n\"\n  \"{\\\\r\\\\n\"\n  \"\\\\tVrksolauth\\.VRKsolutionAuthenticator\\.1 = s [^\n]*\\\\r\\\\n\"\n(  \"[^\n]*\\\\r\\\\n\"\n)*  \"\\\\t}\\\\r\\\\n\"\n  \"}\\\\r\\\\n\"\nEND\n"
    "the script's class, a server of both threading models"
    "\"\\\\t\\\\t\\\\t\\\\tval ThreadingModel = s 'Both'\\\\r\\\\n\""
    "the script's server entry, filled in at registration"
    "InprocServer32 = s '%MODULE%'"
    "the type library, TYPELIB 1, for SYSKIND ${syskind_of_${ARCH}}"
    "\n1 \"TYPELIB\"\nBEGIN\n  0x5446534dL, 0x10002L *, 0x[0-9a-f]+L *, 0x[0-9a-f]+L *, 0x[0-9a-f]+L *, 0x[0-9a-f]*${syskind_of_${ARCH}}L"
    "self-registration announced in the version information"
    "VALUE \"OLESelfRegister\", \"\""
    "the file version"
    "VALUE \"FileVersion\", \"1\\.0\\.0\\.1\""
    "the maker"
    "VALUE \"CompanyName\", \"VEYRAK Corporation\"")
set(missing "")
while(rows)
    list(POP_FRONT rows what pattern)
    if(NOT resources MATCHES "${pattern}")
        string(APPEND missing "\n  ${what}")
    endif()
endwhile()
if(missing)
    message(FATAL_ERROR "${DLL} lacks:${missing}")
endif()

message(STATUS "${DLL}: ${ARCH} image with its script, ${ARCH} type library and version information")
