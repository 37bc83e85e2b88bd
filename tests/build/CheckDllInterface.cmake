# Checks a built DLL's imports and exports with objdump.
#   cmake -DOBJDUMP=... -DDLL=... -DEXPORTS="A;B" -P CheckDllInterface.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${DLL}")
endif()

# Only the platform's own DLLs may be imported: no C++ runtime, no pthread DLL.
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "^DLL Name: (.*)$" "\\1")
list(TRANSFORM imports TOUPPER)
set(others ${imports})
list(REMOVE_ITEM others ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL OLEAUT32.DLL USER32.DLL)
if(NOT imports OR others)
    message(FATAL_ERROR "${DLL} imports [${imports}]: none, or [${others}], which are not system DLLs")
endif()

# The export table lists exactly the expected undecorated names.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]*\\[ *[0-9]+\\] [^\n]+\n)*)" table "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_@0-9]+" found "${CMAKE_MATCH_1}")
list(TRANSFORM found REPLACE "^\\[ *[0-9]+\\] (.*)$" "\\1")
list(SORT found)
set(expected ${EXPORTS})
list(SORT expected)
if(NOT found STREQUAL expected)
    message(FATAL_ERROR "${DLL} exports [${found}], expected [${expected}]")
endif()
message(STATUS "${DLL}: imports ${imports}, exports ${found}")
