// Every export given a record handle instead of the installation session.
// Each property read then fails with 6: the actions with an error catch stop
// at their first read and return 1603 without starting anything; the others
// run on without their properties. The installer answers the error report
// with 6 too and passes nothing to the UI, so no message is seen and MESSAGE
// stays unset (on Windows the same: a message needs a session).
#include "Case.h"

#include <string>

namespace {

const std::vector<e2e::FileFixture> ToolsRecorded = {
    e2e::Recorder(L"${dir}cacls.exe"),
    e2e::Recorder(L"${dir}net.exe"),
    e2e::Recorder(L"${property:WindowsFolder}system32\\inetsrv\\APPCMD.exe"),
};

// What a session would have held, so that only the handle makes the difference.
const std::vector<e2e::Property> Inputs = {
    {L"CustomActionData", L"${property:WindowsFolder}|${property:WindowsFolder}"},
    {L"IS_OS_64BIT", L"1"},
    {L"USERS", L"Users"},
    {L"NETWORKSERVICE", L"NETWORK SERVICE"},
};

e2e::Case Stopped(const char* action) {
    return {.name = std::string(action) + " stops at its first property read",
            .action = action,
            .handle = e2e::Handle::Record,
            .properties = Inputs,
            .files = ToolsRecorded,
            .result = 1603,
            .expectProperties = {{L"MESSAGE", L""}}};
}

const e2e::CaseTable table("NotASession", {
    Stopped("ConfigureSecurity"),
    Stopped("ConfigureASPNETOnIIS"),
    Stopped("ConfigureASPNETOnIIS64"),
    Stopped("InitializeProperties"),
    Stopped("CheckIISComponents"),
    Stopped("CheckIIS7CompatibilityComponents"),
    // It reads no property: net runs, its log line and any warning are lost.
    {.name = "StartRequiredServices runs net all the same",
     .action = "StartRequiredServices",
     .handle = e2e::Handle::Record,
     .files = ToolsRecorded,
     .expectProperties = {{L"MESSAGE", L""}},
     .expectStarts = {{L"net start \"Quorvane Authentication Service 9\"", L"${dir}net.exe"}}},
});

}  // namespace
