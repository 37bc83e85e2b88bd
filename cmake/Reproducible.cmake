# Reproducible builds: one commit gives the same bytes, whichever folder it is built in and
# whenever, so that anyone can check that a shipped file was built from the sources it claims.
#   VRK_SOURCE_DATE_EPOCH  the time stamped where a time must be: SOURCE_DATE_EPOCH from the
#                          environment, else the last commit's time, else the project's own date
#   VRK_FIXED_CLOCK        a command prefix that runs a tool whose output holds the current time
#                          (widl's type library) with the clock frozen at VRK_SOURCE_DATE_EPOCH
# The linker leaves out the PE link time. No shipped file quotes a source or build path (the
# reproducibility check builds in another folder and would see one).
if("$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
    set(VRK_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
    execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
        OUTPUT_VARIABLE VRK_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE git_result)
    if(NOT git_result EQUAL 0 OR NOT VRK_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
        set(VRK_SOURCE_DATE_EPOCH 1764547200) # 2025-12-01, for sources without their history
    endif()
endif()
set(ENV{SOURCE_DATE_EPOCH} ${VRK_SOURCE_DATE_EPOCH})
string(TIMESTAMP VRK_SOURCE_DATE "%Y-%m-%d %H:%M:%S" UTC)

add_link_options(LINKER:--no-insert-timestamp)

find_program(VRK_FAKETIME NAMES faketime)
if(NOT VRK_FAKETIME)
    message(FATAL_ERROR "faketime not found: install faketime (scripts/bootstrap.sh does)")
endif()
# Without "@" the clock stands still, so that a tool that reads it twice sees one time.
set(VRK_FIXED_CLOCK ${CMAKE_COMMAND} -E env TZ=UTC ${VRK_FAKETIME} -f "${VRK_SOURCE_DATE}")
