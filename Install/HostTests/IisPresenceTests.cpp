// FindIIS, CheckIfIIS7 and the registry string reader.
#include "Actions.h"
#include "RegistryReaders.h"
#include "SimulatedTest.h"

#include <functional>

namespace {

using sim::View;
constexpr const char16_t* InetStp = u"SOFTWARE\\Microsoft\\InetStp";

std::vector<std::uint8_t> Utf16Bytes(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

struct RegistryState {
    const char* name;
    std::function<void(sim::Windows&)> prepare;
    const char16_t* iisFound;
    const char16_t* iis7Found;
    friend void PrintTo(const RegistryState& state, std::ostream* out) { *out << state.name; }
};

class IisPresenceTest : public SimulatedTest, public ::testing::WithParamInterface<RegistryState> {};

TEST_P(IisPresenceTest, PublishesWhatTheDefaultViewHolds) {
    GetParam().prepare(windows);
    EXPECT_EQ(FindIIS(sim::Windows::Session), 0u);
    EXPECT_EQ(CheckIfIIS7(sim::Windows::Session), 0u);
    EXPECT_EQ(Property(u"IIS_FOUND"), GetParam().iisFound);
    EXPECT_EQ(Property(u"IIS7_FOUND"), GetParam().iis7Found);
    EXPECT_TRUE(windows.messages.empty()) << "detection actions write nothing";
    EXPECT_EQ(windows.CallCount("RegOpenKeyExW"), 0u) << "only the default view is read";
}

auto Version(const std::u16string& text) {
    return [text](sim::Windows& w) { w.SetString(View::Registry32, InetStp, u"VersionString", text); };
}

INSTANTIATE_TEST_SUITE_P(
    States, IisPresenceTest,
    ::testing::Values(
        RegistryState{"NoKey", [](sim::Windows&) {}, u"0", u"0"},
        RegistryState{"KeyOnlyIn64BitView", [](sim::Windows& w) { w.CreateKey(View::Registry64, InetStp); }, u"0", u"0"},
        RegistryState{"KeyWithoutValues", [](sim::Windows& w) { w.CreateKey(View::Registry32, InetStp); }, u"1", u"0"},
        RegistryState{"SubkeyOnly", [](sim::Windows& w) { w.CreateKey(View::Registry32, u"SOFTWARE\\Microsoft\\InetStp\\Components"); }, u"1", u"0"},
        RegistryState{"Version70", Version(u"Version 7.0"), u"1", u"1"},
        RegistryState{"Version75", Version(u"Version 7.5"), u"1", u"1"},
        RegistryState{"TrailingBlank", Version(u"Version 7.5 "), u"1", u"0"},
        RegistryState{"LowerCase", Version(u"version 7.0"), u"1", u"0"},
        RegistryState{"NoMinor", Version(u"Version 7"), u"1", u"0"},
        RegistryState{"Version60", Version(u"Version 6.0"), u"1", u"0"},
        RegistryState{"Version85", Version(u"Version 8.5"), u"1", u"0"},
        RegistryState{"Version100", Version(u"Version 10.0"), u"1", u"0"},
        RegistryState{"Dword", [](sim::Windows& w) { w.SetDword(View::Registry32, InetStp, u"VersionString", 7); }, u"1", u"0"},
        RegistryState{"ExpandWithVariable", [](sim::Windows& w) {
            w.environment[u"IISVER"] = u"7.5";
            w.SetString(View::Registry32, InetStp, u"VersionString", u"Version %IisVer%", win::RegExpandSz);
        }, u"1", u"1"},
        RegistryState{"EmbeddedNul", [](sim::Windows& w) {
            w.SetValue(View::Registry32, InetStp, u"VersionString", win::RegSz,
                       Utf16Bytes(std::u16string(u"Version 7.5\0tail\0", 17)));
        }, u"1", u"1"},
        RegistryState{"NoTerminatingNul", [](sim::Windows& w) {
            w.SetValue(View::Registry32, InetStp, u"VersionString", win::RegSz, Utf16Bytes(u"Version 7.0"));
        }, u"1", u"1"},
        RegistryState{"OddByteCount", [](sim::Windows& w) {
            auto bytes = Utf16Bytes(u"Version 7.0");
            bytes.push_back(0x41);
            w.SetValue(View::Registry32, InetStp, u"VersionString", win::RegSz, bytes);
        }, u"1", u"1"},
        RegistryState{"MultiString", [](sim::Windows& w) {
            w.SetValue(View::Registry32, InetStp, u"VersionString", win::RegMultiSz,
                       Utf16Bytes(std::u16string(u"Version 7.5\0\0", 13)));
        }, u"1", u"0"},
        RegistryState{"VersionOnlyIn64BitView", [](sim::Windows& w) {
            w.CreateKey(View::Registry32, InetStp);
            w.SetString(View::Registry64, InetStp, u"VersionString", u"Version 7.5");
        }, u"1", u"0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimulatedTest, FindIisTurnsAnyOpenFailureIntoZero) {
    windows.CreateKey(View::Registry32, InetStp);
    windows.failCallNumber = 1;
    windows.injectedError = 5;  // access denied
    EXPECT_EQ(FindIIS(sim::Windows::Session), 0u);
    EXPECT_EQ(Property(u"IIS_FOUND"), u"0");
}

TEST_F(SimulatedTest, DetectionActionsIgnoreAFailedPropertyWrite) {
    EXPECT_EQ(FindIIS(0x4321), 0u);
    EXPECT_EQ(CheckIfIIS7(0x4321), 0u);
    EXPECT_TRUE(windows.messages.empty());
}

struct ReaderCase {
    const char* name;
    std::function<void(sim::Windows&)> prepare;
    std::int32_t result;
    std::u16string text;
    friend void PrintTo(const ReaderCase& c, std::ostream* out) { *out << c.name; }
};

class ReadRegistryStringTest : public SimulatedTest, public ::testing::WithParamInterface<ReaderCase> {};

TEST_P(ReadRegistryStringTest, ReturnsTheStepsResultAndTheText) {
    GetParam().prepare(windows);
    std::u16string out = u"stale";
    EXPECT_EQ(ca::ReadRegistryString(win::HKeyLocalMachine, InetStp, u"VersionString", out),
              GetParam().result);
    EXPECT_EQ(out, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadRegistryStringTest,
    ::testing::Values(
        ReaderCase{"MissingKey", [](sim::Windows&) {}, 2, u""},
        ReaderCase{"MissingValue", [](sim::Windows& w) { w.CreateKey(View::Registry32, InetStp); }, 2, u""},
        ReaderCase{"String", Version(u"Version 7.5"), 0, u"Version 7.5"},
        ReaderCase{"EmptyString", Version(u""), 0, u""},
        ReaderCase{"ZeroBytes", [](sim::Windows& w) { w.SetValue(View::Registry32, InetStp, u"VersionString", win::RegSz, {}); }, 0, u""},
        ReaderCase{"Dword", [](sim::Windows& w) { w.SetDword(View::Registry32, InetStp, u"VersionString", 1); }, 1630, u""},
        ReaderCase{"Binary", [](sim::Windows& w) { w.SetValue(View::Registry32, InetStp, u"VersionString", win::RegBinary, {0x41, 0}); }, 1630, u""},
        ReaderCase{"ExpandUnknownVariable", [](sim::Windows& w) {
            w.SetString(View::Registry32, InetStp, u"VersionString", u"%NOPE%\\x", win::RegExpandSz);
        }, 0, u"%NOPE%\\x"},
        ReaderCase{"ExpandTwoVariables", [](sim::Windows& w) {
            w.environment[u"SystemRoot"] = u"C:\\Windows";
            w.environment[u"V"] = u"7";
            w.SetString(View::Registry32, InetStp, u"VersionString", u"%SystemRoot%\\v%v%", win::RegExpandSz);
        }, 0, u"C:\\Windows\\v7"},
        ReaderCase{"LongString", [](sim::Windows& w) { w.SetString(View::Registry32, InetStp, u"VersionString", std::u16string(40000, u'v')); }, 0, std::u16string(40000, u'v')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimulatedTest, ReadRegistryStringReportsAFailedExpansion) {
    windows.SetString(View::Registry32, InetStp, u"VersionString", u"%A%", win::RegExpandSz);
    windows.failCallNumber = 5;  // open, size, read, close, first expansion
    windows.injectedError = 8;
    std::u16string out;
    EXPECT_EQ(ca::ReadRegistryString(win::HKeyLocalMachine, InetStp, u"VersionString", out), 8);
    ASSERT_EQ(windows.journal[4].function, "ExpandEnvironmentStringsW");
}

TEST_F(SimulatedTest, ReadRegistryStringClosesTheKeyWhenTheSecondReadFails) {
    windows.SetString(View::Registry32, InetStp, u"VersionString", u"Version 7.5");
    windows.failCallNumber = 3;  // open, size, read
    windows.injectedError = 234;
    std::u16string out;
    EXPECT_EQ(ca::ReadRegistryString(win::HKeyLocalMachine, InetStp, u"VersionString", out), 234);
    EXPECT_EQ(windows.CallCount("RegCloseKey"), 1u);
}

}  // namespace
