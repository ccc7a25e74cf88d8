// Inputs that no package should send but a person can: a huge
// CustomActionData, fields of white space or control characters only, a
// quotation mark in each field, registry values of 64 KiB, of the wrong type
// or too long for a DWORD. Each ends in the documented outcome, and the
// driver (the installer's process) lives on to run the next case.
#include "Case.h"

#include <windows.h>

#include <string>

using namespace std::string_literals;

namespace {

using e2e::ErrorWithIcon;
using e2e::Info;
using e2e::View;

const std::wstring InetStp = L"SOFTWARE\\Microsoft\\InetStp";
const std::wstring Components = L"SOFTWARE\\Microsoft\\InetStp\\Components";
const std::wstring Subcomponents = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\OC Manager\\Subcomponents";
const std::wstring AspNet20 = L"SOFTWARE\\Microsoft\\ASP.NET\\2.0.50727.0";
constexpr std::size_t CustomActionDataChars = 100000;
constexpr std::size_t SixtyFourKiB = 64 * 1024;

// A path component joined as the library joins it: one backslash between,
// unless either side already has it.
std::wstring Join(const std::wstring& base, const std::wstring& component) {
    const bool baseEnds = !base.empty() && base.back() == L'\\';
    const bool componentBegins = !component.empty() && component.front() == L'\\';
    return base + (baseEnds || componentBegins ? L"" : L"\\") + component;
}

// The six cacls commands for an install folder and a Windows folder, with
// the accounts "Users" and "NETWORK SERVICE", on 32-bit Windows.
std::vector<std::wstring> CaclsCommands(const std::wstring& install, const std::wstring& windows) {
    const std::wstring two = L"\" /E /P \"NETWORK SERVICE\":F IIS_IUSRS:F";
    const std::wstring three = L"\" /E /P \"NETWORK SERVICE\":F \"Users\":F IIS_IUSRS:F";
    const std::wstring recursive = L"\" /E /T /P \"NETWORK SERVICE\":F \"Users\":F IIS_IUSRS:F";
    const std::wstring webFiles = Join(install, L"Web Files");
    const std::wstring config = Join(webFiles, L"Config");
    const std::wstring temporary =
        Join(Join(Join(Join(windows, L"Microsoft.NET"), L"Framework"), L"v4.0.30319"), L"Temporary ASP.NET Files");
    return {
        L"cacls \"" + install + two,
        L"cacls \"" + Join(install, L"web.config") + three,
        L"cacls \"" + webFiles + recursive,
        L"cacls \"" + config + three,
        L"cacls \"" + Join(config, L"ServiceConfig.xml") + three,
        L"cacls \"" + temporary + two,
    };
}

std::vector<e2e::Property> SecurityInputs(const std::wstring& customActionData, const std::wstring& users = L"Users",
                                          const std::wstring& networkService = L"NETWORK SERVICE") {
    return {{L"CustomActionData", customActionData}, {L"IS_OS_64BIT", L"0"}, {L"USERS", users},
            {L"NETWORKSERVICE", networkService}};
}

// ConfigureSecurity over fields that trim to `install` and `windows`: six
// cacls starts and the one log line, command 2.
e2e::Case SecurityRun(std::string name, const std::wstring& customActionData, const std::wstring& install,
                      const std::wstring& windows) {
    const std::vector<std::wstring> commands = CaclsCommands(install, windows);
    e2e::Case run{.name = "ConfigureSecurity, " + name,
                  .action = "ConfigureSecurity",
                  .properties = SecurityInputs(customActionData),
                  .files = {e2e::Recorder(L"${dir}cacls.exe")},
                  .expectMessages = {{Info, commands[1]}}};
    for (const std::wstring& command : commands) run.expectStarts.push_back({command, L"${dir}cacls.exe"});
    return run;
}

// An input with a quotation mark could add switches or targets to a command:
// the action reports ERROR_INVALID_NAME (123) before it logs or runs anything.
e2e::Case RefusedQuotation(std::string name, const char* action, std::vector<e2e::Property> inputs,
                           const std::wstring& reportName) {
    return {.name = std::string(action) + ", a quotation mark in " + name,
            .action = action,
            .properties = std::move(inputs),
            .files = {e2e::Recorder(L"${dir}cacls.exe"),
                      e2e::Recorder(L"${property:WindowsFolder}system32\\inetsrv\\APPCMD.exe")},
            .result = 1603,
            .expectMessages = {{ErrorWithIcon, L"Error in function " + reportName + L": 123"}}};
}

const std::wstring PoolCommand =
    L"${property:WindowsFolder}system32\\inetsrv\\APPCMD set apppool \"BrennowickAppPool\" /enable32BitAppOnWin64:false";

// REG_SZ bytes: the text, its NUL, then `filler` up to `bytes` in all.
e2e::RegistryFixture SizedString(const std::wstring& key, const std::wstring& name, const std::wstring& text,
                                 std::size_t bytes, wchar_t filler) {
    std::wstring data = text + L'\0';
    data.resize(bytes / sizeof(wchar_t), filler);
    return e2e::Value(View::Default, key, name, REG_SZ, e2e::Utf16Bytes(data));
}

// A REG_DWORD value of eight bytes: 1 in the first four, 0 in the rest.
e2e::RegistryFixture EightByteDword(const std::wstring& key, const std::wstring& name) {
    return e2e::Value(View::Default, key, name, REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0});
}

std::vector<e2e::Case> Cases() {
    const std::wstring hugeInstall = L"C:\\Hostile\\" + std::wstring(CustomActionDataChars - 22, L'a');
    const std::wstring hugeData = hugeInstall + L"|C:\\windows";  // 100,000 characters
    const std::wstring controlled = L"C:\\App\x01\x1b\x7f" L"end";

    std::vector<e2e::Case> cases = {
        // Wine starts a command line of any length; Windows refuses one over
        // 32,767 characters. No recorder here, so that both give the same
        // outcome: the commands are built, the log line is written, the result is 0.
        {.name = "ConfigureSecurity, a CustomActionData of 100,000 characters",
         .action = "ConfigureSecurity",
         .properties = SecurityInputs(hugeData),
         .expectMessages = {{Info, CaclsCommands(hugeInstall, L"C:\\windows")[1]}}},
        {.name = "ConfigureASPNETOnIIS, 100,000 characters in the fields it does not use",
         .action = "ConfigureASPNETOnIIS",
         .properties = {{L"CustomActionData", L"${property:WindowsFolder}|" + std::wstring(CustomActionDataChars - 12, L'x')},
                        {L"IS_OS_64BIT", L"1"}},
         .files = {e2e::Recorder(L"${property:WindowsFolder}system32\\inetsrv\\APPCMD.exe")},
         .expectMessages = {{Info, L"Setting IIS process to 32-bit..."}, {Info, PoolCommand},
                            {Info, L"Returned value: 0"}, {Info, L"Completed."}},
         .expectStarts = {{PoolCommand, L""}}},
        SecurityRun("fields of white space only", L" \t\x3000 |\x00a0\x2003\r\n", L"", L""),
        SecurityRun("control characters in the fields", L"\r\n\t" + controlled + L"\v|\f C:\\windows\\ \x0085",
                    controlled, L"C:\\windows\\"),
        RefusedQuotation("the install folder", "ConfigureSecurity",
                         SecurityInputs(L"C:\\App\" /T /G Everyone:F \"C:\\windows|C:\\windows"), L"ConfigureSecurity"),
        RefusedQuotation("the Windows folder", "ConfigureSecurity",
                         SecurityInputs(L"C:\\App|C:\\win\"dows"), L"ConfigureSecurity"),
        RefusedQuotation("the users name", "ConfigureSecurity",
                         SecurityInputs(L"C:\\App|C:\\windows", L"Users\":F Everyone:F \""), L"ConfigureSecurity"),
        RefusedQuotation("the network-service name", "ConfigureSecurity",
                         SecurityInputs(L"C:\\App|C:\\windows", L"Users", L"\""), L"ConfigureSecurity"),
        RefusedQuotation("the Windows folder on 64-bit Windows", "ConfigureASPNETOnIIS64",
                         {{L"CustomActionData", L"C:\\\"windows"}, {L"IS_OS_64BIT", L"1"}}, L"SetIIS7To32BitOn64"),
        // Where no command is built, a quotation mark changes nothing.
        {.name = "ConfigureASPNETOnIIS64, a quotation mark in the Windows folder on 32-bit Windows",
         .action = "ConfigureASPNETOnIIS64",
         .properties = {{L"CustomActionData", L"C:\\\"windows"}, {L"IS_OS_64BIT", L"0"}},
         .expectMessages = {{Info, L"Setting IIS process to 64-bit..."}, {Info, L"Skipping (not 64-bit)..."},
                            {Info, L"Completed."}}},
        SecurityRun("a quotation mark in a field it does not use", L"C:\\App|C:\\windows|\"third\"", L"C:\\App",
                    L"C:\\windows"),
        // The installer takes no action on the report: its text stays in MESSAGE.
        {.name = "ConfigureSecurity, a quotation mark and an installer that does not answer",
         .action = "ConfigureSecurity",
         .properties = SecurityInputs(L"\"|C:\\windows"),
         .answer = 0,
         .result = 1603,
         .expectProperties = {{L"MESSAGE", L"Error in function ConfigureSecurity: 123"}},
         .expectMessages = {{ErrorWithIcon, L"Error in function ConfigureSecurity: 123"}}},

        // Registry values: only the text before the first NUL counts, whatever
        // follows; a text of 64 KiB is read whole.
        {.name = "CheckIfIIS7, a VersionString of 64 KiB after its NUL",
         .action = "CheckIfIIS7",
         .registry = {SizedString(InetStp, L"VersionString", L"Version 7.5", SixtyFourKiB, L'x')},
         .expectProperties = {{L"IIS7_FOUND", L"1"}}},
        {.name = "CheckIfIIS7, a VersionString of 64 KiB of text",
         .action = "CheckIfIIS7",
         .registry = {e2e::Sz(View::Default, InetStp, L"VersionString",
                              L"Version 7.5" + std::wstring(SixtyFourKiB / 2 - 12, L' '))},
         .expectProperties = {{L"IIS7_FOUND", L"0"}}},
        {.name = "CheckIISComponents, an AssemblyVersion of 64 KiB",
         .action = "CheckIISComponents",
         .registry = {e2e::Dword(View::Default, Subcomponents, L"iis_common", 1),
                      e2e::Dword(View::Default, Subcomponents, L"iis_www", 1),
                      e2e::Sz(View::Default, AspNet20, L"AssemblyVersion", std::wstring(SixtyFourKiB / 2 - 1, L'2'))},
         .expectProperties = {{L"LC2_ASPNET", L"1"}}},
        // A list is no text: the reader refuses REG_MULTI_SZ with 1630.
        {.name = "CheckIISComponents, AssemblyVersion as REG_MULTI_SZ",
         .action = "CheckIISComponents",
         .registry = {e2e::Dword(View::Default, Subcomponents, L"iis_common", 1),
                      e2e::Dword(View::Default, Subcomponents, L"iis_www", 1),
                      e2e::Value(View::Default, AspNet20, L"AssemblyVersion", REG_MULTI_SZ,
                                 e2e::Utf16Bytes(L"2.0.50727.0\0\0"s))},
         .expectProperties = {{L"LC2_ASPNET", L"0"}}},
        // Eight bytes do not fit the four of a DWORD: the query answers 234. Wine
        // leaves the variable as it was (measured), so a value 1 in its first
        // four bytes counts as not read; Windows calls the buffer's content
        // undefined then, and the two properties may differ there.
        {.name = "CheckIIS7CompatibilityComponents, REG_DWORD values of eight bytes",
         .action = "CheckIIS7CompatibilityComponents",
         .registry = {EightByteDword(Components, L"Metabase"), EightByteDword(Components, L"WMICompatibility"),
                      EightByteDword(Components, L"LegacyScripts"), EightByteDword(Components, L"ASPNET")},
         .expectProperties = {{L"LC1_IIS6_COMPAT", L"0"}, {L"LC2_ASPNET", L"0"}}},
        // Two values that were not read match each other.
        {.name = "CheckIISComponents, REG_DWORD values of eight bytes",
         .action = "CheckIISComponents",
         .registry = {EightByteDword(Subcomponents, L"iis_common"), EightByteDword(Subcomponents, L"iis_www"),
                      e2e::Sz(View::Default, AspNet20, L"AssemblyVersion", L"2.0.50727.0")},
         .expectProperties = {{L"LC2_ASPNET", L"1"}}},
    };
    // The driver has come through all of the above: a plain run still works.
    cases.push_back(SecurityRun("plain inputs after the hostile ones", L"C:\\App|C:\\windows", L"C:\\App", L"C:\\windows"));
    return cases;
}

const e2e::CaseTable table("HostileInputs", Cases());

}  // namespace
