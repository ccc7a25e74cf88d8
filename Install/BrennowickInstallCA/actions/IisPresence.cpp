// FindIIS and CheckIfIIS7: whether IIS is installed, and whether it is 7.0 or
// 7.5, from the InetStp key of the default registry view.
#include "../Actions.h"
#include "../Owners.h"
#include "../SessionServices.h"
#include "RegistryReaders.h"

#include <algorithm>

namespace ca {
namespace {

constexpr const char16_t* InetStpKey = u"SOFTWARE\\Microsoft\\InetStp";

// Copies the text of a query buffer, up to its first NUL and never past the
// characters that the query stored.
Text TextUpToNul(const Text& buffer, std::uint32_t storedBytes) {
    const std::size_t stored = std::min<std::size_t>(storedBytes / 2, buffer.size());
    const TextView view(buffer.data(), stored);
    return Text(view.substr(0, view.find(u'\0')));
}

std::int32_t ExpandEnvironmentReferences(Text& text) {
    const std::uint32_t needed = win::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0) return static_cast<std::int32_t>(win::GetLastError());
    Text expanded(needed, u'\0');
    const std::uint32_t written = win::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed);
    if (written == 0) return static_cast<std::int32_t>(win::GetLastError());
    text.assign(expanded.c_str());
    return static_cast<std::int32_t>(win::ErrorSuccess);
}

}  // namespace

std::int32_t ReadRegistryString(win::HKey root, const char16_t* subKey, const char16_t* valueName,
                                Text& out) {
    out.clear();
    UniqueHKey key;
    const std::int32_t opened = win::RegOpenKeyW(root, subKey, key.put());
    if (opened != 0) return opened;

    std::uint32_t type = 0;
    std::uint32_t bytes = 0;
    const std::int32_t sized = win::RegQueryValueExW(key.get(), valueName, &type, nullptr, &bytes);
    if (sized != 0) return sized;
    if (type != win::RegSz && type != win::RegExpandSz)
        return static_cast<std::int32_t>(win::ErrorUnsupportedType);

    // One character more than the data can fill, so the buffer always ends in NUL.
    Text buffer(bytes / 2 + 1, u'\0');
    std::uint32_t storedBytes = bytes;
    const std::int32_t read = win::RegQueryValueExW(
        key.get(), valueName, &type, reinterpret_cast<std::uint8_t*>(buffer.data()), &storedBytes);
    out = TextUpToNul(buffer, read == 0 ? storedBytes : bytes);
    key.reset();

    if (read != 0) return read;
    if (type != win::RegExpandSz) return static_cast<std::int32_t>(win::ErrorSuccess);
    return ExpandEnvironmentReferences(out);
}

}  // namespace ca

CA_EXPORT FindIIS(win::MsiHandle install) {
    return ca::CustomActionEntry(install, u"FindIIS", ca::OtherFailures::Report, [&] {
        ca::UniqueHKey key;
        const bool found = win::RegOpenKeyW(win::HKeyLocalMachine, ca::InetStpKey, key.put()) == 0;
        key.reset();
        ca::SetInstallerProperty(install, u"IIS_FOUND", found ? u"1" : u"0");
        return ca::ActionSucceeded;
    });
}

CA_EXPORT CheckIfIIS7(win::MsiHandle install) {
    return ca::CustomActionEntry(install, u"CheckIfIIS7", ca::OtherFailures::Report, [&] {
        ca::Text version;
        ca::ReadRegistryString(win::HKeyLocalMachine, ca::InetStpKey, u"VersionString", version);
        const bool iis7 = version == u"Version 7.0" || version == u"Version 7.5";
        ca::SetInstallerProperty(install, u"IIS7_FOUND", iis7 ? u"1" : u"0");
        return ca::ActionSucceeded;
    });
}
