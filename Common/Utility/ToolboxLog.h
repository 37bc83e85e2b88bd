// ToolboxLog.h: the toolbox's one process-wide exception log, a text file that
// VRKLegacyException::Log() writes its records to.
#pragma once

#include "Common/Utility/VRKException.h"

#include <cstdint>
#include <fstream>
#include <mutex>

namespace Veyrak
{

// The log is off from module load, and nothing in the server turns it on, so the
// server never creates or touches a log file. The setters exist for diagnostics and
// tests; their initial values are: switch off, threshold 4, indentation width 0,
// file name "Vrklog.txt" (relative to the current directory).
//
// Write rule shared by every write: nothing happens unless the switch is on, a file is
// open, the level is at most the threshold and the threshold is above 0. A line starts
// with one space right-aligned in a field of the indentation width, and every write is
// flushed at once, so that a record survives a crash that follows its throw.
//
// Threads: while the switch is on every write and every setter is serialised by one
// lock; HoldForRecord() keeps the lock across a whole record so that records from
// different threads never interleave. With the switch off no lock is taken.
class ToolboxLog : public std::ofstream
{
public:
    ToolboxLog(const ToolboxLog&) = delete;
    ToolboxLog& operator=(const ToolboxLog&) = delete;

    // Writes text without ending the line. A null text counts as empty.
    static void Write(std::int32_t level, const char* text);
    // Writes text (or the number in decimal), then ends the line.
    static void WriteLine(std::int32_t level, const char* text);
    static void WriteLine(std::int32_t level, const vrkstring& text);
    static void WriteLine(std::int32_t level, std::int32_t number);

    // Turning the switch on opens the active file name (the default name when it is
    // empty), truncating it, and starts a fresh line; turning it off closes the file.
    static void SetLogSwitch(bool on);
    static bool IsLogOn();
    static void SetThreshold(std::int32_t threshold);
    static std::int32_t GetThreshold();
    static std::int32_t GetIndentationWidth();
    // Takes effect the next time the switch is turned on.
    static void SetFileName(const vrkstring& fileName);
    static vrkstring GetFileName();
    static const vrkstring& GetDefaultFileName();
    static bool IsAtLineStart();

    // Keeps other threads' writes out for the holder's lifetime; holds nothing while off.
    static std::unique_lock<std::recursive_mutex> HoldForRecord();

private:
    ToolboxLog();
    ~ToolboxLog() override;

    void Open();
    void WriteText(std::int32_t level, const char* text, bool endLine);

    static ToolboxLog s_stream;
};

} // namespace Veyrak
