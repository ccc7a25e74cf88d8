// ConfigureSecurity: the six cacls commands, their order, the one log line,
// and the inputs it refuses.
#include "Actions.h"
#include "SimulatedTest.h"

#include <array>
#include <optional>

namespace {

using Lines = std::vector<sim::Text>;

class FileSystemPermissionsTest : public SimulatedTest {
protected:
    void Inputs(const sim::Text& data, const sim::Text& is64Bit, const sim::Text& users,
                const sim::Text& networkService) {
        windows.properties[u"CustomActionData"] = data;
        windows.properties[u"IS_OS_64BIT"] = is64Bit;
        windows.properties[u"USERS"] = users;
        windows.properties[u"NETWORKSERVICE"] = networkService;
    }
};

TEST_F(FileSystemPermissionsTest, GrantsSixTargetsInOrderAndLogsTheWebConfigCommandAfterItRan) {
    Inputs(u"C:\\Program Files (x86)\\Brennowick|C:\\windows\\", u"1", u"Users", u"NETWORK SERVICE");
    EXPECT_EQ(ConfigureSecurity(sim::Windows::Session), 0u);

    const Lines expected = {
        u"cacls \"C:\\Program Files (x86)\\Brennowick\" /E /P \"NETWORK SERVICE\":F IIS_IUSRS:F",
        u"cacls \"C:\\Program Files (x86)\\Brennowick\\web.config\" /E /P \"NETWORK SERVICE\":F \"Users\":F IIS_IUSRS:F",
        u"cacls \"C:\\Program Files (x86)\\Brennowick\\Web Files\" /E /T /P \"NETWORK SERVICE\":F \"Users\":F IIS_IUSRS:F",
        u"cacls \"C:\\Program Files (x86)\\Brennowick\\Web Files\\Config\" /E /P \"NETWORK SERVICE\":F \"Users\":F IIS_IUSRS:F",
        u"cacls \"C:\\Program Files (x86)\\Brennowick\\Web Files\\Config\\ServiceConfig.xml\" /E /P \"NETWORK SERVICE\":F \"Users\":F IIS_IUSRS:F",
        u"cacls \"C:\\windows\\Microsoft.NET\\Framework64\\v4.0.30319\\Temporary ASP.NET Files\" /E /P \"NETWORK SERVICE\":F IIS_IUSRS:F",
    };
    EXPECT_EQ(StartedCommandLines(), expected);
    for (const auto& start : windows.starts) {
        EXPECT_TRUE(start.waited) << "each tool ends before the next starts";
        EXPECT_FALSE(start.applicationName);
    }
    EXPECT_EQ(LogLines(), Lines{expected[1]});
    EXPECT_EQ(windows.messages.size(), 1u);

    // The line goes to the log after command 2 has ended and before command 3.
    std::vector<std::string> order;
    for (const auto& call : windows.journal)
        if (call.function == "CreateProcessW" || call.function == "MsiProcessMessage")
            order.push_back(call.function);
    EXPECT_EQ(order, (std::vector<std::string>{"CreateProcessW", "CreateProcessW", "MsiProcessMessage",
                                               "CreateProcessW", "CreateProcessW", "CreateProcessW",
                                               "CreateProcessW"}));
}

// The three command shapes, as the tool reads them; <path>, <ns> and <users>
// stand for the target path and the two account names.
constexpr const char16_t* TwoAccounts = u"cacls \"<path>\" /E /P \"<ns>\":F IIS_IUSRS:F";
constexpr const char16_t* ThreeAccounts = u"cacls \"<path>\" /E /P \"<ns>\":F \"<users>\":F IIS_IUSRS:F";
constexpr const char16_t* Recursive = u"cacls \"<path>\" /E /T /P \"<ns>\":F \"<users>\":F IIS_IUSRS:F";

sim::Text Fill(sim::Text shape, const sim::Text& path, const sim::Text& ns, const sim::Text& users) {
    for (const auto& [mark, value] : {std::pair<sim::Text, const sim::Text*>{u"<path>", &path},
                                      {u"<ns>", &ns}, {u"<users>", &users}}) {
        const auto at = shape.find(mark);
        if (at != sim::Text::npos) shape.replace(at, mark.size(), *value);
    }
    return shape;
}

struct SecurityCase {
    const char* name;
    sim::Text data;
    sim::Text is64Bit;
    sim::Text users;
    sim::Text networkService;
    std::array<sim::Text, 6> targets;
    friend void PrintTo(const SecurityCase& c, std::ostream* out) { *out << c.name; }
};

class SecurityTargetTest : public FileSystemPermissionsTest,
                           public ::testing::WithParamInterface<SecurityCase> {};

TEST_P(SecurityTargetTest, RunsEachShapeOnItsTarget) {
    const auto& c = GetParam();
    Inputs(c.data, c.is64Bit, c.users, c.networkService);
    EXPECT_EQ(ConfigureSecurity(sim::Windows::Session), 0u);

    const std::array<const char16_t*, 6> shapes = {TwoAccounts, ThreeAccounts, Recursive,
                                                   ThreeAccounts, ThreeAccounts, TwoAccounts};
    Lines expected;
    for (std::size_t i = 0; i < shapes.size(); ++i)
        expected.push_back(Fill(shapes[i], c.targets[i], c.networkService, c.users));
    EXPECT_EQ(StartedCommandLines(), expected);
    EXPECT_EQ(LogLines(), Lines{expected[1]});
    EXPECT_EQ(windows.messages.size(), 1u);
}

const sim::Text Temp32 = u"C:\\Windows\\Microsoft.NET\\Framework\\v4.0.30319\\Temporary ASP.NET Files";
const sim::Text Temp64 = u"C:\\Windows\\Microsoft.NET\\Framework64\\v4.0.30319\\Temporary ASP.NET Files";

SecurityCase AppUnder(const char* name, sim::Text data, sim::Text is64Bit, const sim::Text& temporary,
                      sim::Text firstTarget = u"D:\\App") {
    return {name, std::move(data), std::move(is64Bit), u"Users", u"NETWORK SERVICE",
            {std::move(firstTarget), u"D:\\App\\web.config", u"D:\\App\\Web Files", u"D:\\App\\Web Files\\Config",
             u"D:\\App\\Web Files\\Config\\ServiceConfig.xml", temporary}};
}

SecurityCase Names(const char* name, sim::Text users, sim::Text networkService) {
    SecurityCase c = AppUnder(name, u"D:\\App|C:\\Windows", u"0", Temp32);
    c.users = std::move(users);
    c.networkService = std::move(networkService);
    return c;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, SecurityTargetTest,
    ::testing::Values(
        AppUnder("Not64Bit", u"D:\\App|C:\\Windows", u"0", Temp32),
        AppUnder("Is64Bit", u"D:\\App|C:\\Windows", u"1", Temp64),
        AppUnder("BitnessEmpty", u"D:\\App|C:\\Windows", u"", Temp32),
        AppUnder("BitnessLeadingBlank", u"D:\\App|C:\\Windows", u" 1", Temp32),
        AppUnder("BitnessTrue", u"D:\\App|C:\\Windows", u"true", Temp32),
        AppUnder("WindowsFolderWithBackslash", u"D:\\App|C:\\Windows\\", u"1", Temp64),
        // The first target is the field as it stands, its trailing backslash
        // doubled so that the closing quotation mark stays one; the others are joined.
        AppUnder("InstallFolderWithBackslash", u"D:\\App\\|C:\\Windows", u"0", Temp32, u"D:\\App\\\\"),
        SecurityCase{"InstallFolderIsADriveRoot", u"D:\\|C:\\Windows", u"0", u"Users", u"NETWORK SERVICE",
                     {u"D:\\\\", u"D:\\web.config", u"D:\\Web Files", u"D:\\Web Files\\Config",
                      u"D:\\Web Files\\Config\\ServiceConfig.xml", Temp32}},
        AppUnder("FieldsTrimmedFurtherFieldsIgnored", u"  D:\\App \t| C:\\Windows |\"x\"|y", u"0", Temp32),
        SecurityCase{"EmptyData", u"", u"0", u"Users", u"NETWORK SERVICE",
                     {u"", u"\\web.config", u"\\Web Files", u"\\Web Files\\Config",
                      u"\\Web Files\\Config\\ServiceConfig.xml",
                      u"\\Microsoft.NET\\Framework\\v4.0.30319\\Temporary ASP.NET Files"}},
        Names("EmptyUsers", u"", u"NETWORK SERVICE"),
        Names("EmptyNetworkService", u"Users", u""),
        Names("PercentSignsStayPlain", u"%s%d%%", u"%1 %s"),
        Names("BracketsStayPlain", u"[Users]", u"[ProductName]"),
        Names("LocalizedNames", u"Utilisateurs", u"SERVICE R\u00C9SEAU")));

TEST_F(FileSystemPermissionsTest, CommandsThatCannotStartLeaveTheOthersToRun) {
    Inputs(u"D:\\App|C:\\Windows", u"0", u"Users", u"NETWORK SERVICE");
    int attempt = 0;
    windows.startResult = [&](const sim::ProcessStart&) { return ++attempt == 1 ? 2u : 0u; };
    EXPECT_EQ(ConfigureSecurity(sim::Windows::Session), 0u);
    EXPECT_EQ(AttemptedCommandLines().size(), 6u);
    EXPECT_EQ(windows.starts.size(), 5u);
    EXPECT_EQ(LogLines().size(), 1u);
    EXPECT_EQ(windows.messages.size(), 1u) << "a failed start is not reported";
}

TEST_F(FileSystemPermissionsTest, NoToolAtAllStillSucceeds) {
    Inputs(u"D:\\App|C:\\Windows", u"0", u"Users", u"NETWORK SERVICE");
    windows.startResult = [](const sim::ProcessStart&) { return 2u; };
    EXPECT_EQ(ConfigureSecurity(sim::Windows::Session), 0u);
    EXPECT_EQ(AttemptedCommandLines().size(), 6u);
    EXPECT_EQ(LogLines().size(), 1u);
}

struct SecurityError {
    const char* name;
    std::function<void(sim::Windows&)> prepare;
    const char16_t* number;
    friend void PrintTo(const SecurityError& c, std::ostream* out) { *out << c.name; }
};

class SecurityErrorTest : public FileSystemPermissionsTest,
                          public ::testing::WithParamInterface<SecurityError> {};

TEST_P(SecurityErrorTest, ReportsRunsNothingAndFails) {
    Inputs(u"D:\\App|C:\\Windows", u"1", u"Users", u"NETWORK SERVICE");
    GetParam().prepare(windows);
    EXPECT_EQ(ConfigureSecurity(sim::Windows::Session), 1603u);
    EXPECT_EQ(windows.CallCount("CreateProcessW"), 0u);
    EXPECT_TRUE(LogLines().empty());
    ASSERT_EQ(windows.messages.size(), 1u);
    EXPECT_EQ(windows.messages[0].type, win::InstallMessageError | win::MbIconError);
    EXPECT_EQ(windows.messages[0].shown,
              u"Error in function ConfigureSecurity: " + sim::Text(GetParam().number));
}

auto FailingRead(const char16_t* name, std::uint32_t error) {
    return [=](sim::Windows& w) { w.failingPropertyReads[name] = error; };
}
auto Set(const char16_t* name, const char16_t* value) {
    return [=](sim::Windows& w) { w.properties[name] = value; };
}

INSTANTIATE_TEST_SUITE_P(
    Errors, SecurityErrorTest,
    ::testing::Values(
        SecurityError{"DataUnreadable", FailingRead(u"CustomActionData", 6), u"6"},
        SecurityError{"BitnessUnreadable", FailingRead(u"IS_OS_64BIT", 6), u"6"},
        SecurityError{"UsersUnreadable", FailingRead(u"USERS", 1615), u"1615"},
        SecurityError{"NetworkServiceUnreadable", FailingRead(u"NETWORKSERVICE", 5), u"5"},
        SecurityError{"QuotationMarkInInstallFolder",
                      Set(u"CustomActionData", u"C:\\App\" /T /G Everyone:F \"C:\\Windows|C:\\Windows"), u"123"},
        SecurityError{"QuotationMarkInWindowsFolder", Set(u"CustomActionData", u"D:\\App|C:\\Win\"dows"), u"123"},
        SecurityError{"QuotationMarkInUsers", Set(u"USERS", u"Users\":F Everyone:F \""), u"123"},
        SecurityError{"QuotationMarkInNetworkService", Set(u"NETWORKSERVICE", u"\""), u"123"}));

}  // namespace
