// ConfigureASPNETOnIIS and ConfigureASPNETOnIIS64: on 64-bit Windows, set the
// enable32BitAppOnWin64 flag of BrennowickAppPool with IIS's APPCMD tool.
// Both run the same command; they differ in their first log line and in
// whether the command line is logged before it runs.
#include "../Actions.h"
#include "../ProcessRunner.h"
#include "../SessionServices.h"

namespace ca {
namespace {

constexpr const char16_t* ReportName = u"SetIIS7To32BitOn64";
constexpr const char16_t* ToolUnderWindowsFolder = u"system32\\inetsrv\\APPCMD";
constexpr const char16_t* PoolArguments =
    u"set apppool \"BrennowickAppPool\" /enable32BitAppOnWin64:false";

struct PoolBitnessAction {
    const char16_t* firstLine;
    bool logsCommandLine;
};

std::uint32_t SetPoolBitness(win::MsiHandle install, const PoolBitnessAction& action) {
    Text data = GetInstallerProperty(install, u"CustomActionData");
    const Text windowsFolder = PopToken(data);
    const bool is64BitWindows = GetInstallerProperty(install, u"IS_OS_64BIT") == u"1";
    if (is64BitWindows) RequireNoQuotationMark(windowsFolder);

    LogInfo(install, action.firstLine);
    if (!is64BitWindows) {
        LogInfo(install, u"Skipping (not 64-bit)...");
    } else {
        const Text tool = JoinPath(windowsFolder, ToolUnderWindowsFolder);
        // The line that runs, quotation marks included when the folder has a blank.
        if (action.logsCommandLine) LogInfo(install, CommandLineOf(tool.c_str(), PoolArguments));
        const std::uint32_t result = RunCommandLine(tool.c_str(), PoolArguments, WaitUntilEnded);
        LogInfo(install, FormatText(u"Returned value: %d", {result}));
    }
    LogInfo(install, u"Completed.");
    return ActionSucceeded;
}

}  // namespace
}  // namespace ca

CA_EXPORT ConfigureASPNETOnIIS(win::MsiHandle install) {
    return ca::CustomActionEntry(install, ca::ReportName, ca::OtherFailures::Report, [&] {
        return ca::SetPoolBitness(install, {u"Setting IIS process to 32-bit...", true});
    });
}

CA_EXPORT ConfigureASPNETOnIIS64(win::MsiHandle install) {
    return ca::CustomActionEntry(install, ca::ReportName, ca::OtherFailures::Report, [&] {
        return ca::SetPoolBitness(install, {u"Setting IIS process to 64-bit...", false});
    });
}
