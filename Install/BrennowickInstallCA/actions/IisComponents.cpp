// CheckIISComponents and CheckIIS7CompatibilityComponents: whether the IIS
// components and ASP.NET that the product needs are installed. DWORD values
// are read through the registry view that IS_OS_64BIT selects.
#include "../Actions.h"
#include "../Owners.h"
#include "../SessionServices.h"
#include "RegistryReaders.h"

namespace ca {
namespace {

constexpr std::uint32_t NotRead = 4;  // a value that no read stored

using DwordReader = std::int32_t (*)(win::HKey, const char16_t*, const char16_t*, std::uint32_t&);

// The data goes straight into the caller's variable and the type is tested
// afterwards: a four-byte value of another type changes the variable too.
std::int32_t QueryDword(const UniqueHKey& key, const char16_t* valueName, std::uint32_t& value) {
    std::uint32_t type = 0;
    std::uint32_t size = sizeof value;
    const std::int32_t queried = win::RegQueryValueExW(
        key.get(), valueName, &type, reinterpret_cast<std::uint8_t*>(&value), &size);
    if (queried != 0) return queried;
    return type == win::RegDword ? 0 : static_cast<std::int32_t>(win::ErrorInvalidData);
}

// Only the exact text "1" in IS_OS_64BIT means 64-bit Windows.
DwordReader ReaderForThisWindows(win::MsiHandle install) {
    return GetInstallerProperty(install, u"IS_OS_64BIT") == u"1" ? &ReadRegistryDword64
                                                                 : &ReadRegistryDword;
}

const char16_t* YesNo(bool answer) { return answer ? u"1" : u"0"; }

}  // namespace

std::int32_t ReadRegistryDword(win::HKey root, const char16_t* subKey, const char16_t* valueName,
                               std::uint32_t& value) {
    UniqueHKey key;
    const std::int32_t opened = win::RegOpenKeyW(root, subKey, key.put());
    if (opened != 0) return opened;
    return QueryDword(key, valueName, value);
}

std::int32_t ReadRegistryDword64(win::HKey root, const char16_t* subKey,
                                 const char16_t* valueName, std::uint32_t& value) {
    UniqueHKey key;
    const std::int32_t opened =
        win::RegOpenKeyExW(root, subKey, 0, win::KeyRead | win::KeyWow64_64Key, key.put());
    if (opened != 0) return opened;
    return QueryDword(key, valueName, value);
}

}  // namespace ca

CA_EXPORT CheckIISComponents(win::MsiHandle install) {
    return ca::CustomActionEntry(install, u"CheckIISComponents", ca::OtherFailures::Report, [&] {
        constexpr const char16_t* Subcomponents =
            u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\OC Manager\\Subcomponents";
        std::uint32_t common = ca::NotRead;
        std::uint32_t www = ca::NotRead;
        const ca::DwordReader read = ca::ReaderForThisWindows(install);
        read(win::HKeyLocalMachine, Subcomponents, u"iis_common", common);
        read(win::HKeyLocalMachine, Subcomponents, u"iis_www", www);

        // ASP.NET 2.0 is registered when its version text can be read; the
        // text itself does not matter.
        ca::Text assemblyVersion;
        const std::int32_t aspNet = ca::ReadRegistryString(
            win::HKeyLocalMachine, u"SOFTWARE\\Microsoft\\ASP.NET\\2.0.50727.0", u"AssemblyVersion",
            assemblyVersion);

        // The two values are compared with each other: on Windows versions
        // without these records both are unread, and that counts as a match.
        ca::SetInstallerProperty(install, u"LC2_ASPNET", ca::YesNo(common == www && aspNet == 0));
        return ca::ActionSucceeded;
    });
}

CA_EXPORT CheckIIS7CompatibilityComponents(win::MsiHandle install) {
    return ca::CustomActionEntry(
        install, u"CheckIIS7CompatibilityComponents", ca::OtherFailures::Report, [&] {
            constexpr const char16_t* Components = u"SOFTWARE\\Microsoft\\InetStp\\Components";
            std::uint32_t metabase = ca::NotRead;
            std::uint32_t wmiCompatibility = ca::NotRead;
            std::uint32_t legacyScripts = ca::NotRead;
            std::uint32_t aspNet = ca::NotRead;
            const ca::DwordReader read = ca::ReaderForThisWindows(install);
            read(win::HKeyLocalMachine, Components, u"Metabase", metabase);
            read(win::HKeyLocalMachine, Components, u"WMICompatibility", wmiCompatibility);
            read(win::HKeyLocalMachine, Components, u"LegacyScripts", legacyScripts);
            read(win::HKeyLocalMachine, Components, u"ASPNET", aspNet);

            ca::SetInstallerProperty(install, u"LC1_IIS6_COMPAT",
                                     ca::YesNo(metabase == 1 && wmiCompatibility == 1 && legacyScripts == 1));
            ca::SetInstallerProperty(install, u"LC2_ASPNET", ca::YesNo(aspNet == 1));
            return ca::ActionSucceeded;
        });
}
