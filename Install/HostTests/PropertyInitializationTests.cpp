// InitializeProperties in both modes, with the well-known account names.
#include "Actions.h"
#include "SimulatedTest.h"

#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace {

using Properties = std::vector<std::pair<std::u16string, std::u16string>>;
constexpr const char16_t* ProductCode = u"{8D3E2C1A-4B5F-4A6E-9C7D-1E2F3A4B5C6D}";
constexpr std::uint32_t ErrorWithIcon = 0x01000010;

const std::vector<std::u16string> InstallationWrites = {
    u"INTERNETEXPLORER", u"REGIIS", u"REGIIS64", u"COMPILE_APP", u"COMPILE_APP_64",
    u"QVREPOSITORYNAME", u"QVREPOSITORYPATH", u"CREATOROWNER", u"USERS", u"ADMINISTRATORS",
    u"NETWORKSERVICE"};
const std::vector<std::u16string> RemovalWrites = {u"INSTALL_PATH", u"GoConfig"};

class InitializePropertiesTest : public SimulatedTest {
protected:
    void SetUp() override {
        // The folders as Windows Installer gives them, with a trailing backslash.
        windows.properties[u"ProgramFilesFolder"] = u"C:\\Program Files (x86)\\";
        windows.properties[u"WindowsFolder"] = u"C:\\Windows\\";
        windows.properties[u"WindowsVolume"] = u"C:\\";
        windows.properties[u"ProductCode"] = ProductCode;
    }
    std::uint32_t Run() { return InitializeProperties(sim::Windows::Session); }
    void ExpectProperties(const Properties& expected) {
        for (const auto& [name, value] : expected)
            EXPECT_EQ(Property(name), value) << sim::Narrow(name);
    }
};

// --- Mode: only the exact upper-case word removes ---

struct ModeCase {
    const char* name;
    std::optional<std::u16string> remove;  // none: REMOVE not set
    bool removal;
    friend void PrintTo(const ModeCase& c, std::ostream* out) { *out << c.name; }
};

class ModeTest : public InitializePropertiesTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ModeTest, WritesTheModesPropertiesInOrder) {
    if (GetParam().remove) windows.properties[u"REMOVE"] = *GetParam().remove;
    windows.installLocations[ProductCode] = u"C:\\Brennowick\\";
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(WrittenNames(), GetParam().removal ? RemovalWrites : InstallationWrites);
    EXPECT_EQ(windows.CallCount("MsiGetProductInfoW"), GetParam().removal ? 1u : 0u);
    EXPECT_EQ(windows.CallCount("LookupAccountSidW"), GetParam().removal ? 0u : 4u);
    EXPECT_EQ(windows.messages.size(), GetParam().removal ? 1u : 0u) << "one log line on removal only";
}

INSTANTIATE_TEST_SUITE_P(
    RemoveValues, ModeTest,
    ::testing::Values(ModeCase{"All", u"ALL", true},
                      ModeCase{"NotSet", std::nullopt, false},
                      ModeCase{"LowerCase", u"all", false},
                      ModeCase{"MixedCase", u"All", false},
                      ModeCase{"LeadingBlank", u" ALL", false},
                      ModeCase{"TrailingBlank", u"ALL ", false},
                      ModeCase{"FeatureListStartingWithAll", u"ALL,Docs", false},
                      ModeCase{"Features", u"Docs,Web", false},
                      ModeCase{"Longer", u"ALLX", false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Installation mode: the values ---

struct InstallationCase {
    const char* name;
    std::function<void(sim::Windows&)> prepare;
    Properties expected;
    friend void PrintTo(const InstallationCase& c, std::ostream* out) { *out << c.name; }
};

class InstallationTest : public InitializePropertiesTest,
                         public ::testing::WithParamInterface<InstallationCase> {};

TEST_P(InstallationTest, PublishesPathsRepositoryAndAccountNames) {
    GetParam().prepare(windows);
    EXPECT_EQ(Run(), 0u);
    ExpectProperties(GetParam().expected);
    EXPECT_EQ(WrittenNames(), InstallationWrites);
}

const Properties WindowsPaths = {
    {u"INTERNETEXPLORER", u"C:\\Program Files (x86)\\Internet Explorer\\iexplore.exe"},
    {u"REGIIS", u"C:\\Windows\\Microsoft.NET\\Framework\\v4.0.30319\\aspnet_regiis.exe"},
    {u"REGIIS64", u"C:\\Windows\\Microsoft.NET\\Framework64\\v4.0.30319\\aspnet_regiis.exe"},
    {u"COMPILE_APP", u"C:\\Windows\\Microsoft.NET\\Framework\\v4.0.30319\\aspnet_compiler.exe"},
    {u"COMPILE_APP_64", u"C:\\Windows\\Microsoft.NET\\Framework64\\v4.0.30319\\aspnet_compiler.exe"},
    {u"QVREPOSITORYNAME", u"MyRepository"},
    {u"QVREPOSITORYPATH", u"C:\\Repositories\\MyRepository"},
    {u"CREATOROWNER", u"CREATOR OWNER"},
    {u"USERS", u"Users"},
    {u"ADMINISTRATORS", u"Administrators"},
    {u"NETWORKSERVICE", u"NETWORK SERVICE"}};

INSTANTIATE_TEST_SUITE_P(
    Systems, InstallationTest,
    ::testing::Values(
        InstallationCase{"EnglishWithTrailingBackslashes", [](sim::Windows&) {}, WindowsPaths},
        InstallationCase{"BasesWithoutBackslash", [](sim::Windows& w) {
            w.properties[u"ProgramFilesFolder"] = u"C:\\Program Files (x86)";
            w.properties[u"WindowsFolder"] = u"C:\\Windows";
            w.properties[u"WindowsVolume"] = u"C:";
        }, WindowsPaths},
        InstallationCase{"BasesNotSet", [](sim::Windows& w) { w.properties.clear(); },
            {{u"INTERNETEXPLORER", u"\\Internet Explorer\\iexplore.exe"},
             {u"REGIIS", u"\\Microsoft.NET\\Framework\\v4.0.30319\\aspnet_regiis.exe"},
             {u"QVREPOSITORYPATH", u"\\Repositories\\MyRepository"}}},
        InstallationCase{"French", [](sim::Windows& w) { w.uiLanguage = 12; },
            {{u"QVREPOSITORYNAME", u"MiR\u00E9f\u00E9rentiel"},
             {u"QVREPOSITORYPATH", u"C:\\R\u00E9f\u00E9rentiels\\MiR\u00E9f\u00E9rentiel"}}},
        InstallationCase{"Italian", [](sim::Windows& w) { w.uiLanguage = 0x0410; },
            {{u"QVREPOSITORYNAME", u"MyRepository"}, {u"QVREPOSITORYPATH", u"C:\\Archivi\\MyRepository"}}},
        InstallationCase{"ChineseSimplifiedOnDrive", [](sim::Windows& w) {
            w.uiLanguage = 2052;
            w.properties[u"WindowsVolume"] = u"D:\\";
        }, {{u"QVREPOSITORYNAME", u"\u6211\u7684\u6587\u6863\u5E93"},
            {u"QVREPOSITORYPATH", u"D:\\\u6587\u6863\u5E93\\\u6211\u7684\u6587\u6863\u5E93"}}},
        InstallationCase{"StringsMissing", [](sim::Windows& w) { w.stringBlocks.clear(); },
            {{u"QVREPOSITORYNAME", u""}, {u"QVREPOSITORYPATH", u"C:\\"}}},
        InstallationCase{"GermanAccountNames", [](sim::Windows& w) {
            w.accounts["S-1-3-0"].name = u"ERSTELLER-BESITZER";
            w.accounts["S-1-5-32-545"].name = u"Benutzer";
            w.accounts["S-1-5-32-544"].name = u"Administratoren";
            w.accounts["S-1-5-20"].name = u"NETZWERKDIENST";
        }, {{u"CREATOROWNER", u"ERSTELLER-BESITZER"}, {u"USERS", u"Benutzer"},
            {u"ADMINISTRATORS", u"Administratoren"}, {u"NETWORKSERVICE", u"NETZWERKDIENST"}}},
        InstallationCase{"LongestNameThatFits", [](sim::Windows& w) {
            w.accounts["S-1-5-32-545"].name = std::u16string(259, u'u');
        }, {{u"USERS", std::u16string(259, u'u')}, {u"NETWORKSERVICE", u"NETWORK SERVICE"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InitializePropertiesTest, EveryLookupStartsWithTheWholeBuffers) {
    Run();
    ASSERT_EQ(windows.allocatedSids.size(), 4u);
    EXPECT_EQ(windows.allocatedSids[0].ToString(), "S-1-3-0");
    EXPECT_EQ(windows.allocatedSids[1].ToString(), "S-1-5-32-545");
    EXPECT_EQ(windows.allocatedSids[2].ToString(), "S-1-5-32-544");
    EXPECT_EQ(windows.allocatedSids[3].ToString(), "S-1-5-20");
    EXPECT_EQ(windows.CallCount("FreeSid"), 4u);
}

// --- A property that cannot be read ends the action ---

struct ReadFailure {
    const char* name;
    std::optional<std::u16string> remove;
    const char16_t* failing;
    std::vector<std::u16string> written;
    friend void PrintTo(const ReadFailure& c, std::ostream* out) { *out << c.name; }
};

class ReadFailureTest : public InitializePropertiesTest,
                        public ::testing::WithParamInterface<ReadFailure> {};

TEST_P(ReadFailureTest, ReportsTheReadErrorAndKeepsWhatWasWritten) {
    if (GetParam().remove) windows.properties[u"REMOVE"] = *GetParam().remove;
    windows.failingPropertyReads[GetParam().failing] = 1615;
    EXPECT_EQ(Run(), 1603u);
    EXPECT_EQ(WrittenNames(), GetParam().written);
    ASSERT_EQ(windows.messages.size(), 1u);
    EXPECT_EQ(windows.messages[0].type, ErrorWithIcon);
    EXPECT_EQ(windows.messages[0].shown, u"Error in function InitializeProperties: 1615");
}

INSTANTIATE_TEST_SUITE_P(
    Reads, ReadFailureTest,
    ::testing::Values(
        ReadFailure{"Remove", std::nullopt, u"REMOVE", {}},
        ReadFailure{"ProgramFilesFolder", std::nullopt, u"ProgramFilesFolder", {}},
        ReadFailure{"WindowsFolder", std::nullopt, u"WindowsFolder", {u"INTERNETEXPLORER"}},
        ReadFailure{"WindowsVolume", std::nullopt, u"WindowsVolume",
                    {u"INTERNETEXPLORER", u"REGIIS", u"REGIIS64", u"COMPILE_APP", u"COMPILE_APP_64",
                     u"QVREPOSITORYNAME"}},
        ReadFailure{"ProductCode", u"ALL", u"ProductCode", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- An account that cannot be looked up ends the lookups ---

struct AccountFailure {
    const char* name;
    std::function<void(sim::Windows&)> prepare;
    std::uint32_t reported;
    std::size_t namesWritten;  // accounts written before the failure
    friend void PrintTo(const AccountFailure& c, std::ostream* out) { *out << c.name; }
};

class AccountFailureTest : public InitializePropertiesTest,
                           public ::testing::WithParamInterface<AccountFailure> {};

TEST_P(AccountFailureTest, ReportsLookupUsersOnceAndKeepsTheNamesBefore) {
    GetParam().prepare(windows);
    EXPECT_EQ(Run(), 1603u);
    const std::vector<std::u16string> written(InstallationWrites.begin(),
                                              InstallationWrites.begin() + 7 + GetParam().namesWritten);
    EXPECT_EQ(WrittenNames(), written);
    ASSERT_EQ(windows.messages.size(), 1u);
    EXPECT_EQ(windows.messages[0].type, ErrorWithIcon);
    EXPECT_EQ(windows.messages[0].shown,
              u"Error in function Lookup Users: " +
                  ca::DecimalText(static_cast<std::int32_t>(GetParam().reported)));
}

auto LookupFails(const char* sid, std::uint32_t error) {
    return [sid, error](sim::Windows& w) { w.accounts[sid].failWith = error; };
}

INSTANTIATE_TEST_SUITE_P(
    Failures, AccountFailureTest,
    ::testing::Values(
        AccountFailure{"FirstLookup", LookupFails("S-1-3-0", 1332), 1332, 0},
        AccountFailure{"SecondLookup", LookupFails("S-1-5-32-545", 5), 5, 1},
        AccountFailure{"ThirdLookup", LookupFails("S-1-5-32-544", 1332), 1332, 2},
        AccountFailure{"FourthLookup", LookupFails("S-1-5-20", 1789), 1789, 3},
        AccountFailure{"ReleaseSetsAnotherError", [](sim::Windows& w) {
            w.accounts["S-1-5-32-544"].failWith = 1332;
            w.freeSidSetsLastError = 87;
        }, 1332, 2},
        AccountFailure{"UnknownAccount", [](sim::Windows& w) { w.accounts.erase("S-1-5-20"); }, 1332, 3},
        AccountFailure{"NameTooLong", [](sim::Windows& w) {
            w.accounts["S-1-5-32-545"].name = std::u16string(260, u'u');
        }, 122, 1},
        AccountFailure{"DomainTooLong", [](sim::Windows& w) {
            w.accounts["S-1-5-32-544"].domain = std::u16string(300, u'd');
        }, 122, 2},
        AccountFailure{"NoSid", [](sim::Windows& w) { w.failSidAllocationWith = 8; }, 8, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The n-th call of `function` in an undisturbed run, counted over all calls.
std::size_t CallNumberOf(const std::map<sim::Text, sim::Text>& properties,
                         const std::string& function, std::size_t occurrence) {
    sim::Windows probe;
    probe.properties = properties;
    InitializeProperties(sim::Windows::Session);
    for (std::size_t i = 0, seen = 0; i < probe.journal.size(); ++i)
        if (probe.journal[i].function == function && ++seen == occurrence) return i + 1;
    return 0;
}

TEST_F(InitializePropertiesTest, ThirdSidThatCannotBeBuiltEndsTheLookups) {
    windows.failCallNumber = CallNumberOf(windows.properties, "AllocateAndInitializeSid", 3);
    windows.injectedError = 1337;
    ASSERT_NE(windows.failCallNumber, 0u);
    EXPECT_EQ(Run(), 1603u);
    EXPECT_EQ(WrittenNames(), std::vector<std::u16string>(InstallationWrites.begin(),
                                                          InstallationWrites.begin() + 9));
    ASSERT_EQ(windows.messages.size(), 1u);
    EXPECT_EQ(windows.messages[0].shown, u"Error in function Lookup Users: 1337");
    EXPECT_EQ(windows.CallCount("FreeSid"), 2u);
}

// --- Removal mode: the recorded install location ---

struct RemovalCase {
    const char* name;
    std::function<void(sim::Windows&)> prepare;
    std::u16string installPath;
    std::u16string logLine;
    friend void PrintTo(const RemovalCase& c, std::ostream* out) { *out << c.name; }
};

class RemovalTest : public InitializePropertiesTest, public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(RemovalTest, PublishesTheLocationLogsOneLineAndSucceeds) {
    windows.properties[u"REMOVE"] = u"ALL";
    windows.properties[u"INSTALL_PATH"] = u"stale";
    GetParam().prepare(windows);
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(WrittenNames(), RemovalWrites);
    EXPECT_EQ(Property(u"INSTALL_PATH"), GetParam().installPath);
    EXPECT_EQ(Property(u"GoConfig"), u"0");
    ASSERT_EQ(windows.messages.size(), 1u);
    EXPECT_EQ(windows.messages[0].type, win::InstallMessageInfo);
    EXPECT_EQ(windows.messages[0].shown, GetParam().logLine);
}

auto Location(std::u16string location) {
    return [location](sim::Windows& w) { w.installLocations[ProductCode] = location; };
}
const std::u16string Long260 = u"C:\\" + std::u16string(257, u'L');
const std::u16string Long1000 = u"C:\\" + std::u16string(997, u'M');

INSTANTIATE_TEST_SUITE_P(
    Locations, RemovalTest,
    ::testing::Values(
        RemovalCase{"Recorded", Location(u"C:\\Program Files\\Brennowick\\"),
                    u"C:\\Program Files\\Brennowick\\",
                    u"INSTALLPROPERTY_INSTALLLOCATION = C:\\Program Files\\Brennowick\\"},
        RemovalCase{"RecordedEmpty", Location(u""), u"", u"INSTALLPROPERTY_INSTALLLOCATION = "},
        RemovalCase{"PercentAndBrackets", Location(u"C:\\100%s [x]"), u"C:\\100%s [x]",
                    u"INSTALLPROPERTY_INSTALLLOCATION = C:\\100%s [x]"},
        RemovalCase{"LongestThatFits", Location(std::u16string(259, u'F')), std::u16string(259, u'F'),
                    u"INSTALLPROPERTY_INSTALLLOCATION = " + std::u16string(259, u'F')},
        // The location does not fit 260 characters: asked again with its size.
        RemovalCase{"Long260", Location(Long260), Long260, u"INSTALLPROPERTY_INSTALLLOCATION = " + Long260},
        RemovalCase{"Long1000", Location(Long1000), Long1000, u"INSTALLPROPERTY_INSTALLLOCATION = " + Long1000},
        RemovalCase{"ProductNotInstalled", [](sim::Windows&) {}, u"",
                    u"Getting INSTALLPROPERTY_INSTALLLOCATION returned value: 1605"},
        RemovalCase{"MalformedProductCode", [](sim::Windows& w) { w.properties[u"ProductCode"] = u"{bad}"; },
                    u"", u"Getting INSTALLPROPERTY_INSTALLLOCATION returned value: 87"},
        RemovalCase{"NoProductCode", [](sim::Windows& w) { w.properties.erase(u"ProductCode"); },
                    u"", u"Getting INSTALLPROPERTY_INSTALLLOCATION returned value: 87"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InitializePropertiesTest, LongLocationIsAskedForAgainWithRoomForAllOfIt) {
    windows.properties[u"REMOVE"] = u"ALL";
    windows.installLocations[ProductCode] = Long1000;
    Run();
    EXPECT_EQ(windows.CallCount("MsiGetProductInfoW"), 2u);
}

TEST_F(InitializePropertiesTest, FailingQueryIsNotAskedAgain) {
    windows.properties[u"REMOVE"] = u"ALL";
    Run();
    EXPECT_EQ(windows.CallCount("MsiGetProductInfoW"), 1u);
}

}  // namespace
