// Tests of the exception log and of the records that legacy exceptions write to it.
#include "Common/Registry/RegKey.h"
#include "Common/Utility/ToolboxLog.h"
#include "Common/Utility/VRKLegacyException.h"

#include "support/TestSupport.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <tuple>

using namespace Veyrak;

namespace
{

// Gives each test a scratch log file and puts every log setting back afterwards.
class ToolboxLogTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        ToolboxLog::SetLogSwitch(false);
        ToolboxLog::SetThreshold(4);
        ToolboxLog::SetFileName(ToolboxLog::GetDefaultFileName());
        ::DeleteFileA(m_file.c_str());
    }
    void StartLog()
    {
        ToolboxLog::SetFileName(m_file);
        ToolboxLog::SetLogSwitch(true);
    }
    // Closes the log and reads it whole, each record's time line (checked) as "<time>".
    std::string StopLog()
    {
        static const std::regex timeLine(
            " \\*\\*\\* VrkException thrown \\*\\*\\* (Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday) "
            "(January|February|March|April|May|June|July|August|September|October|November|December) "
            "[0-3][0-9], [0-9]{4}; [0-2][0-9]:[0-5][0-9]:[0-6][0-9]");
        ToolboxLog::SetLogSwitch(false);
        std::ifstream file(m_file, std::ios::binary);
        return std::regex_replace(std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()},
                                  timeLine, "<time>");
    }
    static void LogRecord(int severity, int code)
    {
        VRKLegacyException("message", "site", static_cast<SeverityLevel>(severity), code).Log();
    }

    const std::string m_file =
        VrkTest::ProgramDirectory() + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
};

// Six lines, each led by a space; the severity and code texts follow their tables, with "Unknown"
// for the rest.
TEST_F(ToolboxLogTest, Record_WritesSixCrLfLinesWithTheSeverityAndCodeTexts)
{
    const std::tuple<int, int, std::string, std::string> rows[] = {
        {0, 8000, "(SEVERITY_LEVEL_FATAL) 8000", "(VRKENG_BSP)"},
        {1, 14011, "(SEVERITY_LEVEL_HIGH) 14011", "(VRKENG_VRKREGISTRY_COULDNOTCREATEKEY)"},
        {2, 8009, "(SEVERITY_LEVEL_MEDIUM) 8009", "(VRKENG_BSP_FATAL)"},
        {3, 14020, "(SEVERITY_LEVEL_LOW) 14020", "(VRKENG_VRKREGISTRY_COULDDELETEVALUE)"},
        {7, 14028, "(Unknown) 14028", "(VRKENG_TOOLBOX_FATAL)"},
        {-1, 14000, "(Unknown) 14000", "(VRKENG_TOOLBOX)"},
        {1, 8007, "(SEVERITY_LEVEL_HIGH) 8007", "(Unknown)"},
        {1, 14001, "(SEVERITY_LEVEL_HIGH) 14001", "(Unknown)"},
        {1, 14021, "(SEVERITY_LEVEL_HIGH) 14021", "(Unknown)"},
        {1, -1, "(SEVERITY_LEVEL_HIGH) -1", "(Unknown)"},
    };
    for (const auto& [severity, code, severityLine, codeLine] : rows)
    {
        SCOPED_TRACE(::testing::Message() << "severity " << severity << ", code " << code);
        StartLog();
        LogRecord(severity, code);
        // The leading space, then texts that begin with a space of their own.
        EXPECT_EQ("<time>\r\n message\r\n site\r\n " + std::to_string(severity) + "\r\n  " + severityLine + "\r\n  " +
                      codeLine + "\r\n",
                  StopLog());
    }
}

TEST_F(ToolboxLogTest, Threshold_KeepsOnlyTheLinesWrittenAtOrBelowIt)
{
    // The first four lines are written at level 2, the code lines at 3, and the severity's text
    // at a level that is the lower the graver the severity.
    const std::tuple<int, int, bool, int> rows[] = {
        {SEVERITY_LEVEL_FATAL, 1, true, 0},   {SEVERITY_LEVEL_HIGH, 1, false, 0}, {SEVERITY_LEVEL_HIGH, 2, true, 4},
        {SEVERITY_LEVEL_MEDIUM, 2, false, 4}, {SEVERITY_LEVEL_LOW, 2, false, 4},  {SEVERITY_LEVEL_LOW, 3, true, 6},
    };
    for (const auto& [severity, threshold, kept, lineEnds] : rows)
    {
        SCOPED_TRACE(::testing::Message() << "severity " << severity << ", threshold " << threshold);
        ToolboxLog::SetThreshold(threshold);
        ::DeleteFileA(m_file.c_str());
        StartLog();
        LogRecord(severity, VRKENG_TOOLBOX);
        const std::string text = StopLog();
        EXPECT_EQ(kept, text.find("(SEVERITY_LEVEL_") != std::string::npos) << text;
        EXPECT_EQ(lineEnds, std::count(text.begin(), text.end(), '\n')) << text;
    }

    // A threshold of 0 silences the log, even for what is written at level 0.
    ToolboxLog::SetThreshold(0);
    ::DeleteFileA(m_file.c_str());
    StartLog();
    ToolboxLog::WriteLine(0, "level 0");
    EXPECT_EQ("", StopLog());
}

// With the log off nothing is written and no setting changes; with it on, a copy writes no record
// and a failed key creation writes two identical ones.
TEST_F(ToolboxLogTest, LogOffWritesNothing_CopiesWriteNoRecord_AndAFailedKeyCreationWritesTwoIdenticalOnes)
{
    const auto settings = []
    {
        return std::make_tuple(ToolboxLog::IsLogOn(), ToolboxLog::GetThreshold(), ToolboxLog::GetIndentationWidth(),
                               ToolboxLog::GetFileName(), ToolboxLog::IsAtLineStart());
    };
    const auto initial = std::make_tuple(false, 4, 0, std::string("Vrklog.txt"), true);
    EXPECT_EQ(initial, settings());
    ::DeleteFileA("Vrklog.txt");

    EXPECT_THROW(RegKey("HKCU\\Software", RegSam::KeyRead), VRKLegacyException);
    EXPECT_THROW(ThrowLegacyException("x", "y", SEVERITY_LEVEL_FATAL, VRKENG_TOOLBOX_FATAL), VRKLegacyException);
    LogRecord(SEVERITY_LEVEL_HIGH, 14011);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA("Vrklog.txt"));
    EXPECT_EQ(initial, settings());

    StartLog();
    const VRKLegacyException original("first", "site", SEVERITY_LEVEL_LOW, 14021);
    original.Log();
    const VRKLegacyException copy(original);
    EXPECT_THROW(throw VRKLegacyException(copy), VRKLegacyException);
    const std::string record = StopLog();
    EXPECT_EQ(6, std::count(record.begin(), record.end(), '\n')) << record;

    StartLog();
    // Not a predefined root key, so the platform refuses it as a parent.
    EXPECT_THROW(RegKey(static_cast<RegHive>(0x800000F0u), "Software", RegSam::KeyAllAccess), VRKLegacyException);
    const std::string twice = StopLog(), once = twice.substr(0, twice.size() / 2);
    EXPECT_EQ(once + once, twice);
    EXPECT_EQ(12, std::count(twice.begin(), twice.end(), '\n')) << twice;
    EXPECT_NE(std::string::npos, once.find("\r\n RegKey::CreateKey(), throw #1\r\n")) << once;
}

} // namespace
