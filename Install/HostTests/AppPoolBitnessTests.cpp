// ConfigureASPNETOnIIS and ConfigureASPNETOnIIS64: the APPCMD command they run
// on 64-bit Windows, their log lines, and their errors.
#include "Actions.h"
#include "SimulatedTest.h"

#include <optional>

namespace {

using Action = std::uint32_t (*)(win::MsiHandle);
using Lines = std::vector<sim::Text>;

constexpr const char16_t* Setting32 = u"Setting IIS process to 32-bit...";
constexpr const char16_t* Setting64 = u"Setting IIS process to 64-bit...";
constexpr const char16_t* Skipping = u"Skipping (not 64-bit)...";
constexpr const char16_t* Completed = u"Completed.";
const sim::Text PoolArguments = u" set apppool \"BrennowickAppPool\" /enable32BitAppOnWin64:false";
const sim::Text AppCmdUnderWindows = u"C:\\Windows\\system32\\inetsrv\\APPCMD" + PoolArguments;

struct PoolCase {
    const char* name;
    Action action;
    std::optional<sim::Text> customActionData;  // none: not set
    std::optional<sim::Text> is64Bit;           // none: not set
    std::uint32_t startError;                   // 0: the tool starts
    Lines commandLines;
    Lines log;
    friend void PrintTo(const PoolCase& c, std::ostream* out) { *out << c.name; }
};

class AppPoolBitnessTest : public SimulatedTest, public ::testing::WithParamInterface<PoolCase> {};

TEST_P(AppPoolBitnessTest, RunsAppCmdOnlyOn64BitWindowsAndLogsEachStep) {
    const auto& c = GetParam();
    if (c.customActionData) windows.properties[u"CustomActionData"] = *c.customActionData;
    if (c.is64Bit) windows.properties[u"IS_OS_64BIT"] = *c.is64Bit;
    windows.startResult = [&](const sim::ProcessStart&) { return c.startError; };

    EXPECT_EQ(c.action(sim::Windows::Session), 0u);
    EXPECT_EQ(AttemptedCommandLines(), c.commandLines);
    for (const auto& start : windows.starts) EXPECT_TRUE(start.waited);
    EXPECT_EQ(LogLines(), c.log);
    EXPECT_EQ(LogLines().size(), windows.messages.size()) << "nothing but log lines";
}

INSTANTIATE_TEST_SUITE_P(
    Runs, AppPoolBitnessTest,
    ::testing::Values(
        PoolCase{"Pool32On64", &ConfigureASPNETOnIIS, u"C:\\Windows", u"1", 0,
                 {AppCmdUnderWindows},
                 {Setting32, AppCmdUnderWindows, u"Returned value: 0", Completed}},
        PoolCase{"Pool64On64", &ConfigureASPNETOnIIS64, u"C:\\Windows", u"1", 0,
                 {AppCmdUnderWindows},
                 {Setting64, u"Returned value: 0", Completed}},
        PoolCase{"Pool32FolderWithBackslash", &ConfigureASPNETOnIIS, u"C:\\Windows\\", u"1", 0,
                 {AppCmdUnderWindows},
                 {Setting32, AppCmdUnderWindows, u"Returned value: 0", Completed}},
        PoolCase{"Pool64FolderWithBackslash", &ConfigureASPNETOnIIS64, u"C:\\Windows\\", u"1", 0,
                 {AppCmdUnderWindows}, {Setting64, u"Returned value: 0", Completed}},
        PoolCase{"FieldTrimmedFurtherFieldsIgnored", &ConfigureASPNETOnIIS,
                 u" C:\\Windows\\ \t|D:\\Other|\"quoted\"", u"1", 0, {AppCmdUnderWindows},
                 {Setting32, AppCmdUnderWindows, u"Returned value: 0", Completed}},
        PoolCase{"EmptyData", &ConfigureASPNETOnIIS, u"", u"1", 0,
                 {u"\\system32\\inetsrv\\APPCMD" + PoolArguments},
                 {Setting32, u"\\system32\\inetsrv\\APPCMD" + PoolArguments, u"Returned value: 0", Completed}},
        PoolCase{"DataNotSet", &ConfigureASPNETOnIIS64, std::nullopt, u"1", 0,
                 {u"\\system32\\inetsrv\\APPCMD" + PoolArguments},
                 {Setting64, u"Returned value: 0", Completed}},
        // The logged line is the one that runs: the program path quoted.
        PoolCase{"BlankInFolderQuoted", &ConfigureASPNETOnIIS, u"C:\\Blank Win\\", u"1", 0,
                 {u"\"C:\\Blank Win\\system32\\inetsrv\\APPCMD\"" + PoolArguments},
                 {Setting32, u"\"C:\\Blank Win\\system32\\inetsrv\\APPCMD\"" + PoolArguments,
                  u"Returned value: 0", Completed}},
        PoolCase{"BracketsAndPercentLoggedAsTheyStand", &ConfigureASPNETOnIIS, u"D:\\[Win]%d", u"1", 0,
                 {u"D:\\[Win]%d\\system32\\inetsrv\\APPCMD" + PoolArguments},
                 {Setting32, u"D:\\[Win]%d\\system32\\inetsrv\\APPCMD" + PoolArguments,
                  u"Returned value: 0", Completed}},
        PoolCase{"ToolMissing", &ConfigureASPNETOnIIS, u"C:\\Windows", u"1", 2, {AppCmdUnderWindows},
                 {Setting32, AppCmdUnderWindows, u"Returned value: 2", Completed}},
        PoolCase{"ToolRefusedWithLargeError", &ConfigureASPNETOnIIS64, u"C:\\Windows", u"1", 0x80070005u,
                 {AppCmdUnderWindows}, {Setting64, u"Returned value: -2147024891", Completed}},
        PoolCase{"Not64Zero", &ConfigureASPNETOnIIS, u"C:\\Windows", u"0", 0, {}, {Setting32, Skipping, Completed}},
        PoolCase{"Not64Empty", &ConfigureASPNETOnIIS64, u"C:\\Windows", u"", 0, {}, {Setting64, Skipping, Completed}},
        PoolCase{"Not64Unset", &ConfigureASPNETOnIIS, u"C:\\Windows", std::nullopt, 0, {},
                 {Setting32, Skipping, Completed}},
        PoolCase{"Not64LeadingZero", &ConfigureASPNETOnIIS, u"C:\\Windows", u"01", 0, {},
                 {Setting32, Skipping, Completed}},
        PoolCase{"Not64LeadingBlank", &ConfigureASPNETOnIIS64, u"C:\\Windows", u" 1", 0, {},
                 {Setting64, Skipping, Completed}},
        PoolCase{"Not64TrailingBlank", &ConfigureASPNETOnIIS, u"C:\\Windows", u"1 ", 0, {},
                 {Setting32, Skipping, Completed}},
        PoolCase{"Not64True", &ConfigureASPNETOnIIS64, u"C:\\Windows", u"true", 0, {},
                 {Setting64, Skipping, Completed}},
        // No command is built on this path, so the folder is never looked at.
        PoolCase{"Not64QuotationMarkInFolder", &ConfigureASPNETOnIIS, u"C:\\Win\" /x \"", u"0", 0, {},
                 {Setting32, Skipping, Completed}}));

struct PoolError {
    const char* name;
    Action action;
    std::function<void(sim::Windows&)> prepare;
    const char16_t* report;
    friend void PrintTo(const PoolError& c, std::ostream* out) { *out << c.name; }
};

class AppPoolBitnessErrorTest : public SimulatedTest, public ::testing::WithParamInterface<PoolError> {};

TEST_P(AppPoolBitnessErrorTest, ReportsUnderOneNameRunsNothingAndFails) {
    windows.properties[u"CustomActionData"] = u"C:\\Windows";
    windows.properties[u"IS_OS_64BIT"] = u"1";
    GetParam().prepare(windows);

    EXPECT_EQ(GetParam().action(sim::Windows::Session), 1603u);
    EXPECT_EQ(windows.CallCount("CreateProcessW"), 0u);
    EXPECT_TRUE(LogLines().empty()) << "the error comes before the first line";
    ASSERT_EQ(windows.messages.size(), 1u);
    EXPECT_EQ(windows.messages[0].type, win::InstallMessageError | win::MbIconError);
    EXPECT_EQ(windows.messages[0].shown, GetParam().report);
}

auto FailingRead(const char16_t* name, std::uint32_t error) {
    return [=](sim::Windows& w) { w.failingPropertyReads[name] = error; };
}
auto Folder(const char16_t* folder) {
    return [=](sim::Windows& w) { w.properties[u"CustomActionData"] = folder; };
}

INSTANTIATE_TEST_SUITE_P(
    Errors, AppPoolBitnessErrorTest,
    ::testing::Values(
        PoolError{"Pool32DataUnreadable", &ConfigureASPNETOnIIS, FailingRead(u"CustomActionData", 6),
                  u"Error in function SetIIS7To32BitOn64: 6"},
        PoolError{"Pool64DataUnreadable", &ConfigureASPNETOnIIS64, FailingRead(u"CustomActionData", 6),
                  u"Error in function SetIIS7To32BitOn64: 6"},
        PoolError{"Pool32BitnessUnreadable", &ConfigureASPNETOnIIS, FailingRead(u"IS_OS_64BIT", 1615),
                  u"Error in function SetIIS7To32BitOn64: 1615"},
        PoolError{"Pool64BitnessUnreadable", &ConfigureASPNETOnIIS64, FailingRead(u"IS_OS_64BIT", 1615),
                  u"Error in function SetIIS7To32BitOn64: 1615"},
        PoolError{"Pool32QuotationMarkInFolder", &ConfigureASPNETOnIIS, Folder(u"C:\\Win\" /x \"D:"),
                  u"Error in function SetIIS7To32BitOn64: 123"},
        PoolError{"Pool64QuotationMarkInFolder", &ConfigureASPNETOnIIS64, Folder(u"\"C:\\Windows\""),
                  u"Error in function SetIIS7To32BitOn64: 123"}));

}  // namespace
