// CheckIISComponents and CheckIIS7CompatibilityComponents over the registry
// states of the OC Manager records, the ASP.NET 2.0 registration and the IIS 7
// component records, and the registry view that IS_OS_64BIT selects. Both
// actions must publish their properties, show nothing and start nothing.
#include "Case.h"

#include <windows.h>

#include <optional>
#include <string>

namespace {

using e2e::Builds;
using e2e::View;

const std::wstring Setup = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
const std::wstring Subcomponents = Setup + L"\\OC Manager\\Subcomponents";
const std::wstring AspNet20 = L"SOFTWARE\\Microsoft\\ASP.NET\\2.0.50727.0";
const std::wstring Components = L"SOFTWARE\\Microsoft\\InetStp\\Components";

e2e::RegistryFixture Records(View view, const wchar_t* name, DWORD value) {
    return e2e::Dword(view, Subcomponents, name, value);
}
e2e::RegistryFixture Component(View view, const wchar_t* name, DWORD value) {
    return e2e::Dword(view, Components, name, value);
}
const e2e::RegistryFixture AspNetRegistered = e2e::Sz(View::Default, AspNet20, L"AssemblyVersion", L"2.0.0.0");

struct State {
    std::string name;
    std::optional<std::wstring> is64Bit;  // nullopt: the property is not set
    std::vector<e2e::RegistryFixture> registry;
    std::vector<e2e::Property> expect;
    Builds builds = Builds::Both;
};

e2e::Case CaseOf(const char* action, const State& state) {
    e2e::Case c{.name = action + std::string(", ") + state.name,
                .action = action,
                .builds = state.builds,
                .registry = state.registry,
                .expectProperties = state.expect};
    if (state.is64Bit) c.properties.push_back({L"IS_OS_64BIT", *state.is64Bit});
    // The Setup key is shared by both views in a fresh prefix; every case
    // names its keys so that each starts from a known state.
    c.registry.insert(c.registry.begin(), e2e::Separate32(Setup));
    return c;
}

std::vector<State> ComponentsStates() {
    const auto both = [](DWORD common, DWORD www) {
        return std::vector<e2e::RegistryFixture>{Records(View::Both, L"iis_common", common),
                                                 Records(View::Both, L"iis_www", www)};
    };
    auto with = [](std::vector<e2e::RegistryFixture> registry, std::vector<e2e::RegistryFixture> more) {
        registry.insert(registry.end(), more.begin(), more.end());
        return registry;
    };
    const e2e::RegistryFixture noAspNet = e2e::Absent(View::Both, AspNet20);
    // The records match in the 64-bit view only.
    const std::vector<e2e::RegistryFixture> disagreeingViews = {
        Records(View::Bits64, L"iis_common", 1), Records(View::Bits64, L"iis_www", 1),
        Records(View::Bits32, L"iis_common", 1), Records(View::Bits32, L"iis_www", 0), AspNetRegistered};
    const auto yes = std::vector<e2e::Property>{{L"LC2_ASPNET", L"1"}};
    const auto no = std::vector<e2e::Property>{{L"LC2_ASPNET", L"0"}};
    return {
        {"both records 1 and ASP.NET 2.0 registered", L"0", with(both(1, 1), {AspNetRegistered}), yes},
        {"records 1 and 0", L"0", with(both(1, 0), {AspNetRegistered}), no},
        {"no ASP.NET 2.0 key", L"0", with(both(1, 1), {noAspNet}), no},
        {"both records absent and ASP.NET 2.0 registered", L"0",
         {e2e::Absent(View::Both, Subcomponents), AspNetRegistered}, yes},
        {"both records 0 and ASP.NET 2.0 registered", std::nullopt, with(both(0, 0), {AspNetRegistered}), yes},
        {"AssemblyVersion as REG_DWORD", L"0",
         with(both(1, 1), {e2e::Dword(View::Default, AspNet20, L"AssemblyVersion", 2)}), no},
        {"a four-byte REG_BINARY 01 00 00 00 counts as 1", L"0",
         {Records(View::Both, L"iis_common", 1),
          e2e::Value(View::Both, Subcomponents, L"iis_www", REG_BINARY, {1, 0, 0, 0}), AspNetRegistered},
         yes},
        // The product's DLL is 32-bit: only IS_OS_64BIT "1" reads the records
        // through the 64-bit view; AssemblyVersion is always read through the
        // default (32-bit) view.
        {"IS_OS_64BIT 1 reads the records of the 64-bit view", L"1",
         disagreeingViews,
         yes, Builds::X86},
        {"IS_OS_64BIT 0 reads the records of the 32-bit view", L"0",
         disagreeingViews,
         no, Builds::X86},
        {"IS_OS_64BIT ' 1' reads the records of the 32-bit view", L" 1",
         disagreeingViews,
         no, Builds::X86},
        {"AssemblyVersion in the 64-bit view only, IS_OS_64BIT 1", L"1",
         with(both(1, 1), {e2e::Absent(View::Bits32, AspNet20),
                           e2e::Sz(View::Bits64, AspNet20, L"AssemblyVersion", L"2.0.0.0")}),
         no, Builds::X86},
    };
}

std::vector<State> CompatibilityStates() {
    const auto all = [](View view, DWORD metabase, DWORD wmi, DWORD scripts, DWORD aspNet) {
        return std::vector<e2e::RegistryFixture>{
            Component(view, L"Metabase", metabase), Component(view, L"WMICompatibility", wmi),
            Component(view, L"LegacyScripts", scripts), Component(view, L"ASPNET", aspNet)};
    };
    // All four components 1 in one view, the key absent from the other.
    const auto onlyIn = [&](View present, View absent) {
        auto registry = all(present, 1, 1, 1, 1);
        registry.push_back(e2e::Absent(absent, Components));
        return registry;
    };
    const auto answer = [](const wchar_t* compat, const wchar_t* aspNet) {
        return std::vector<e2e::Property>{{L"LC1_IIS6_COMPAT", compat}, {L"LC2_ASPNET", aspNet}};
    };
    return {
        {"all four components 1", L"0", all(View::Both, 1, 1, 1, 1), answer(L"1", L"1")},
        {"LegacyScripts absent", L"0",
         {Component(View::Both, L"Metabase", 1), Component(View::Both, L"WMICompatibility", 1),
          Component(View::Both, L"ASPNET", 1)},
         answer(L"0", L"1")},
        {"WMICompatibility 0", L"0", all(View::Both, 1, 0, 1, 1), answer(L"0", L"1")},
        {"ASPNET 2", L"0", all(View::Both, 1, 1, 1, 2), answer(L"1", L"0")},
        {"no Components key", L"1", {e2e::Absent(View::Both, Components)}, answer(L"0", L"0")},
        {"IS_OS_64BIT not set", std::nullopt, all(View::Both, 1, 1, 1, 1), answer(L"1", L"1")},
        {"ASPNET as REG_SZ 1 is 49, not 1", L"0",
         {Component(View::Both, L"Metabase", 1), Component(View::Both, L"WMICompatibility", 1),
          Component(View::Both, L"LegacyScripts", 1), e2e::Sz(View::Both, Components, L"ASPNET", L"1")},
         answer(L"1", L"0")},
        {"ASPNET as an eight-byte REG_QWORD is not read", L"0",
         {Component(View::Both, L"Metabase", 1), Component(View::Both, L"WMICompatibility", 1),
          Component(View::Both, L"LegacyScripts", 1),
          e2e::Value(View::Both, Components, L"ASPNET", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0})},
         answer(L"1", L"0")},
        // Views, for the 32-bit product DLL.
        {"IS_OS_64BIT 1 reads the 64-bit view", L"1",
         onlyIn(View::Bits64, View::Bits32), answer(L"1", L"1"), Builds::X86},
        {"IS_OS_64BIT 1 does not read the 32-bit view", L"1",
         onlyIn(View::Bits32, View::Bits64), answer(L"0", L"0"), Builds::X86},
        {"IS_OS_64BIT 01 reads the 32-bit view", L"01",
         onlyIn(View::Bits64, View::Bits32), answer(L"0", L"0"), Builds::X86},
        {"IS_OS_64BIT empty reads the 32-bit view", L"",
         onlyIn(View::Bits32, View::Bits64), answer(L"1", L"1"), Builds::X86},
    };
}

std::vector<e2e::Case> Cases() {
    std::vector<e2e::Case> cases;
    for (const State& state : ComponentsStates()) cases.push_back(CaseOf("CheckIISComponents", state));
    for (const State& state : CompatibilityStates())
        cases.push_back(CaseOf("CheckIIS7CompatibilityComponents", state));
    // Neither action can read IS_OS_64BIT through a record handle: both end
    // with 1603 and publish nothing (the report cannot reach the installer).
    for (const char* action : {"CheckIISComponents", "CheckIIS7CompatibilityComponents"})
        cases.push_back({.name = std::string(action) + ", a record handle instead of a session",
                         .action = action,
                         .handle = e2e::Handle::Record,
                         .result = 1603,
                         .expectProperties = {{L"LC2_ASPNET", L""}, {L"LC1_IIS6_COMPAT", L""}, {L"MESSAGE", L""}}});
    return cases;
}

const e2e::CaseTable table("IisComponents", Cases());

}  // namespace
