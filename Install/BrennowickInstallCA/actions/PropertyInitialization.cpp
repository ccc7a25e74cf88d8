// InitializeProperties: on removal of the whole product, the install location
// that Windows Installer recorded; otherwise the tool paths, the default
// repository and the localized names of the well-known accounts.
#include "../Actions.h"
#include "../SessionServices.h"
#include "../StringResources.h"
#include "WellKnownAccounts.h"

namespace ca {
namespace {

// A path published as a property: a base folder and the components below it.
struct PathProperty {
    const char16_t* property;
    const char16_t* baseProperty;
    const char16_t* components[4];  // null where a path has fewer
};

constexpr PathProperty PathProperties[] = {
    {u"INTERNETEXPLORER", u"ProgramFilesFolder", {u"Internet Explorer", u"iexplore.exe"}},
    {u"REGIIS", u"WindowsFolder", {u"Microsoft.NET", u"Framework", u"v4.0.30319", u"aspnet_regiis.exe"}},
    {u"REGIIS64", u"WindowsFolder", {u"Microsoft.NET", u"Framework64", u"v4.0.30319", u"aspnet_regiis.exe"}},
    {u"COMPILE_APP", u"WindowsFolder", {u"Microsoft.NET", u"Framework", u"v4.0.30319", u"aspnet_compiler.exe"}},
    {u"COMPILE_APP_64", u"WindowsFolder", {u"Microsoft.NET", u"Framework64", u"v4.0.30319", u"aspnet_compiler.exe"}},
};

constexpr std::uint32_t InstallLocationChars = 260;

Text LoadedString(std::uint16_t id) {
    Text text;
    LoadResourceString(text, id);  // a missing entry stays empty
    return text;
}

std::uint32_t PublishInstallationProperties(win::MsiHandle install) {
    for (const PathProperty& path : PathProperties) {
        Text value = GetInstallerProperty(install, path.baseProperty);
        for (const char16_t* component : path.components) value = JoinPath(value, component);
        SetInstallerProperty(install, path.property, value);
    }
    SetInstallerProperty(install, u"QVREPOSITORYNAME", LoadedString(RepositoryNameString));

    const Text repositoryName = LoadedString(RepositoryNameString);
    const Text repositoryFolder = LoadedString(RepositoryFolderString);
    const Text volume = GetInstallerProperty(install, u"WindowsVolume");
    SetInstallerProperty(install, u"QVREPOSITORYPATH",
                         JoinPath(JoinPath(volume, repositoryFolder), repositoryName));

    // The account lookups report their own failure.
    return PublishWellKnownAccountNames(install) ? ActionSucceeded : ActionFailed;
}

std::uint32_t QueryInstallLocation(const Text& productCode, Text& location) {
    Text buffer(InstallLocationChars, u'\0');
    std::uint32_t capacity = InstallLocationChars;
    std::uint32_t status = win::MsiGetProductInfoW(productCode.c_str(), u"InstallLocation",
                                                   buffer.data(), &capacity);
    if (status == win::ErrorMoreData) {
        // A location longer than the buffer: ask again with room for all of it.
        buffer.assign(static_cast<std::size_t>(capacity) + 1, u'\0');
        capacity = static_cast<std::uint32_t>(buffer.size());
        status = win::MsiGetProductInfoW(productCode.c_str(), u"InstallLocation", buffer.data(),
                                         &capacity);
    }
    if (status == win::ErrorSuccess) location.assign(buffer.c_str());
    return status;
}

std::uint32_t PublishInstallLocation(win::MsiHandle install) {
    const Text productCode = GetInstallerProperty(install, u"ProductCode");
    Text location;
    const std::uint32_t status = QueryInstallLocation(productCode, location);
    SetInstallerProperty(install, u"INSTALL_PATH", location);
    if (status == win::ErrorSuccess)
        LogInfo(install, FormatText(u"INSTALLPROPERTY_INSTALLLOCATION = %s", {location}));
    else
        LogInfo(install, FormatText(u"Getting INSTALLPROPERTY_INSTALLLOCATION returned value: %d", {status}));
    SetInstallerProperty(install, u"GoConfig", u"0");
    return ActionSucceeded;
}

}  // namespace
}  // namespace ca

CA_EXPORT InitializeProperties(win::MsiHandle install) {
    return ca::CustomActionEntry(install, u"InitializeProperties", ca::OtherFailures::Report, [&] {
        // Only the exact upper-case word removes the whole product.
        if (ca::GetInstallerProperty(install, u"REMOVE") == u"ALL")
            return ca::PublishInstallLocation(install);
        return ca::PublishInstallationProperties(install);
    });
}
