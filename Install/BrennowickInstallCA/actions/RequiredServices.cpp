// StartRequiredServices: starts the authentication service with "net start".
// A net that cannot be started is shown to the user as a warning; the
// installation goes on either way.
#include "../Actions.h"
#include "../ProcessRunner.h"
#include "../SessionServices.h"
#include "../StringResources.h"

namespace ca {
namespace {

std::uint32_t StartAuthenticationService(win::MsiHandle install) {
    // A name that cannot be loaded stays empty: the command still runs.
    Text service;
    LoadResourceString(service, ServiceNameString);
    const Text command = u"net start \"" + service + u"\"";
    const std::uint32_t result = RunCommandLine(nullptr, command.c_str(), WaitUntilEnded);

    Text outcome;
    if (result != win::ErrorSuccess) {
        Text warning;
        FormatResourceString(warning, ServiceStartFailedString, {service, result});
        ShowInstallerMessage(install, warning, win::InstallMessageWarning | win::MbIconError);
        outcome = FormatText(u"Launch %s returned value: %d", {service, result});
    } else {
        outcome = FormatText(u"Launch %s was successful", {service});
    }
    LogInfo(install, outcome);
    return ActionSucceeded;
}

}  // namespace
}  // namespace ca

CA_EXPORT StartRequiredServices(win::MsiHandle install) {
    return ca::CustomActionEntry(install, u"StartRequiredServices", ca::OtherFailures::EndSilently,
                                 [&] { return ca::StartAuthenticationService(install); });
}
