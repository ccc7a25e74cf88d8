// Which APPCMD the application-pool action starts. It runs
// <WindowsFolder>system32\inetsrv\APPCMD; in the 32-bit DLL on 64-bit Windows
// (a WoW64 process) system32 is redirected to syswow64, inetsrv included, so
// the 32-bit APPCMD runs and one that exists only in the 64-bit folder is not
// found. A 32-bit driver's own file operations are redirected the same way:
// it reaches the 64-bit folder through sysnative.
#include "Case.h"

namespace {

using e2e::Builds;
using e2e::Info;

const std::wstring Command =
    L"${property:WindowsFolder}system32\\inetsrv\\APPCMD set apppool \"BrennowickAppPool\" /enable32BitAppOnWin64:false";

const std::vector<e2e::Property> SixtyFourBitWindows = {
    {L"CustomActionData", L"${property:WindowsFolder}"},
    {L"IS_OS_64BIT", L"1"},
};

std::vector<e2e::Message> Log(const wchar_t* returned) {
    return {{Info, L"Setting IIS process to 32-bit..."}, {Info, Command}, {Info, returned}, {Info, L"Completed."}};
}

const e2e::CaseTable table("FileRedirection", {
    {.name = "the 32-bit action starts the APPCMD of syswow64",
     .action = "ConfigureASPNETOnIIS",
     .builds = Builds::X86,
     .properties = SixtyFourBitWindows,
     .files = {e2e::Recorder(L"${property:WindowsFolder}syswow64\\inetsrv\\APPCMD.exe")},
     .expectMessages = Log(L"Returned value: 0"),
     .expectStarts = {{Command, L"${property:WindowsFolder}syswow64\\inetsrv\\APPCMD.exe"}}},
    {.name = "the 32-bit action does not find an APPCMD of the 64-bit system32 only",
     .action = "ConfigureASPNETOnIIS",
     .builds = Builds::X86,
     .properties = SixtyFourBitWindows,
     .files = {e2e::Recorder(L"${property:WindowsFolder}sysnative\\inetsrv\\APPCMD.exe")},
     .expectMessages = Log(L"Returned value: 2")},
    {.name = "the 64-bit action starts the APPCMD of system32",
     .action = "ConfigureASPNETOnIIS",
     .builds = Builds::X64,
     .properties = SixtyFourBitWindows,
     .files = {e2e::Recorder(L"${property:WindowsFolder}system32\\inetsrv\\APPCMD.exe")},
     .expectMessages = Log(L"Returned value: 0"),
     .expectStarts = {{Command, L"${property:WindowsFolder}system32\\inetsrv\\APPCMD.exe"}}},
});

}  // namespace
