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
#include <vector>

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
    // Closes the log and reads it whole, or split into lines, each of which must end in CR LF.
    std::string StopLogAndRead()
    {
        ToolboxLog::SetLogSwitch(false);
        std::ifstream file(m_file, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> StopLog()
    {
        const std::string bytes = StopLogAndRead();
        std::vector<std::string> lines;
        for (size_t start = 0, end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(bytes.substr(start, end - start));
        EXPECT_EQ(lines.size(), static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'))) << bytes;
        EXPECT_TRUE(bytes.empty() || bytes.back() == '\n') << bytes;
        return lines;
    }
    static void LogRecord(int severity, int code)
    {
        VRKLegacyException("message", "site", static_cast<SeverityLevel>(severity), code).Log();
    }

    const std::string m_file =
        VrkTest::ProgramDirectory() + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
};

const std::regex kTimeLine(" \\*\\*\\* VrkException thrown \\*\\*\\* "
                           "(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday) "
                           "(January|February|March|April|May|June|July|August|September|October|November|December) "
                           "[0-3][0-9], [0-9]{4}; [0-2][0-9]:[0-5][0-9]:[0-6][0-9]");

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
        VRKLegacyException("Unable to create registry key", "RegKey::CreateKey(), throw #1",
                           static_cast<SeverityLevel>(severity), code)
            .Log();
        const std::vector<std::string> lines = StopLog();
        ASSERT_EQ(6u, lines.size());
        EXPECT_TRUE(std::regex_match(lines[0], kTimeLine)) << lines[0];
        EXPECT_EQ(" Unable to create registry key", lines[1]);
        EXPECT_EQ(" RegKey::CreateKey(), throw #1", lines[2]);
        EXPECT_EQ(" " + std::to_string(severity), lines[3]);
        // The leading space, then texts that begin with a space of their own.
        EXPECT_EQ("  " + severityLine, lines[4]);
        EXPECT_EQ("  " + codeLine, lines[5]);
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
        const std::string text = StopLogAndRead();
        EXPECT_EQ(kept, text.find("(SEVERITY_LEVEL_") != std::string::npos) << text;
        EXPECT_EQ(lineEnds, std::count(text.begin(), text.end(), '\n')) << text;
    }

    // A threshold of 0 silences the log, even for what is written at level 0.
    ToolboxLog::SetThreshold(0);
    ::DeleteFileA(m_file.c_str());
    StartLog();
    ToolboxLog::WriteLine(0, "level 0");
    EXPECT_EQ("", StopLogAndRead());
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
    EXPECT_EQ(6u, StopLog().size());

    StartLog();
    // Not a predefined root key, so the platform refuses it as a parent.
    EXPECT_THROW(RegKey(static_cast<RegHive>(0x800000F0u), "Software", RegSam::KeyAllAccess), VRKLegacyException);
    const std::vector<std::string> lines = StopLog();
    ASSERT_EQ(12u, lines.size());
    for (size_t line = 1; line < 6; ++line)
        EXPECT_EQ(lines[line], lines[line + 6]);
    EXPECT_EQ(" RegKey::CreateKey(), throw #1", lines[2]);
}

} // namespace
