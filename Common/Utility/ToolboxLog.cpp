// ToolboxLog.cpp: the process-wide exception log and its settings.
#include "Common/Utility/ToolboxLog.h"

#include <atomic>
#include <iomanip>
#include <sstream>

namespace Veyrak
{
namespace
{
// Constant-initialised, so they hold their initial values before any code of the
// module runs, whatever the order in which other units are set up.
std::atomic<bool> s_logSwitch{false};
std::int32_t s_threshold = 4;
std::int32_t s_indentationWidth = 0;
bool s_atLineStart = true;
std::recursive_mutex s_lock;

// Set up at module load in this order: the number formatter, the default file name,
// the active file name, then the stream (ToolboxLog::s_stream below).
std::ostringstream s_numberFormatter;
const vrkstring s_defaultFileName = "Vrklog.txt";
vrkstring s_activeFileName = s_defaultFileName;

using Hold = std::unique_lock<std::recursive_mutex>;
} // namespace

ToolboxLog ToolboxLog::s_stream;

ToolboxLog::ToolboxLog()
{
    if (s_logSwitch)
        Open();
}

ToolboxLog::~ToolboxLog()
{
    if (s_logSwitch && is_open())
        close();
}

// Requires the lock (or module load, before any other thread can run module code).
void ToolboxLog::Open()
{
    if (is_open())
        close();
    if (s_activeFileName.empty())
        s_activeFileName = s_defaultFileName;
    // Text mode: each line end becomes CR LF in the file. A failed open leaves the
    // stream without a file and the log silent; the log reports nothing.
    open(s_activeFileName.c_str(), std::ios_base::out | std::ios_base::trunc);
    clear();
    s_atLineStart = true;
}

void ToolboxLog::WriteText(std::int32_t level, const char* text, bool endLine)
{
    if (!s_logSwitch)
        return;
    Hold hold(s_lock);
    if (!s_logSwitch || !is_open() || level > s_threshold || s_threshold <= 0)
        return;
    if (s_atLineStart)
    {
        *this << std::setw(s_indentationWidth) << ' ';
        s_atLineStart = false;
    }
    *this << (text ? text : "");
    if (endLine)
    {
        *this << '\n';
        s_atLineStart = true;
    }
    flush();
}

void ToolboxLog::Write(std::int32_t level, const char* text)
{
    s_stream.WriteText(level, text, false);
}

void ToolboxLog::WriteLine(std::int32_t level, const char* text)
{
    s_stream.WriteText(level, text, true);
}

void ToolboxLog::WriteLine(std::int32_t level, const vrkstring& text)
{
    s_stream.WriteText(level, text.c_str(), true);
}

void ToolboxLog::WriteLine(std::int32_t level, std::int32_t number)
{
    if (!s_logSwitch)
        return;
    // The formatter is shared, so it is used under the same lock as the stream.
    Hold hold(s_lock);
    s_numberFormatter.str(vrkstring());
    s_numberFormatter.clear();
    s_numberFormatter << number;
    const vrkstring text = s_numberFormatter.str();
    s_stream.WriteText(level, text.c_str(), true);
}

void ToolboxLog::SetLogSwitch(bool on)
{
    Hold hold(s_lock);
    if (on == s_logSwitch)
        return;
    if (on)
    {
        s_logSwitch = true;
        s_stream.Open();
        return;
    }
    s_logSwitch = false;
    if (s_stream.is_open())
        s_stream.close();
}

bool ToolboxLog::IsLogOn()
{
    return s_logSwitch;
}

void ToolboxLog::SetThreshold(std::int32_t threshold)
{
    Hold hold(s_lock);
    s_threshold = threshold;
}

std::int32_t ToolboxLog::GetThreshold()
{
    Hold hold(s_lock);
    return s_threshold;
}

std::int32_t ToolboxLog::GetIndentationWidth()
{
    Hold hold(s_lock);
    return s_indentationWidth;
}

void ToolboxLog::SetFileName(const vrkstring& fileName)
{
    Hold hold(s_lock);
    s_activeFileName = fileName;
}

vrkstring ToolboxLog::GetFileName()
{
    Hold hold(s_lock);
    return s_activeFileName;
}

const vrkstring& ToolboxLog::GetDefaultFileName()
{
    return s_defaultFileName;
}

bool ToolboxLog::IsAtLineStart()
{
    Hold hold(s_lock);
    return s_atLineStart;
}

std::unique_lock<std::recursive_mutex> ToolboxLog::HoldForRecord()
{
    if (!s_logSwitch)
        return Hold();
    return Hold(s_lock);
}

} // namespace Veyrak
