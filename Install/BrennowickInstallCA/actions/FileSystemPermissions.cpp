// ConfigureSecurity: gives the network-service account and IIS_IUSRS (and, on
// the configuration files and the web files, the users group) full control
// over the installed application and ASP.NET's temporary folder with cacls.
#include "../Actions.h"
#include "../ProcessRunner.h"
#include "../SessionServices.h"

namespace ca {
namespace {

// What follows the quoted target path in each kind of cacls command. The
// account names are put in as texts, never read as formats: a "%" in a
// localized name reaches the tool as it stands.
struct CaclsPatterns {
    Text twoAccounts;
    Text threeAccounts;
    Text threeAccountsRecursive;
};

CaclsPatterns BuildPatterns(const Text& networkService, const Text& users) {
    const Text networkServiceGrant = u"/P \"" + networkService + u"\":F ";
    const Text usersGrant = u"\"" + users + u"\":F ";
    return {
        u"\" /E " + networkServiceGrant + u"IIS_IUSRS:F",
        u"\" /E " + networkServiceGrant + usersGrant + u"IIS_IUSRS:F",
        u"\" /E /T " + networkServiceGrant + usersGrant + u"IIS_IUSRS:F",
    };
}

// The target stands between quotation marks. Windows programs read backslashes
// right before a quotation mark as escapes ("C:\App\" would swallow the
// closing mark and run into the switches), so each trailing backslash is
// doubled: cacls then receives the folder exactly as it was given.
Text CaclsCommand(const Text& target, const Text& pattern) {
    const std::size_t kept = target.find_last_not_of(u'\\');
    const std::size_t trailing = target.size() - (kept == Text::npos ? 0 : kept + 1);
    return u"cacls \"" + target + Text(trailing, u'\\') + pattern;
}

// The tool's result is not examined: a target that is missing or a tool that
// cannot start leaves the remaining commands to run.
void RunCacls(const Text& command) { RunCommandLine(nullptr, command.c_str(), WaitUntilEnded); }

std::uint32_t GrantApplicationAccess(win::MsiHandle install) {
    Text data = GetInstallerProperty(install, u"CustomActionData");
    const Text installFolder = PopToken(data);
    const Text windowsFolder = PopToken(data);
    const Text is64Bit = GetInstallerProperty(install, u"IS_OS_64BIT");
    const Text users = GetInstallerProperty(install, u"USERS");
    const Text networkService = GetInstallerProperty(install, u"NETWORKSERVICE");
    for (const Text* input : {&installFolder, &windowsFolder, &users, &networkService})
        RequireNoQuotationMark(*input);

    const CaclsPatterns patterns = BuildPatterns(networkService, users);
    const Text webFiles = JoinPath(installFolder, u"Web Files");
    const Text webConfig = JoinPath(webFiles, u"Config");

    RunCacls(CaclsCommand(installFolder, patterns.twoAccounts));
    const Text webConfigCommand = CaclsCommand(JoinPath(installFolder, u"web.config"), patterns.threeAccounts);
    RunCacls(webConfigCommand);
    LogInfo(install, webConfigCommand);
    RunCacls(CaclsCommand(webFiles, patterns.threeAccountsRecursive));
    RunCacls(CaclsCommand(webConfig, patterns.threeAccounts));
    RunCacls(CaclsCommand(JoinPath(webConfig, u"ServiceConfig.xml"), patterns.threeAccounts));

    const char16_t* framework = is64Bit == u"1" ? u"Framework64" : u"Framework";
    const Text temporaryFiles = JoinPath(
        JoinPath(JoinPath(JoinPath(windowsFolder, u"Microsoft.NET"), framework), u"v4.0.30319"),
        u"Temporary ASP.NET Files");
    RunCacls(CaclsCommand(temporaryFiles, patterns.twoAccounts));
    return ActionSucceeded;
}

}  // namespace
}  // namespace ca

CA_EXPORT ConfigureSecurity(win::MsiHandle install) {
    return ca::CustomActionEntry(install, u"ConfigureSecurity", ca::OtherFailures::Report,
                                 [&] { return ca::GrantApplicationAccess(install); });
}
