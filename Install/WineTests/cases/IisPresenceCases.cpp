// FindIIS and CheckIfIIS7 over the registry states of the InetStp key: each
// state runs both actions, which must publish IIS_FOUND and IIS7_FOUND, show
// nothing and start nothing.
#include "Case.h"

#include <windows.h>

#include <string>

using namespace std::string_literals;

namespace {

using e2e::Builds;
using e2e::View;

const std::wstring InetStp = L"SOFTWARE\\Microsoft\\InetStp";

struct RegistryState {
    std::string name;
    std::vector<e2e::RegistryFixture> registry;
    const wchar_t* iisFound;
    const wchar_t* iis7Found;
    Builds builds = Builds::Both;
    std::vector<e2e::Variable> environment = {};
};

e2e::RegistryFixture Version(const std::wstring& text, View view = View::Default) {
    return e2e::Sz(view, InetStp, L"VersionString", text);
}

e2e::RegistryFixture VersionBytes(DWORD type, const std::wstring& text, std::vector<std::uint8_t> tail = {}) {
    std::vector<std::uint8_t> data = e2e::Utf16Bytes(text);
    data.insert(data.end(), tail.begin(), tail.end());
    return e2e::Value(View::Default, InetStp, L"VersionString", type, data);
}

// The key of the other view is named too, so that it is absent there.
const e2e::RegistryFixture NoKey32 = e2e::Absent(View::Bits32, InetStp);
const e2e::RegistryFixture NoKey64 = e2e::Absent(View::Bits64, InetStp);

std::vector<RegistryState> States() {
    return {
        {"no InetStp key", {e2e::Absent(View::Both, InetStp)}, L"0", L"0"},
        {"key without values", {e2e::Key(View::Both, InetStp)}, L"1", L"0"},
        {"Version 7.0", {Version(L"Version 7.0")}, L"1", L"1"},
        {"Version 7.5", {Version(L"Version 7.5")}, L"1", L"1"},
        {"Version 7.5 with a trailing blank", {Version(L"Version 7.5 ")}, L"1", L"0"},
        {"Version 7.0 with a leading blank", {Version(L" Version 7.0")}, L"1", L"0"},
        {"version 7.5 in lower case", {Version(L"version 7.5")}, L"1", L"0"},
        {"VERSION 7.0 in upper case", {Version(L"VERSION 7.0")}, L"1", L"0"},
        {"Version 7 without the minor version", {Version(L"Version 7")}, L"1", L"0"},
        {"Version 7.50", {Version(L"Version 7.50")}, L"1", L"0"},
        {"Version 6.0", {Version(L"Version 6.0")}, L"1", L"0"},
        {"Version 8.5", {Version(L"Version 8.5")}, L"1", L"0"},
        {"Version 10.0", {Version(L"Version 10.0")}, L"1", L"0"},
        {"empty version text", {Version(L"")}, L"1", L"0"},
        {"other values but no VersionString", {e2e::Dword(View::Default, InetStp, L"MajorVersion", 7)}, L"1", L"0"},
        {"VersionString as REG_DWORD", {e2e::Dword(View::Default, InetStp, L"VersionString", 7)}, L"1", L"0"},
        {"VersionString as REG_BINARY", {VersionBytes(REG_BINARY, L"Version 7.5")}, L"1", L"0"},
        {"VersionString as REG_MULTI_SZ", {VersionBytes(REG_MULTI_SZ, L"Version 7.5\0\0"s)}, L"1", L"0"},
        {"REG_EXPAND_SZ whose variable expands to 7.5",
         {e2e::ExpandSz(View::Default, InetStp, L"VersionString", L"Version 7.%BRENNOWICK_E2E_MINOR%")},
         L"1", L"1", Builds::Both, {{L"BRENNOWICK_E2E_MINOR", L"5"}}},
        {"REG_EXPAND_SZ whose variable expands to 8.5",
         {e2e::ExpandSz(View::Default, InetStp, L"VersionString", L"Version %BRENNOWICK_E2E_MAJOR%.5")},
         L"1", L"0", Builds::Both, {{L"BRENNOWICK_E2E_MAJOR", L"8"}}},
        {"REG_EXPAND_SZ with an unset variable",
         {e2e::ExpandSz(View::Default, InetStp, L"VersionString", L"Version 7.%BRENNOWICK_E2E_UNSET%")},
         L"1", L"0"},
        {"REG_SZ with a variable is not expanded",
         {e2e::Sz(View::Default, InetStp, L"VersionString", L"Version 7.%BRENNOWICK_E2E_MINOR%")},
         L"1", L"0", Builds::Both, {{L"BRENNOWICK_E2E_MINOR", L"5"}}},
        {"Version 7.5, a NUL and more characters", {VersionBytes(REG_SZ, L"Version 7.5\0trailing\0"s)}, L"1", L"1"},
        {"Version 7, a NUL and .5", {VersionBytes(REG_SZ, L"Version 7\0.5\0"s)}, L"1", L"0"},
        {"Version 7.5 stored without its NUL", {VersionBytes(REG_SZ, L"Version 7.5")}, L"1", L"1"},
        {"Version 7.5 and one odd byte", {VersionBytes(REG_SZ, L"Version 7.5", {'x'})}, L"1", L"1"},
        {"Version 7.5 followed by 5000 blanks", {Version(L"Version 7.5" + std::wstring(5000, L' '))}, L"1", L"0"},
        // Registry views: the DLL reads its process's default view, which for
        // the 32-bit DLL on 64-bit Windows is the 32-bit view (Wow6432Node).
        {"Version 7.5 in the 32-bit view only", {NoKey64, Version(L"Version 7.5", View::Bits32)}, L"1", L"1",
         Builds::X86},
        {"Version 7.5 in the 64-bit view only", {NoKey32, Version(L"Version 7.5", View::Bits64)}, L"0", L"0",
         Builds::X86},
        {"Version 7.5 in the 32-bit view, 10.0 in the 64-bit view",
         {Version(L"Version 7.5", View::Bits32), Version(L"Version 10.0", View::Bits64)}, L"1", L"1", Builds::X86},
        {"Version 10.0 in the 32-bit view, 7.0 in the 64-bit view",
         {Version(L"Version 10.0", View::Bits32), Version(L"Version 7.0", View::Bits64)}, L"1", L"0", Builds::X86},
        {"Version 7.5 in the 64-bit view only", {NoKey32, Version(L"Version 7.5", View::Bits64)}, L"1", L"1",
         Builds::X64},
        {"Version 7.5 in the 32-bit view only", {NoKey64, Version(L"Version 7.5", View::Bits32)}, L"0", L"0",
         Builds::X64},
    };
}

std::vector<e2e::Case> Cases() {
    std::vector<e2e::Case> cases;
    for (const RegistryState& state : States()) {
        struct Published {
            const char* action;
            const wchar_t* property;
            std::wstring value;
            const wchar_t* untouched;  // the other action's property
        };
        for (const Published& published : {Published{"FindIIS", L"IIS_FOUND", state.iisFound, L"IIS7_FOUND"},
                                           Published{"CheckIfIIS7", L"IIS7_FOUND", state.iis7Found, L"IIS_FOUND"}}) {
            // The property holds the other answer before the call: the action must write it.
            cases.push_back({.name = published.action + std::string(", ") + state.name,
                             .action = published.action,
                             .builds = state.builds,
                             .properties = {{published.property, published.value == L"1" ? L"0" : L"1"}},
                             .registry = state.registry,
                             .environment = state.environment,
                             .expectProperties = {{published.property, published.value},
                                                  {published.untouched, L""}}});
        }
    }
    // Given a record instead of a session, both only fail to publish: they
    // have no error report and still return 0.
    for (const char* action : {"FindIIS", "CheckIfIIS7"}) {
        cases.push_back({.name = std::string(action) + ", a record handle instead of a session",
                         .action = action,
                         .handle = e2e::Handle::Record,
                         .registry = {Version(L"Version 7.5")},
                         .expectProperties = {{L"IIS_FOUND", L""}, {L"IIS7_FOUND", L""}, {L"MESSAGE", L""}}});
    }
    return cases;
}

const e2e::CaseTable table("IisPresence", Cases());

}  // namespace
