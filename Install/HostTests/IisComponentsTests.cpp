// CheckIISComponents, CheckIIS7CompatibilityComponents and the DWORD readers.
#include "Actions.h"
#include "RegistryReaders.h"
#include "SimulatedTest.h"

#include <functional>
#include <optional>

namespace {

using sim::View;
constexpr const char16_t* Subcomponents =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\OC Manager\\Subcomponents";
constexpr const char16_t* AspNet20 = u"SOFTWARE\\Microsoft\\ASP.NET\\2.0.50727.0";
constexpr const char16_t* Components = u"SOFTWARE\\Microsoft\\InetStp\\Components";

using Fixture = std::function<void(sim::Windows&)>;

Fixture Both(const char16_t* key, const char16_t* name, std::uint32_t value) {
    return [=](sim::Windows& w) { w.SetDwordBoth(key, name, value); };
}
Fixture In(View view, const char16_t* key, const char16_t* name, std::uint32_t value) {
    return [=](sim::Windows& w) { w.SetDword(view, key, name, value); };
}
Fixture Raw(View view, const char16_t* key, const char16_t* name, std::uint32_t type,
            std::vector<std::uint8_t> bytes) {
    return [=](sim::Windows& w) { w.SetValue(view, key, name, type, bytes); };
}
Fixture AspNetVersion() {
    return [](sim::Windows& w) { w.SetString(View::Registry32, AspNet20, u"AssemblyVersion", u"2.0.0.0"); };
}

struct ComponentsCase {
    const char* name;
    std::optional<std::u16string> is64Bit;  // nullopt: the property is not set
    std::vector<Fixture> registry;
    const char16_t* lc2AspNet;
    friend void PrintTo(const ComponentsCase& c, std::ostream* out) { *out << c.name; }
};

class CheckIisComponentsTest : public SimulatedTest,
                               public ::testing::WithParamInterface<ComponentsCase> {};

TEST_P(CheckIisComponentsTest, PublishesWhetherBothRecordsMatchAndAspNetIsRegistered) {
    if (GetParam().is64Bit) windows.properties[u"IS_OS_64BIT"] = *GetParam().is64Bit;
    for (const auto& prepare : GetParam().registry) prepare(windows);
    EXPECT_EQ(CheckIISComponents(sim::Windows::Session), 0u);
    EXPECT_EQ(WrittenNames(), std::vector<sim::Text>{u"LC2_ASPNET"});
    EXPECT_EQ(Property(u"LC2_ASPNET"), GetParam().lc2AspNet);
    EXPECT_TRUE(windows.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    States, CheckIisComponentsTest,
    ::testing::Values(
        ComponentsCase{"BothOneWithAspNet", u"0", {Both(Subcomponents, u"iis_common", 1), Both(Subcomponents, u"iis_www", 1), AspNetVersion()}, u"1"},
        ComponentsCase{"OneAndZero", u"0", {Both(Subcomponents, u"iis_common", 1), Both(Subcomponents, u"iis_www", 0), AspNetVersion()}, u"0"},
        ComponentsCase{"NoAspNetKey", u"0", {Both(Subcomponents, u"iis_common", 1), Both(Subcomponents, u"iis_www", 1)}, u"0"},
        ComponentsCase{"BothAbsentWithAspNet", u"0", {AspNetVersion()}, u"1"},
        ComponentsCase{"BothZeroWithAspNet", std::nullopt, {Both(Subcomponents, u"iis_common", 0), Both(Subcomponents, u"iis_www", 0), AspNetVersion()}, u"1"},
        ComponentsCase{"AspNetVersionAsDword", u"0", {Both(Subcomponents, u"iis_common", 1), Both(Subcomponents, u"iis_www", 1),
            [](sim::Windows& w) { w.SetDword(View::Registry32, AspNet20, u"AssemblyVersion", 2); }}, u"0"},
        ComponentsCase{"AspNetOnlyIn64BitView", u"1", {Both(Subcomponents, u"iis_common", 1), Both(Subcomponents, u"iis_www", 1),
            [](sim::Windows& w) { w.SetString(View::Registry64, AspNet20, u"AssemblyVersion", u"2.0.0.0"); }}, u"0"},
        // Only the exact text "1" reads the 64-bit view: here the views disagree.
        ComponentsCase{"ViewExactlyOne", u"1", {In(View::Registry64, Subcomponents, u"iis_common", 1), In(View::Registry64, Subcomponents, u"iis_www", 1),
            In(View::Registry32, Subcomponents, u"iis_common", 1), In(View::Registry32, Subcomponents, u"iis_www", 0), AspNetVersion()}, u"1"},
        ComponentsCase{"ViewZero", u"0", {In(View::Registry64, Subcomponents, u"iis_common", 1), In(View::Registry64, Subcomponents, u"iis_www", 1),
            In(View::Registry32, Subcomponents, u"iis_common", 1), In(View::Registry32, Subcomponents, u"iis_www", 0), AspNetVersion()}, u"0"},
        ComponentsCase{"ViewLeadingBlank", u" 1", {In(View::Registry64, Subcomponents, u"iis_common", 1), In(View::Registry64, Subcomponents, u"iis_www", 1),
            In(View::Registry32, Subcomponents, u"iis_common", 1), In(View::Registry32, Subcomponents, u"iis_www", 0), AspNetVersion()}, u"0"},
        ComponentsCase{"BinaryOneCountsAsOne", u"0", {Both(Subcomponents, u"iis_common", 1),
            Raw(View::Registry32, Subcomponents, u"iis_www", win::RegBinary, {1, 0, 0, 0}), AspNetVersion()}, u"1"}),
    [](const auto& info) { return std::string(info.param.name); });

struct CompatibilityCase {
    const char* name;
    std::optional<std::u16string> is64Bit;
    std::vector<Fixture> registry;
    const char16_t* lc1Iis6Compat;
    const char16_t* lc2AspNet;
    friend void PrintTo(const CompatibilityCase& c, std::ostream* out) { *out << c.name; }
};

class CheckIis7CompatibilityTest : public SimulatedTest,
                                   public ::testing::WithParamInterface<CompatibilityCase> {};

TEST_P(CheckIis7CompatibilityTest, PublishesCompatibilityThenAspNet) {
    if (GetParam().is64Bit) windows.properties[u"IS_OS_64BIT"] = *GetParam().is64Bit;
    for (const auto& prepare : GetParam().registry) prepare(windows);
    EXPECT_EQ(CheckIIS7CompatibilityComponents(sim::Windows::Session), 0u);
    EXPECT_EQ(WrittenNames(), (std::vector<sim::Text>{u"LC1_IIS6_COMPAT", u"LC2_ASPNET"}));
    EXPECT_EQ(Property(u"LC1_IIS6_COMPAT"), GetParam().lc1Iis6Compat);
    EXPECT_EQ(Property(u"LC2_ASPNET"), GetParam().lc2AspNet);
    EXPECT_TRUE(windows.messages.empty());
}

std::vector<Fixture> AllFour(View view, std::uint32_t metabase, std::uint32_t wmi, std::uint32_t scripts,
                             std::uint32_t aspNet) {
    return {In(view, Components, u"Metabase", metabase), In(view, Components, u"WMICompatibility", wmi),
            In(view, Components, u"LegacyScripts", scripts), In(view, Components, u"ASPNET", aspNet)};
}

INSTANTIATE_TEST_SUITE_P(
    States, CheckIis7CompatibilityTest,
    ::testing::Values(
        CompatibilityCase{"AllOne", u"0", AllFour(View::Registry32, 1, 1, 1, 1), u"1", u"1"},
        CompatibilityCase{"NoLegacyScripts", u"0", {In(View::Registry32, Components, u"Metabase", 1),
            In(View::Registry32, Components, u"WMICompatibility", 1), In(View::Registry32, Components, u"ASPNET", 1)}, u"0", u"1"},
        CompatibilityCase{"WmiZero", u"0", AllFour(View::Registry32, 1, 0, 1, 1), u"0", u"1"},
        CompatibilityCase{"AspNetTwo", u"0", AllFour(View::Registry32, 1, 1, 1, 2), u"1", u"0"},
        CompatibilityCase{"NoKey", u"1", {}, u"0", u"0"},
        CompatibilityCase{"PropertyNotSet", std::nullopt, AllFour(View::Registry32, 1, 1, 1, 1), u"1", u"1"},
        CompatibilityCase{"SixtyFourBitViewWhenOne", u"1", AllFour(View::Registry64, 1, 1, 1, 1), u"1", u"1"},
        CompatibilityCase{"ThirtyTwoBitViewWhenOne", u"1", AllFour(View::Registry32, 1, 1, 1, 1), u"0", u"0"},
        CompatibilityCase{"DefaultViewWhen01", u"01", AllFour(View::Registry64, 1, 1, 1, 1), u"0", u"0"},
        CompatibilityCase{"DefaultViewWhenEmpty", u"", AllFour(View::Registry64, 1, 1, 1, 1), u"0", u"0"},
        CompatibilityCase{"DefaultViewWhenWord", u"true", AllFour(View::Registry32, 1, 1, 1, 1), u"1", u"1"},
        CompatibilityCase{"BinaryOneCountsAsInstalled", u"0", {In(View::Registry32, Components, u"Metabase", 1),
            In(View::Registry32, Components, u"WMICompatibility", 1), In(View::Registry32, Components, u"LegacyScripts", 1),
            Raw(View::Registry32, Components, u"ASPNET", win::RegBinary, {1, 0, 0, 0})}, u"1", u"1"},
        CompatibilityCase{"StringOneIsNotOne", u"0", {In(View::Registry32, Components, u"Metabase", 1),
            In(View::Registry32, Components, u"WMICompatibility", 1), In(View::Registry32, Components, u"LegacyScripts", 1),
            [](sim::Windows& w) { w.SetString(View::Registry32, Components, u"ASPNET", u"1"); }}, u"1", u"0"},
        CompatibilityCase{"EightByteValueIsNotRead", u"0", {In(View::Registry32, Components, u"Metabase", 1),
            In(View::Registry32, Components, u"WMICompatibility", 1), In(View::Registry32, Components, u"LegacyScripts", 1),
            Raw(View::Registry32, Components, u"ASPNET", win::RegQword, {1, 0, 0, 0, 0, 0, 0, 0})}, u"1", u"0"}),
    [](const auto& info) { return std::string(info.param.name); });

struct DwordCase {
    const char* name;
    Fixture prepare;
    bool through64BitView;
    std::int32_t result;
    std::uint32_t value;  // the variable afterwards, starting from 4
    friend void PrintTo(const DwordCase& c, std::ostream* out) { *out << c.name; }
};

class ReadRegistryDwordTest : public SimulatedTest, public ::testing::WithParamInterface<DwordCase> {};

TEST_P(ReadRegistryDwordTest, StoresTheBytesAndTestsTheTypeAfterwards) {
    if (GetParam().prepare) GetParam().prepare(windows);
    std::uint32_t value = 4;
    const auto reader = GetParam().through64BitView ? &ca::ReadRegistryDword64 : &ca::ReadRegistryDword;
    EXPECT_EQ(reader(win::HKeyLocalMachine, Components, u"ASPNET", value), GetParam().result);
    EXPECT_EQ(value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadRegistryDwordTest,
    ::testing::Values(
        DwordCase{"MissingKey", nullptr, false, 2, 4},
        DwordCase{"MissingValue", [](sim::Windows& w) { w.CreateKey(View::Registry32, Components); }, false, 2, 4},
        DwordCase{"Dword", In(View::Registry32, Components, u"ASPNET", 7), false, 0, 7},
        DwordCase{"DwordIn64BitView", In(View::Registry64, Components, u"ASPNET", 9), true, 0, 9},
        DwordCase{"OtherViewIsNotSeen", In(View::Registry64, Components, u"ASPNET", 9), false, 2, 4},
        DwordCase{"BinaryFourBytes", Raw(View::Registry32, Components, u"ASPNET", win::RegBinary, {1, 0, 0, 0}), false, 13, 1},
        DwordCase{"StringOne", [](sim::Windows& w) { w.SetString(View::Registry32, Components, u"ASPNET", u"1"); }, false, 13, 0x31},
        DwordCase{"TwoBytes", Raw(View::Registry32, Components, u"ASPNET", win::RegBinary, {2, 0}), false, 13, 2},
        DwordCase{"EightBytes", Raw(View::Registry32, Components, u"ASPNET", win::RegQword, {1, 0, 0, 0, 0, 0, 0, 0}), false, 234, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimulatedTest, SixtyFourBitReaderOpensWithReadAccessAndThe64BitFlag) {
    windows.SetDword(View::Registry64, Components, u"ASPNET", 1);
    std::uint32_t value = 4;
    ca::ReadRegistryDword64(win::HKeyLocalMachine, Components, u"ASPNET", value);
    EXPECT_EQ(windows.CallCount("RegOpenKeyExW"), 1u);
    EXPECT_EQ(windows.CallCount("RegOpenKeyW"), 0u);
}

TEST_F(SimulatedTest, ComponentChecksReportAFailedPropertyReadUnderTheirOwnName) {
    windows.failingPropertyReads[u"IS_OS_64BIT"] = 6;
    EXPECT_EQ(CheckIISComponents(sim::Windows::Session), 1603u);
    EXPECT_EQ(CheckIIS7CompatibilityComponents(sim::Windows::Session), 1603u);
    EXPECT_EQ(Shown(), (std::vector<sim::Text>{u"Error in function CheckIISComponents: 6",
                                               u"Error in function CheckIIS7CompatibilityComponents: 6"}));
    EXPECT_TRUE(windows.propertyWrites.empty());
}

}  // namespace
