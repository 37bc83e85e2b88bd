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
    // Closes the log and splits the file into lines, each of which must end in CR LF.
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

TEST_F(ToolboxLogTest, Raise_WithLogOn_WritesSixCrLfLinesEachLedByASpace)
{
    StartLog();
    EXPECT_THROW(ThrowLegacyException("Unable to create registry key", "RegKey::CreateKey(), throw #1",
                                      SEVERITY_LEVEL_HIGH, VRKENG_VRKREGISTRY_COULDNOTCREATEKEY),
                 VRKLegacyException);
    const std::vector<std::string> lines = StopLog();
    ASSERT_EQ(6u, lines.size());
    EXPECT_TRUE(std::regex_match(lines[0], kTimeLine)) << lines[0];
    EXPECT_EQ(" Unable to create registry key", lines[1]);
    EXPECT_EQ(" RegKey::CreateKey(), throw #1", lines[2]);
    EXPECT_EQ(" 1", lines[3]);
    // The leading space, then texts that begin with a space of their own.
    EXPECT_EQ("  (SEVERITY_LEVEL_HIGH) 14011", lines[4]);
    EXPECT_EQ("  (VRKENG_VRKREGISTRY_COULDNOTCREATEKEY)", lines[5]);
}

TEST_F(ToolboxLogTest, Record_SeverityAndCodeTexts_FollowTheTablesWithUnknownForTheRest)
{
    const std::tuple<int, int, std::string, std::string> rows[] = {
        {0, 8000, "(SEVERITY_LEVEL_FATAL) 8000", "(VRKENG_BSP)"},
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
        const std::vector<std::string> lines = StopLog();
        ASSERT_EQ(6u, lines.size());
        EXPECT_EQ(" " + std::to_string(severity), lines[3]);
        EXPECT_EQ("  " + severityLine, lines[4]);
        EXPECT_EQ("  " + codeLine, lines[5]);
    }
}

TEST_F(ToolboxLogTest, Threshold_KeepsOnlyTheLinesWrittenAtOrBelowIt)
{
    // A medium severity's text and both code lines are written at level 3, the rest at 2.
    ToolboxLog::SetThreshold(2);
    StartLog();
    LogRecord(SEVERITY_LEVEL_MEDIUM, VRKENG_TOOLBOX);
    EXPECT_EQ(4u, StopLog().size());

    // The graver the severity, the lower the level its text is written at.
    const std::tuple<int, int, bool> rows[] = {
        {SEVERITY_LEVEL_FATAL, 1, true},   {SEVERITY_LEVEL_HIGH, 1, false}, {SEVERITY_LEVEL_HIGH, 2, true},
        {SEVERITY_LEVEL_MEDIUM, 2, false}, {SEVERITY_LEVEL_LOW, 2, false},  {SEVERITY_LEVEL_LOW, 3, true},
    };
    for (const auto& [severity, threshold, kept] : rows)
    {
        SCOPED_TRACE(::testing::Message() << "severity " << severity << ", threshold " << threshold);
        ToolboxLog::SetThreshold(threshold);
        ::DeleteFileA(m_file.c_str());
        StartLog();
        LogRecord(severity, VRKENG_TOOLBOX);
        EXPECT_EQ(kept, StopLogAndRead().find("(SEVERITY_LEVEL_") != std::string::npos);
    }

    // A threshold of 0 silences the log, even for what is written at level 0.
    ToolboxLog::SetThreshold(0);
    ::DeleteFileA(m_file.c_str());
    StartLog();
    ToolboxLog::WriteLine(0, "level 0");
    EXPECT_EQ("", StopLogAndRead());
}

TEST_F(ToolboxLogTest, CopiesWriteNoRecord_AndAFailedKeyCreationWritesTwoIdenticalOnes)
{
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

TEST_F(ToolboxLogTest, LogOff_CreatesNoFileAndChangesNoSetting)
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
}

} // namespace
