// Tests of the exception log and of the records that legacy exceptions write to it.
#include "Common/Registry/RegKey.h"
#include "Common/Utility/ToolboxLog.h"
#include "Common/Utility/VRKLegacyException.h"

#include "support/TestSupport.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

using namespace Veyrak;

namespace
{

// Gives each test a scratch directory for its log file and puts every log setting
// back to its initial value afterwards.
class ToolboxLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_directory = VrkTest::ProgramDirectory() + "logscratch." + info->name();
        ::CreateDirectoryA(m_directory.c_str(), nullptr);
        m_file = m_directory + "\\records.txt";
        ::DeleteFileA(m_file.c_str());
    }

    void TearDown() override
    {
        ToolboxLog::SetLogSwitch(false);
        ToolboxLog::SetThreshold(4);
        ToolboxLog::SetIndentationWidth(0);
        ToolboxLog::SetFileName(ToolboxLog::GetDefaultFileName());
        ::DeleteFileA(m_file.c_str());
        ::RemoveDirectoryA(m_directory.c_str());
    }

    void StartLog()
    {
        ToolboxLog::SetFileName(m_file);
        ToolboxLog::SetLogSwitch(true);
    }

    // Closes the log and returns the file's bytes.
    std::string StopLog()
    {
        ToolboxLog::SetLogSwitch(false);
        std::ifstream file(m_file, std::ios::binary);
        EXPECT_TRUE(file.is_open()) << m_file;
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    // Splits at CR LF; every line must end with one, and no bare LF may occur.
    static std::vector<std::string> Lines(const std::string& bytes)
    {
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < bytes.size())
        {
            const size_t end = bytes.find("\r\n", start);
            if (end == std::string::npos)
            {
                ADD_FAILURE() << "unterminated last line: " << bytes.substr(start);
                break;
            }
            lines.push_back(bytes.substr(start, end - start));
            EXPECT_EQ(std::string::npos, lines.back().find('\n')) << lines.back();
            start = end + 2;
        }
        return lines;
    }

    static void LogRecord(SeverityLevel severity, int code)
    {
        VRKLegacyException("Unable to create registry key", "RegKey::CreateKey(), throw #1", severity, code).Log();
    }

    std::string m_directory;
    std::string m_file;
};

const std::regex kTimeLine(" \\*\\*\\* VrkException thrown \\*\\*\\* "
                           "(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday) "
                           "(January|February|March|April|May|June|July|August|September|October|November|December) "
                           "[0-3][0-9], [0-9]{4}; [0-2][0-9]:[0-5][0-9]:[0-6][0-9]");

TEST_F(ToolboxLogTest, Raise_WithLogOn_WritesSixCrLfLinesForTheRecord)
{
    StartLog();
    try
    {
        ThrowLegacyException("Unable to create registry key", "RegKey::CreateKey(), throw #1", SEVERITY_LEVEL_HIGH,
                             VRKENG_VRKREGISTRY_COULDNOTCREATEKEY);
    }
    catch (const VRKException& error)
    {
        // The message that the catcher sees is the one the record shows.
        EXPECT_STREQ("Unable to create registry key", error.what());
    }
    const std::vector<std::string> lines = Lines(StopLog());
    ASSERT_EQ(6u, lines.size());
    EXPECT_TRUE(std::regex_match(lines[0], kTimeLine)) << lines[0];
    EXPECT_EQ(" Unable to create registry key", lines[1]);
    EXPECT_EQ(" RegKey::CreateKey(), throw #1", lines[2]);
    EXPECT_EQ(" 1", lines[3]);
    // The lead space, then texts that begin with a space of their own.
    EXPECT_EQ("  (SEVERITY_LEVEL_HIGH) 14011", lines[4]);
    EXPECT_EQ("  (VRKENG_VRKREGISTRY_COULDNOTCREATEKEY)", lines[5]);
}

TEST_F(ToolboxLogTest, Record_SeverityAndCodeTexts_FollowTheTablesWithUnknownForTheRest)
{
    struct Row
    {
        int severity;
        int code;
        const char* severityLine;
        const char* codeLine;
    };
    const Row rows[] = {
        {0, 8000, " (SEVERITY_LEVEL_FATAL) 8000", " (VRKENG_BSP)"},
        {2, 8009, " (SEVERITY_LEVEL_MEDIUM) 8009", " (VRKENG_BSP_FATAL)"},
        {3, 14010, " (SEVERITY_LEVEL_LOW) 14010", " (VRKENG_MEMORYBUFFER_INVALIDPARM)"},
        {1, 14020, " (SEVERITY_LEVEL_HIGH) 14020", " (VRKENG_VRKREGISTRY_COULDDELETEVALUE)"},
        {1, 14028, " (SEVERITY_LEVEL_HIGH) 14028", " (VRKENG_TOOLBOX_FATAL)"},
        {7, 14015, " (Unknown) 14015", " (VRKENG_VRKREGISTRY_INVALIDREGISTRYHIVE)"},
        {-1, 14000, " (Unknown) 14000", " (VRKENG_TOOLBOX)"},
        {1, 8007, " (SEVERITY_LEVEL_HIGH) 8007", " (Unknown)"},
        {1, 8008, " (SEVERITY_LEVEL_HIGH) 8008", " (Unknown)"},
        {1, 14001, " (SEVERITY_LEVEL_HIGH) 14001", " (Unknown)"},
        {1, 14008, " (SEVERITY_LEVEL_HIGH) 14008", " (Unknown)"},
        {1, 14021, " (SEVERITY_LEVEL_HIGH) 14021", " (Unknown)"},
        {1, 14024, " (SEVERITY_LEVEL_HIGH) 14024", " (Unknown)"},
        {1, 14027, " (SEVERITY_LEVEL_HIGH) 14027", " (Unknown)"},
        {1, -1, " (SEVERITY_LEVEL_HIGH) -1", " (Unknown)"},
    };
    StartLog();
    for (const Row& row : rows)
        LogRecord(static_cast<SeverityLevel>(row.severity), row.code);
    const std::vector<std::string> lines = Lines(StopLog());
    ASSERT_EQ(6 * std::size(rows), lines.size());
    for (size_t index = 0; index < std::size(rows); ++index)
    {
        SCOPED_TRACE(::testing::Message() << "severity " << rows[index].severity << ", code " << rows[index].code);
        EXPECT_EQ(" " + std::to_string(rows[index].severity), lines[6 * index + 3]);
        EXPECT_EQ(std::string(" ") + rows[index].severityLine, lines[6 * index + 4]);
        EXPECT_EQ(std::string(" ") + rows[index].codeLine, lines[6 * index + 5]);
    }
}

TEST_F(ToolboxLogTest, IndentationWidth_LeadsEveryLineWithThatManySpaces)
{
    ToolboxLog::SetIndentationWidth(3);
    StartLog();
    LogRecord(SEVERITY_LEVEL_MEDIUM, VRKENG_TOOLBOX);
    const std::vector<std::string> lines = Lines(StopLog());
    ASSERT_EQ(6u, lines.size());
    EXPECT_EQ(0u, lines[0].find("   *** VrkException"));
    EXPECT_EQ("   Unable to create registry key", lines[1]);
    EXPECT_EQ("    (SEVERITY_LEVEL_MEDIUM) 14000", lines[4]);
}

TEST_F(ToolboxLogTest, Threshold_KeepsOnlyWritesAtOrBelowIt)
{
    // Level 3 carries a medium severity's text and both code lines.
    ToolboxLog::SetThreshold(2);
    StartLog();
    LogRecord(SEVERITY_LEVEL_MEDIUM, VRKENG_TOOLBOX);
    std::vector<std::string> lines = Lines(StopLog());
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(" 2", lines[3]);

    // A threshold of 0 silences the log altogether.
    ToolboxLog::SetThreshold(0);
    StartLog();
    LogRecord(SEVERITY_LEVEL_FATAL, VRKENG_TOOLBOX);
    EXPECT_EQ("", StopLog());
}

TEST_F(ToolboxLogTest, CopiesOfARaisedException_WriteNoFurtherRecord)
{
    StartLog();
    try
    {
        try
        {
            ThrowLegacyException("first", "site", SEVERITY_LEVEL_LOW, 14021);
        }
        catch (const VRKLegacyException& caught)
        {
            // Copies as a catcher by value or a rethrow would make them.
            VRKLegacyException copy(caught);
            VRKLegacyException another(copy);
            EXPECT_EQ(14021, another.GetCode());
            throw another;
        }
    }
    catch (const VRKLegacyException&)
    {
    }
    EXPECT_EQ(6u, Lines(StopLog()).size());

    // Building a second exception from the same values and raising it is a second record.
    StartLog();
    for (int raise = 0; raise < 2; ++raise)
        EXPECT_THROW(ThrowLegacyException("first", "site", SEVERITY_LEVEL_LOW, 14021), VRKLegacyException);
    EXPECT_EQ(12u, Lines(StopLog()).size());
}

TEST_F(ToolboxLogTest, FailedKeyCreation_IsRecordedTwiceWithIdenticalContent)
{
    StartLog();
    // Not a predefined root key, so the platform refuses it as a parent.
    EXPECT_THROW(RegKey(static_cast<RegHive>(0x800000F0u), "Software", RegSam::KeyAllAccess), VRKLegacyException);
    const std::vector<std::string> lines = Lines(StopLog());
    ASSERT_EQ(12u, lines.size());
    for (size_t line = 1; line < 6; ++line)
        EXPECT_EQ(lines[line], lines[line + 6]);
    EXPECT_EQ(" RegKey::CreateKey(), throw #1", lines[2]);
}

TEST_F(ToolboxLogTest, LogOff_CreatesNoFileAndChangesNoSetting)
{
    // The initial settings: off, threshold 4, no indentation, the default file.
    EXPECT_FALSE(ToolboxLog::IsLogOn());
    EXPECT_EQ(4, ToolboxLog::GetThreshold());
    EXPECT_EQ(0, ToolboxLog::GetIndentationWidth());
    EXPECT_EQ("Vrklog.txt", ToolboxLog::GetFileName());
    EXPECT_EQ("Vrklog.txt", ToolboxLog::GetDefaultFileName());

    ToolboxLog::SetFileName(m_file);
    const std::string defaultFile = VrkTest::ProgramDirectory() + ToolboxLog::GetDefaultFileName();
    ::DeleteFileA(defaultFile.c_str());

    EXPECT_THROW(RegKey("HKEY_CURRENT_USER", RegSam::KeyRead), VRKLegacyException);
    EXPECT_THROW(RegKey("HKCU\\Software", RegSam::KeyRead), VRKLegacyException);
    EXPECT_THROW(ThrowLegacyException("x", "y", SEVERITY_LEVEL_FATAL, VRKENG_TOOLBOX_FATAL), VRKLegacyException);
    LogRecord(SEVERITY_LEVEL_HIGH, 14011);

    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(m_file.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(defaultFile.c_str()));
    EXPECT_FALSE(ToolboxLog::IsLogOn());
    EXPECT_EQ(4, ToolboxLog::GetThreshold());
    EXPECT_EQ(0, ToolboxLog::GetIndentationWidth());
    EXPECT_EQ(m_file, ToolboxLog::GetFileName());
    EXPECT_TRUE(ToolboxLog::IsAtLineStart());
}

TEST_F(ToolboxLogTest, RecordsFromManyThreads_StayWhole)
{
    StartLog();
    constexpr int kThreads = 8;
    constexpr int kRecordsPerThread = 25;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread)
    {
        threads.emplace_back(
            [thread]
            {
                for (int record = 0; record < kRecordsPerThread; ++record)
                    VRKLegacyException("thread " + std::to_string(thread), "site", SEVERITY_LEVEL_HIGH, 14011 + thread)
                        .Log();
            });
    }
    for (std::thread& thread : threads)
        thread.join();
    const std::vector<std::string> lines = Lines(StopLog());
    ASSERT_EQ(static_cast<size_t>(6 * kThreads * kRecordsPerThread), lines.size());
    for (size_t first = 0; first < lines.size(); first += 6)
    {
        SCOPED_TRACE(::testing::Message() << "record at line " << first);
        ASSERT_TRUE(std::regex_match(lines[first], kTimeLine)) << lines[first];
        const int thread = std::stoi(lines[first + 1].substr(std::string(" thread ").size()));
        EXPECT_EQ("  (SEVERITY_LEVEL_HIGH) " + std::to_string(14011 + thread), lines[first + 4]);
    }
}

} // namespace
