// The process runner: the command line it builds, how it starts the tool, the
// wait, and the handles it leaves behind.
#include "ProcessRunner.h"
#include "SimulatedTest.h"

namespace {

using ca::RunCommandLine;
using ca::WaitUntilEnded;

class ProcessRunnerTest : public SimulatedTest {};

struct CommandLineCase {
    const char* name;
    const char16_t* program;    // null: absent
    const char16_t* arguments;  // null: absent
    const char16_t* commandLine;
    friend void PrintTo(const CommandLineCase& c, std::ostream* out) { *out << c.name; }
};

class CommandLineTest : public ProcessRunnerTest,
                        public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineTest, StartsExactlyThisCommandLine) {
    const auto& c = GetParam();
    EXPECT_EQ(RunCommandLine(c.program, c.arguments, WaitUntilEnded), 0u);
    ASSERT_EQ(windows.starts.size(), 1u);
    EXPECT_EQ(windows.starts[0].commandLine, c.commandLine);
    EXPECT_FALSE(windows.starts[0].applicationName) << "the program comes from the command line";
    EXPECT_EQ(ca::CommandLineOf(c.program, c.arguments), c.commandLine);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"NoProgram", nullptr, u"cacls \"C:\\App\" /E", u"cacls \"C:\\App\" /E"},
        CommandLineCase{"NoProgramQuotedArguments", nullptr, u"net start \"Quorvane Authentication Service 9\"",
                        u"net start \"Quorvane Authentication Service 9\""},
        CommandLineCase{"EmptyProgram", u"", u"net start", u"net start"},
        CommandLineCase{"ProgramAndArguments", u"C:\\Windows\\system32\\inetsrv\\APPCMD", u"set apppool",
                        u"C:\\Windows\\system32\\inetsrv\\APPCMD set apppool"},
        CommandLineCase{"EmptyArguments", u"C:\\Tools\\tool.exe", u"", u"C:\\Tools\\tool.exe "},
        CommandLineCase{"NoArguments", u"C:\\Tools\\tool.exe", nullptr, u"C:\\Tools\\tool.exe "},
        CommandLineCase{"NothingAtAll", nullptr, nullptr, u""},
        CommandLineCase{"ArgumentsKeepTheirBlanks", u"tool", u"  a  b ", u"tool   a  b "},
        CommandLineCase{"ProgramWithBlankIsQuoted", u"C:\\Blank Win\\system32\\inetsrv\\APPCMD", u"list",
                        u"\"C:\\Blank Win\\system32\\inetsrv\\APPCMD\" list"},
        CommandLineCase{"ProgramWithBlankNoArguments", u"C:\\Program Files\\tool.exe", nullptr,
                        u"\"C:\\Program Files\\tool.exe\" "},
        CommandLineCase{"ProgramEndingInBlankIsQuoted", u"C:\\Tools\\tool ", u"x", u"\"C:\\Tools\\tool \" x"},
        CommandLineCase{"QuotedProgramLeftAlone", u"\"C:\\Program Files\\tool.exe\"", u"/x",
                        u"\"C:\\Program Files\\tool.exe\" /x"},
        CommandLineCase{"QuotedProgramWithoutBlankLeftAlone", u"\"C:\\Tools\\tool.exe\"", u"/x",
                        u"\"C:\\Tools\\tool.exe\" /x"},
        CommandLineCase{"TabIsNoBlank", u"C:\\Tools\\a\tb", u"x", u"C:\\Tools\\a\tb x"}));

TEST_F(ProcessRunnerTest, StartsWithTheWindowShownAndNothingElseChosen) {
    EXPECT_EQ(RunCommandLine(nullptr, u"net start", WaitUntilEnded), 0u);
    ASSERT_EQ(windows.starts.size(), 1u);
    const auto& start = windows.starts[0];
    EXPECT_EQ(start.startup.flags, win::StartfUseShowWindow);
    EXPECT_EQ(start.startup.showWindow, 5u);
    EXPECT_FALSE(start.inheritHandles);
    EXPECT_EQ(start.creationFlags, 0u);
    EXPECT_FALSE(start.environmentGiven) << "the tool gets the caller's environment";
    EXPECT_FALSE(start.currentDirectory) << "the tool starts in the caller's directory";
    EXPECT_TRUE(windows.messages.empty()) << "the runner reports nothing itself";
}

struct WaitCase {
    const char* name;
    std::uint32_t flags;
    bool waits;
    friend void PrintTo(const WaitCase& c, std::ostream* out) { *out << c.name; }
};

class WaitTest : public ProcessRunnerTest, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(WaitTest, WaitsWithoutLimitOnlyWhenBitZeroIsSetAndClosesBothHandles) {
    EXPECT_EQ(RunCommandLine(u"tool", u"x", GetParam().flags), 0u);
    ASSERT_EQ(windows.starts.size(), 1u);
    EXPECT_EQ(windows.starts[0].waited, GetParam().waits);
    EXPECT_EQ(windows.CallCount("WaitForSingleObject"), GetParam().waits ? 1u : 0u);
    if (GetParam().waits) {
        EXPECT_EQ(windows.starts[0].waitMilliseconds, win::Infinite);
    }
    EXPECT_EQ(windows.CallCount("CloseHandle"), 2u);
    EXPECT_TRUE(windows.openProcesses.empty());
    EXPECT_TRUE(windows.openThreads.empty());
}

INSTANTIATE_TEST_SUITE_P(Flags, WaitTest,
                         ::testing::Values(WaitCase{"Wait", WaitUntilEnded, true},
                                           WaitCase{"NoFlags", 0, false},
                                           WaitCase{"OtherBitsOnly", 0xFFFFFFFEu, false},
                                           WaitCase{"AllBits", 0xFFFFFFFFu, true}));

TEST_F(ProcessRunnerTest, FailedWaitStillClosesBothHandlesAndCountsAsStarted) {
    windows.failCallNumber = 2;  // the wait after CreateProcessW
    EXPECT_EQ(RunCommandLine(u"tool", u"x", WaitUntilEnded), 0u);
    EXPECT_EQ(windows.CallCount("CloseHandle"), 2u);
}

struct RefusedStart {
    const char* name;
    std::uint32_t error;
    friend void PrintTo(const RefusedStart& c, std::ostream* out) { *out << c.name; }
};

class RefusedStartTest : public ProcessRunnerTest,
                         public ::testing::WithParamInterface<RefusedStart> {};

TEST_P(RefusedStartTest, ReturnsTheStartErrorWithoutWaitingOrClosing) {
    windows.startResult = [](const sim::ProcessStart&) { return GetParam().error; };
    EXPECT_EQ(RunCommandLine(nullptr, u"cacls \"C:\\App\"", WaitUntilEnded), GetParam().error);
    ASSERT_GE(windows.journal.size(), 2u);
    EXPECT_EQ(windows.journal[0].function, "CreateProcessW");
    EXPECT_EQ(windows.journal[1].function, "GetLastError") << "the error is taken before any other call";
    EXPECT_EQ(windows.CallCount("WaitForSingleObject"), 0u);
    EXPECT_EQ(windows.CallCount("CloseHandle"), 0u);
    EXPECT_TRUE(windows.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Errors, RefusedStartTest,
                         ::testing::Values(RefusedStart{"FileNotFound", 2}, RefusedStart{"AccessDenied", 5},
                                           RefusedStart{"BadExeFormat", 193},
                                           RefusedStart{"HighBitSet", 0x80070002u}));

}  // namespace
