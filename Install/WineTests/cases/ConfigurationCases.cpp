// The configuration actions in Wine's installer engine: ConfigureASPNETOnIIS
// and ConfigureASPNETOnIIS64 start APPCMD under the Windows folder,
// ConfigureSecurity starts cacls six times, StartRequiredServices starts net.
// The recorder stands in for each tool and logs the command line it got.
#include "Case.h"

#include <string>

namespace {

using e2e::Case;
using e2e::Info;
using e2e::Message;
using e2e::Property;
using e2e::Start;

const std::wstring PoolArguments = L" set apppool \"BrennowickAppPool\" /enable32BitAppOnWin64:false";
// As the driver sees it: a 32-bit driver's system32 is syswow64, which is also
// where a 32-bit DLL's start of system32\inetsrv\APPCMD lands.
const std::wstring AppCmd = L"${property:WindowsFolder}system32\\inetsrv\\APPCMD";
const std::wstring AppCmdLine = AppCmd + PoolArguments;

// A start whose program is not compared: only its command line.
Start Line(const std::wstring& commandLine) { return {commandLine, L""}; }

const Message Setting32{Info, L"Setting IIS process to 32-bit..."};
const Message Setting64{Info, L"Setting IIS process to 64-bit..."};
const Message Skipping{Info, L"Skipping (not 64-bit)..."};
const Message Completed{Info, L"Completed."};
const Message ReturnedZero{Info, L"Returned value: 0"};

// A folder with a blank, and a decoy where an unquoted path would lead first.
const std::wstring BlankWindows = L"C:\\Brennowick Win\\";
const std::wstring BlankAppCmd = BlankWindows + L"system32\\inetsrv\\APPCMD";

std::vector<Case> AppPoolCases() {
    return {
        // The tool's exit code is never read: a failing APPCMD still gives 0.
        {.name = "ConfigureASPNETOnIIS64 on 64-bit Windows runs APPCMD without logging it",
         .action = "ConfigureASPNETOnIIS64",
         .properties = {{L"CustomActionData", L"C:\\windows|unused"}, {L"IS_OS_64BIT", L"1"}},
         .files = {e2e::Recorder(AppCmd + L".exe")},
         .recorderExitCode = 1,
         .expectMessages = {Setting64, ReturnedZero, Completed},
         .expectStarts = {Line(AppCmdLine)}},
        {.name = "ConfigureASPNETOnIIS skips on a system that is not 64-bit",
         .action = "ConfigureASPNETOnIIS",
         .properties = {{L"CustomActionData", L"${property:WindowsFolder}"}, {L"IS_OS_64BIT", L"0"}},
         .files = {e2e::Recorder(AppCmd + L".exe")},
         .expectMessages = {Setting32, Skipping, Completed}},
        {.name = "ConfigureASPNETOnIIS64 skips when IS_OS_64BIT is not set",
         .action = "ConfigureASPNETOnIIS64",
         .properties = {{L"CustomActionData", L"${property:WindowsFolder}"}},
         .files = {e2e::Recorder(AppCmd + L".exe")},
         .expectMessages = {Setting64, Skipping, Completed}},
        // Unquoted, the platform would start C:\Brennowick.exe: the decoy
        // records that start under its own name.
        {.name = "a Windows folder with a blank gets a quoted program path",
         .action = "ConfigureASPNETOnIIS",
         .properties = {{L"CustomActionData", BlankWindows}, {L"IS_OS_64BIT", L"1"}},
         .files = {e2e::Recorder(BlankAppCmd + L".exe"), e2e::Recorder(L"C:\\Brennowick.exe")},
         .expectMessages = {Setting32, {Info, L"\"" + BlankAppCmd + L"\"" + PoolArguments}, ReturnedZero,
                            Completed},
         .expectStarts = {{L"\"" + BlankAppCmd + L"\"" + PoolArguments, BlankAppCmd + L".exe"}}},
        // A Windows folder without IIS: the inetsrv folder is there, APPCMD is not.
        {.name = "APPCMD that cannot be started is logged with the start's error",
         .action = "ConfigureASPNETOnIIS64",
         .properties = {{L"CustomActionData", L"C:\\BrennowickNoIis"}, {L"IS_OS_64BIT", L"1"}},
         .files = {e2e::Directory(L"C:\\BrennowickNoIis\\system32\\inetsrv")},
         .expectMessages = {Setting64, {Info, L"Returned value: 2"}, Completed}},
    };
}

const std::wstring Cacls = L"${dir}cacls.exe";
const Property WineUsers{L"USERS", L"${account:S-1-5-32-545}"};
const Property WineNetworkService{L"NETWORKSERVICE", L"${account:S-1-5-20}"};

// The six commands as cacls receives them, for Wine's account names.
std::vector<Start> CaclsStarts(const std::wstring& first, const std::wstring& app, const std::wstring& framework,
                               const std::wstring& users = L"Users") {
    const std::wstring two = L"\" /E /P \"NETWORK SERVICE\":F IIS_IUSRS:F";
    const std::wstring three = L"\" /E /P \"NETWORK SERVICE\":F \"" + users + L"\":F IIS_IUSRS:F";
    const std::wstring recursive = L"\" /E /T /P \"NETWORK SERVICE\":F \"" + users + L"\":F IIS_IUSRS:F";
    return {
        Line(L"cacls \"" + first + two),
        Line(L"cacls \"" + app + L"web.config" + three),
        Line(L"cacls \"" + app + L"Web Files" + recursive),
        Line(L"cacls \"" + app + L"Web Files\\Config" + three),
        Line(L"cacls \"" + app + L"Web Files\\Config\\ServiceConfig.xml" + three),
        Line(L"cacls \"C:\\windows\\Microsoft.NET\\" + framework + L"\\v4.0.30319\\Temporary ASP.NET Files" + two),
    };
}

std::vector<Case> SecurityCases() {
    // The install folder ends in a backslash, as Windows Installer gives it: in
    // the first command it is doubled so that cacls reads the folder, not an
    // escaped quotation mark.
    const auto on64 = CaclsStarts(L"C:\\Program Files\\Brennowick\\\\", L"C:\\Program Files\\Brennowick\\", L"Framework64");
    const auto on32 = CaclsStarts(L"D:\\Brennowick", L"D:\\Brennowick\\", L"Framework");
    const auto percent = CaclsStarts(L"D:\\Brennowick", L"D:\\Brennowick\\", L"Framework", L"%s%d 100% Users");
    return {
        {.name = "ConfigureSecurity on 64-bit Windows grants six targets with Wine's account names",
         .action = "ConfigureSecurity",
         .properties = {{L"CustomActionData", L"C:\\Program Files\\Brennowick\\|${property:WindowsFolder}"},
                        {L"IS_OS_64BIT", L"1"}, WineUsers, WineNetworkService},
         .files = {e2e::Recorder(Cacls)},
         .recorderExitCode = 1332,
         .expectMessages = {{Info, on64[1].commandLine}},
         .expectStarts = on64},
        {.name = "ConfigureSecurity passes a percent sign in an account name as it stands",
         .action = "ConfigureSecurity",
         .properties = {{L"CustomActionData", L"D:\\Brennowick|C:\\windows"}, {L"IS_OS_64BIT", L"0"},
                        {L"USERS", L"%s%d 100% Users"}, WineNetworkService},
         .files = {e2e::Recorder(Cacls)},
         .expectMessages = {{Info, percent[1].commandLine}},
         .expectStarts = percent},
        // No cacls anywhere: every start fails, the action goes on and succeeds.
        {.name = "ConfigureSecurity without cacls still logs and succeeds",
         .action = "ConfigureSecurity",
         .properties = {{L"CustomActionData", L"D:\\Brennowick|C:\\windows"}, {L"IS_OS_64BIT", L"0"},
                        WineUsers, WineNetworkService},
         .files = {e2e::Hidden(L"C:\\windows\\system32\\cacls.exe")},
         .expectMessages = {{Info, on32[1].commandLine}}},
    };
}

const std::wstring NetStart = L"net start \"Quorvane Authentication Service 9\"";
const Message Launched{Info, L"Launch Quorvane Authentication Service 9 was successful"};
const std::wstring NotStarted =
    L"Quorvane Authentication Service 9 has failed to start with the following error number returned: 2.";
const Message NotLaunched{Info, L"Launch Quorvane Authentication Service 9 returned value: 2"};
// Wine's own net.exe, moved aside in the case's prefix so that no net can be
// found: the start fails for real with 2 (file not found).
const e2e::FileFixture NoNet = e2e::Hidden(L"C:\\windows\\system32\\net.exe");

std::vector<Case> ServiceCases() {
    return {
        // The exit code of net is never read: 2 from the tool still counts as launched.
        {.name = "StartRequiredServices starts net with the service name",
         .action = "StartRequiredServices",
         .files = {e2e::Recorder(L"${dir}net.exe")},
         .recorderExitCode = 2,
         .expectMessages = {Launched},
         .expectStarts = {Line(NetStart)}},
        {.name = "StartRequiredServices with Wine's own net, which cannot find the service",
         .action = "StartRequiredServices",
         .expectMessages = {Launched}},
        {.name = "net that cannot be started gives a warning the installer answers",
         .action = "StartRequiredServices",
         .files = {NoNet},
         .expectProperties = {{L"MESSAGE", L""}},
         .expectMessages = {{e2e::WarningWithIcon, NotStarted}, NotLaunched}},
        {.name = "net that cannot be started leaves the warning in MESSAGE when the installer takes no action",
         .action = "StartRequiredServices",
         .files = {NoNet},
         .answer = 0,
         .expectProperties = {{L"MESSAGE", NotStarted}},
         .expectMessages = {{e2e::WarningWithIcon, NotStarted}, NotLaunched}},
        // The warning has no French text: the English one stands in for it.
        {.name = "net that cannot be started under a French user interface warns in English",
         .action = "StartRequiredServices",
         .language = "fr_FR.UTF-8",
         .files = {NoNet},
         .answer = 0,
         .expectProperties = {{L"MESSAGE", NotStarted}},
         .expectMessages = {{e2e::WarningWithIcon, NotStarted}, NotLaunched}},
    };
}

std::vector<Case> AllCases() {
    std::vector<Case> cases = AppPoolCases();
    for (auto more : {SecurityCases(), ServiceCases()}) cases.insert(cases.end(), more.begin(), more.end());
    return cases;
}

const e2e::CaseTable cases("Configuration", AllCases());

}  // namespace
