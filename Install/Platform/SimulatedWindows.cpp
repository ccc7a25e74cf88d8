#include "SimulatedWindows.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace sim {
namespace {

Windows* active = nullptr;
int platformDepth = 0;

Text Copy(const char16_t* text) { return text ? Text(text) : Text(); }

char16_t LowerChar(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// Copies `value` into an installer-style buffer: ERROR_MORE_DATA with the
// length when it does not fit, the length without terminator otherwise.
std::uint32_t CopyOut(const Text& value, char16_t* buffer, std::uint32_t* capacity) {
    if (capacity == nullptr) return buffer ? win::ErrorInvalidParameter : win::ErrorSuccess;
    const std::uint32_t length = static_cast<std::uint32_t>(value.size());
    if (buffer == nullptr) {
        *capacity = length;
        return win::ErrorSuccess;
    }
    if (length >= *capacity) {
        if (*capacity > 0) {
            std::copy_n(value.begin(), *capacity - 1, buffer);
            buffer[*capacity - 1] = u'\0';
        }
        *capacity = length;
        return win::ErrorMoreData;
    }
    std::copy(value.begin(), value.end(), buffer);
    buffer[length] = u'\0';
    *capacity = length;
    return win::ErrorSuccess;
}

bool IsProductCode(const Text& code) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (code.size() != 38 || code.front() != u'{' || code.back() != u'}') return false;
    for (std::size_t i = 1; i < 37; ++i) {
        const char16_t c = code[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
        if (dash ? c != u'-' : !hex) return false;
    }
    return true;
}

// A string block in the journal: its number, as the resource name.
Text BlockName(std::uint16_t block) {
    const std::string digits = std::to_string(block);
    return Text(digits.begin(), digits.end());
}

std::uintptr_t Raw(win::HKey key) { return static_cast<std::uintptr_t>(key); }
std::uintptr_t Raw(win::Handle handle) { return static_cast<std::uintptr_t>(handle); }

}  // namespace

std::string SidValue::ToString() const {
    std::uint64_t authorityNumber = 0;
    for (const std::uint8_t byte : authority) authorityNumber = (authorityNumber << 8) | byte;
    std::string text = "S-1-" + std::to_string(authorityNumber);
    for (std::uint8_t i = 0; i < count && i < 8; ++i) text += "-" + std::to_string(subAuthorities[i]);
    return text;
}

Text Lower(const Text& text) {
    Text lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerChar);
    return lower;
}

std::string Narrow(const Text& text) {
    std::string narrow;
    for (const char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            narrow.push_back(static_cast<char>(c));
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
            narrow += escaped;
        }
    }
    return narrow;
}

PlatformCall::PlatformCall() noexcept { ++platformDepth; }
PlatformCall::~PlatformCall() { --platformDepth; }
bool InsidePlatformCall() noexcept { return platformDepth > 0; }

Windows& Active() {
    if (active == nullptr) {
        std::fputs("platform call without a simulated Windows\n", stderr);
        std::abort();
    }
    return *active;
}

Windows::Windows() : previous_(active) {
    active = this;
    accounts["S-1-3-0"] = {u"CREATOR OWNER", u"", 0};
    accounts["S-1-5-32-545"] = {u"Users", u"BUILTIN", 0};
    accounts["S-1-5-32-544"] = {u"Administrators", u"BUILTIN", 0};
    accounts["S-1-5-20"] = {u"NETWORK SERVICE", u"NT AUTHORITY", 0};
#ifdef BRENNOWICK_STRING_TABLE_RES
    LoadResourceFile(BRENNOWICK_STRING_TABLE_RES);
#endif
}

Windows::~Windows() { active = previous_; }

bool Windows::Enter(const char* function, const Text& argument) {
    journal.push_back({function, argument});
    return ++callsMade == failCallNumber;
}

std::size_t Windows::CallCount(const std::string& function) const {
    return static_cast<std::size_t>(std::count_if(
        journal.begin(), journal.end(), [&](const Call& call) { return call.function == function; }));
}

std::size_t Windows::OpenHandleCount() const {
    return records.size() + openKeys.size() + openProcesses.size() + openThreads.size() +
           openSids.size();
}

std::string Windows::OpenHandleReport() const {
    std::ostringstream report;
    report << records.size() << " records, " << openKeys.size() << " registry keys, "
           << openProcesses.size() << " process handles, " << openThreads.size()
           << " thread handles, " << openSids.size() << " SIDs open";
    return report.str();
}

void Windows::CreateKey(View view, const Text& key) { TreeOf(view).keys[Lower(key)]; }

void Windows::SetValue(View view, const Text& key, const Text& name, std::uint32_t type,
                       std::vector<std::uint8_t> bytes) {
    TreeOf(view).keys[Lower(key)][Lower(name)] = RegistryValue{type, std::move(bytes)};
}

void Windows::SetString(View view, const Text& key, const Text& name, const Text& text,
                        std::uint32_t type) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t c : text + u'\0') {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    SetValue(view, key, name, type, std::move(bytes));
}

void Windows::SetDword(View view, const Text& key, const Text& name, std::uint32_t value) {
    SetValue(view, key, name, win::RegDword,
             {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
              static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

void Windows::SetStringBoth(const Text& key, const Text& name, const Text& text) {
    SetString(View::Registry32, key, name, text);
    SetString(View::Registry64, key, name, text);
}

void Windows::SetDwordBoth(const Text& key, const Text& name, std::uint32_t value) {
    SetDword(View::Registry32, key, name, value);
    SetDword(View::Registry64, key, name, value);
}

void Windows::LoadResourceFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    auto word = [&](std::size_t at) -> std::uint32_t {
        return at + 2 <= bytes.size() ? bytes[at] | (bytes[at + 1] << 8) : 0u;
    };
    auto dword = [&](std::size_t at) -> std::uint32_t { return word(at) | (word(at + 2) << 16); };
    std::size_t at = 0;
    while (at + 32 <= bytes.size()) {
        const std::uint32_t dataSize = dword(at);
        const std::uint32_t headerSize = dword(at + 4);
        std::size_t field = at + 8;
        // Type and name: 0xFFFF and an ordinal, or a NUL-terminated text.
        auto readId = [&](std::uint32_t& ordinal) {
            if (word(field) == 0xFFFF) {
                ordinal = word(field + 2);
                field += 4;
            } else {
                ordinal = 0;
                while (field + 2 <= bytes.size() && word(field) != 0) field += 2;
                field += 2;
            }
        };
        std::uint32_t type = 0, name = 0;
        readId(type);
        readId(name);
        field = (field + 3) & ~std::size_t{3};
        const std::uint16_t language = static_cast<std::uint16_t>(word(field + 6));
        const std::size_t data = at + headerSize;
        if (type == win::RtString && data + dataSize <= bytes.size())
            stringBlocks[static_cast<std::uint16_t>(name)][language].assign(
                bytes.begin() + static_cast<std::ptrdiff_t>(data),
                bytes.begin() + static_cast<std::ptrdiff_t>(data + dataSize));
        at = (data + dataSize + 3) & ~std::size_t{3};
    }
}

Text Windows::FormatTemplate(const Text& field0) const {
    Text shown;
    for (std::size_t i = 0; i < field0.size(); ++i) {
        if (field0[i] != u'[') {
            shown.push_back(field0[i]);
            continue;
        }
        if (i + 3 < field0.size() && field0[i + 1] == u'\\' && field0[i + 3] == u']') {
            shown.push_back(field0[i + 2]);  // [\x] is the literal x
            i += 3;
            continue;
        }
        const std::size_t close = field0.find(u']', i + 1);
        if (close == Text::npos) {
            shown.append(field0, i, Text::npos);
            break;
        }
        const Text name = field0.substr(i + 1, close - i - 1);
        const auto property = properties.find(name);
        if (property != properties.end()) shown += property->second;
        i = close;
    }
    return shown;
}

}  // namespace sim

// --- The platform functions on the simulated Windows ---
namespace win {

using sim::Active;
using sim::Text;

std::uint32_t MsiGetPropertyW(MsiHandle install, const char16_t* name, char16_t* value,
                              std::uint32_t* valueChars) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    const Text key = name ? Text(name) : Text();
    if (w.Enter("MsiGetPropertyW", key)) {
        // 234 comes as Windows gives it: the value no longer fits the buffer, and
        // the capacity tells its new length (as if it had grown by a character).
        if (w.injectedError == ErrorMoreData && valueChars != nullptr) {
            const auto found = w.properties.find(key);
            *valueChars = static_cast<std::uint32_t>(found != w.properties.end() ? found->second.size() + 1 : 1);
        }
        return w.injectedError ? w.injectedError : ErrorInvalidHandle;
    }
    if (install != sim::Windows::Session) return ErrorInvalidHandle;
    if (name == nullptr) return ErrorInvalidParameter;
    if (const auto failing = w.failingPropertyReads.find(key); failing != w.failingPropertyReads.end())
        return failing->second;
    Text current;
    if (const auto found = w.properties.find(key); found != w.properties.end()) current = found->second;
    if (const auto growing = w.growingProperties.find(key); growing != w.growingProperties.end()) {
        if (w.propertyReadCounts[key]++ >= growing->second) {
            current.push_back(u'+');
            w.properties[key] = current;
        }
    }
    return sim::CopyOut(current, value, valueChars);
}

std::uint32_t MsiSetPropertyW(MsiHandle install, const char16_t* name, const char16_t* value) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    if (w.Enter("MsiSetPropertyW", sim::Copy(name))) return w.injectedError ? w.injectedError : ErrorInvalidHandle;
    if (install != sim::Windows::Session) return ErrorInvalidHandle;
    if (name == nullptr) return ErrorInvalidParameter;
    const Text text = sim::Copy(value);
    w.propertyWrites.push_back({name, text});
    if (text.empty())
        w.properties.erase(name);
    else
        w.properties[name] = text;
    return ErrorSuccess;
}

MsiHandle MsiCreateRecord(std::uint32_t fieldCount) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    if (w.Enter("MsiCreateRecord")) return 0;
    if (fieldCount > 65535) return 0;
    const MsiHandle record = static_cast<MsiHandle>(w.nextHandle++);
    w.records[record] = Text();
    return record;
}

std::uint32_t MsiRecordSetStringW(MsiHandle record, std::uint32_t field, const char16_t* value) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    if (w.Enter("MsiRecordSetStringW", sim::Copy(value))) return w.injectedError ? w.injectedError : ErrorInvalidHandle;
    const auto found = w.records.find(record);
    if (found == w.records.end()) return ErrorInvalidHandle;
    if (field != 0) return ErrorInvalidParameter;
    found->second = sim::Copy(value);
    return ErrorSuccess;
}

std::int32_t MsiProcessMessage(MsiHandle install, std::uint32_t messageType, MsiHandle record) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    const auto found = w.records.find(record);
    if (w.Enter("MsiProcessMessage", found != w.records.end() ? found->second : Text()))
        return w.injectedError ? static_cast<std::int32_t>(w.injectedError) : -1;
    if (install != sim::Windows::Session || found == w.records.end()) return -1;
    sim::Message message{messageType, found->second, w.FormatTemplate(found->second)};
    w.messages.push_back(message);
    return w.answer ? w.answer(message) : 1;
}

std::uint32_t MsiCloseHandle(MsiHandle any) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    w.Enter("MsiCloseHandle");
    if (any == 0 || any == sim::Windows::Session) return ErrorSuccess;
    return w.records.erase(any) ? ErrorSuccess : ErrorInvalidHandle;
}

std::uint32_t MsiGetProductInfoW(const char16_t* product, const char16_t* attribute, char16_t* value,
                                 std::uint32_t* valueChars) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    const Text code = sim::Copy(product);
    if (w.Enter("MsiGetProductInfoW", code)) return w.injectedError ? w.injectedError : ErrorUnknownProduct;
    if (!sim::IsProductCode(code)) return ErrorInvalidParameter;
    const auto found = w.installLocations.find(code);
    if (found == w.installLocations.end()) return ErrorUnknownProduct;
    if (sim::Copy(attribute) != u"InstallLocation") return 1608;  // ERROR_UNKNOWN_PROPERTY
    return sim::CopyOut(found->second, value, valueChars);
}

namespace {

// Resolves a root and a subkey to a registry path; false for a bad root.
bool KeyPath(sim::Windows& w, HKey root, const char16_t* subKey, sim::View view, Text& path,
             sim::View& resolvedView) {
    Text base;
    resolvedView = view;
    if (root == HKeyLocalMachine) {
    } else if (const auto open = w.openKeys.find(sim::Raw(root)); open != w.openKeys.end()) {
        base = open->second.path;
        resolvedView = open->second.view;
    } else {
        return false;
    }
    const Text sub = sim::Lower(sim::Copy(subKey));
    path = base.empty() ? sub : (sub.empty() ? base : base + u'\\' + sub);
    return true;
}

bool KeyExists(sim::Windows& w, sim::View view, const Text& path) {
    if (path.empty()) return true;
    for (const auto& [key, values] : w.TreeOf(view).keys)
        if (key == path || (key.size() > path.size() && key.compare(0, path.size(), path) == 0 &&
                            key[path.size()] == u'\\'))
            return true;
    return false;
}

std::int32_t OpenKey(sim::Windows& w, HKey root, const char16_t* subKey, sim::View view, HKey* result) {
    *result = HKey{};
    Text path;
    sim::View resolved;
    if (!KeyPath(w, root, subKey, view, path, resolved)) return static_cast<std::int32_t>(ErrorInvalidHandle);
    if (!KeyExists(w, resolved, path)) return static_cast<std::int32_t>(ErrorFileNotFound);
    const std::uintptr_t handle = w.nextHandle++;
    w.openKeys[handle] = {resolved, path};
    *result = HKey{handle};
    return 0;
}

}  // namespace

std::int32_t RegOpenKeyW(HKey root, const char16_t* subKey, HKey* result) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    if (w.Enter("RegOpenKeyW", sim::Copy(subKey))) {
        *result = HKey{};
        return static_cast<std::int32_t>(w.injectedError ? w.injectedError : ErrorFileNotFound);
    }
    // The library is a 32-bit module: its default view is the 32-bit one.
    return OpenKey(w, root, subKey, sim::View::Registry32, result);
}

std::int32_t RegOpenKeyExW(HKey root, const char16_t* subKey, std::uint32_t options,
                           std::uint32_t access, HKey* result) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    if (w.Enter("RegOpenKeyExW", sim::Copy(subKey))) {
        *result = HKey{};
        return static_cast<std::int32_t>(w.injectedError ? w.injectedError : ErrorFileNotFound);
    }
    if (options != 0) return static_cast<std::int32_t>(ErrorInvalidParameter);
    const sim::View view = (access & KeyWow64_64Key) ? sim::View::Registry64 : sim::View::Registry32;
    return OpenKey(w, root, subKey, view, result);
}

std::int32_t RegQueryValueExW(HKey key, const char16_t* valueName, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* dataBytes) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    if (w.Enter("RegQueryValueExW", sim::Copy(valueName)))
        return static_cast<std::int32_t>(w.injectedError ? w.injectedError : ErrorFileNotFound);
    const auto open = w.openKeys.find(sim::Raw(key));
    if (open == w.openKeys.end()) return static_cast<std::int32_t>(ErrorInvalidHandle);
    if (data != nullptr && dataBytes == nullptr) return static_cast<std::int32_t>(ErrorInvalidParameter);
    const auto& keys = w.TreeOf(open->second.view).keys;
    const auto values = keys.find(open->second.path);
    if (values == keys.end()) return static_cast<std::int32_t>(ErrorFileNotFound);
    const auto value = values->second.find(sim::Lower(sim::Copy(valueName)));
    if (value == values->second.end()) return static_cast<std::int32_t>(ErrorFileNotFound);
    if (type) *type = value->second.type;
    const auto size = static_cast<std::uint32_t>(value->second.bytes.size());
    if (data == nullptr) {
        if (dataBytes) *dataBytes = size;
        return 0;
    }
    if (*dataBytes < size) {
        *dataBytes = size;
        return static_cast<std::int32_t>(ErrorMoreData);
    }
    std::copy(value->second.bytes.begin(), value->second.bytes.end(), data);
    *dataBytes = size;
    return 0;
}

std::int32_t RegCloseKey(HKey key) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    w.Enter("RegCloseKey");
    return w.openKeys.erase(sim::Raw(key)) ? 0 : static_cast<std::int32_t>(ErrorInvalidHandle);
}

std::uint32_t ExpandEnvironmentStringsW(const char16_t* source, char16_t* destination,
                                        std::uint32_t destinationChars) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    const Text text = sim::Copy(source);
    if (w.Enter("ExpandEnvironmentStringsW", text)) {
        w.lastError = w.injectedError ? w.injectedError : ErrorNotEnoughMemory;
        return 0;
    }
    Text expanded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t close = text[i] == u'%' ? text.find(u'%', i + 1) : Text::npos;
        if (close == Text::npos) {
            expanded.push_back(text[i]);
            continue;
        }
        const Text name = sim::Lower(text.substr(i + 1, close - i - 1));
        const auto variable = std::find_if(w.environment.begin(), w.environment.end(),
                                           [&](const auto& entry) { return sim::Lower(entry.first) == name; });
        if (variable == w.environment.end()) {
            expanded.push_back(text[i]);  // an unknown name stays as it is
            continue;
        }
        expanded += variable->second;
        i = close;
    }
    const auto needed = static_cast<std::uint32_t>(expanded.size() + 1);
    if (destination != nullptr && destinationChars >= needed)
        std::copy(expanded.c_str(), expanded.c_str() + needed, destination);
    return needed;
}

bool CreateProcessW(const char16_t* applicationName, char16_t* commandLine, bool inheritHandles,
                    std::uint32_t creationFlags, const void* environment,
                    const char16_t* currentDirectory, const StartupInfo& startup,
                    ProcessInformation* information) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    *information = ProcessInformation{};
    sim::ProcessStart start;
    if (applicationName) start.applicationName = Text(applicationName);
    start.commandLine = sim::Copy(commandLine);
    start.inheritHandles = inheritHandles;
    start.creationFlags = creationFlags;
    start.environmentGiven = environment != nullptr;
    if (currentDirectory) start.currentDirectory = Text(currentDirectory);
    start.startup = startup;
    if (w.Enter("CreateProcessW", start.commandLine)) {
        w.lastError = w.injectedError ? w.injectedError : ErrorFileNotFound;
        return false;
    }
    if (const std::uint32_t refused = w.startResult ? w.startResult(start) : 0; refused != 0) {
        w.lastError = refused;
        return false;
    }
    // CreateProcessW may write into the command line: make sure callers cope.
    if (commandLine != nullptr && commandLine[0] != u'\0') commandLine[0] = u'\0';
    w.starts.push_back(start);
    const std::uintptr_t process = w.nextHandle++;
    const std::uintptr_t thread = w.nextHandle++;
    w.openProcesses.insert(process);
    w.openThreads.insert(thread);
    w.processStartOf[process] = w.starts.size() - 1;
    information->process = Handle{process};
    information->thread = Handle{thread};
    information->processId = static_cast<std::uint32_t>(process);
    information->threadId = static_cast<std::uint32_t>(thread);
    return true;
}

std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    if (w.Enter("WaitForSingleObject")) return 0xFFFFFFFF;  // WAIT_FAILED
    if (!w.openProcesses.count(sim::Raw(handle))) return 0xFFFFFFFF;
    auto& start = w.starts[w.processStartOf[sim::Raw(handle)]];
    start.waited = true;
    start.waitMilliseconds = milliseconds;
    return 0;  // WAIT_OBJECT_0: the process has ended
}

bool CloseHandle(Handle handle) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    w.Enter("CloseHandle");
    const std::uintptr_t raw = sim::Raw(handle);
    if (w.openProcesses.erase(raw) || w.openThreads.erase(raw)) return true;
    w.lastError = ErrorInvalidHandle;
    return false;
}

std::uint32_t GetLastError() noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    w.Enter("GetLastError");
    return w.lastError;
}

bool AllocateAndInitializeSid(const SidIdentifierAuthority* authority, std::uint8_t subAuthorityCount,
                              const std::uint32_t (&subAuthorities)[8], Sid* sid) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    *sid = Sid{};
    const bool injected = w.Enter("AllocateAndInitializeSid");
    if (injected || w.failSidAllocationWith != 0) {
        w.lastError = injected && w.injectedError ? w.injectedError
                      : w.failSidAllocationWith   ? w.failSidAllocationWith
                                                  : ErrorNotEnoughMemory;
        return false;
    }
    if (subAuthorityCount == 0 || subAuthorityCount > 8) {
        w.lastError = ErrorInvalidParameter;
        return false;
    }
    sim::SidValue value;
    std::copy(authority->value, authority->value + 6, value.authority);
    value.count = subAuthorityCount;
    std::copy(subAuthorities, subAuthorities + 8, value.subAuthorities);
    w.allocatedSids.push_back(value);
    const std::uintptr_t handle = w.nextHandle++;
    w.openSids[handle] = w.allocatedSids.size() - 1;
    *sid = Sid{handle};
    return true;
}

bool LookupAccountSidW(const char16_t* systemName, Sid sid, char16_t* name, std::uint32_t* nameChars,
                       char16_t* domain, std::uint32_t* domainChars, std::uint32_t* use) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    if (w.Enter("LookupAccountSidW")) {
        w.lastError = w.injectedError ? w.injectedError : ErrorNoneMapped;
        return false;
    }
    const auto open = w.openSids.find(static_cast<std::uintptr_t>(sid));
    if (systemName != nullptr || open == w.openSids.end()) {
        w.lastError = ErrorInvalidParameter;
        return false;
    }
    const auto account = w.accounts.find(w.allocatedSids[open->second].ToString());
    if (account == w.accounts.end()) {
        w.lastError = ErrorNoneMapped;
        return false;
    }
    if (account->second.failWith != 0) {
        w.lastError = account->second.failWith;
        return false;
    }
    const Text& accountName = account->second.name;
    const Text& accountDomain = account->second.domain;
    if (accountName.size() + 1 > *nameChars || accountDomain.size() + 1 > *domainChars) {
        *nameChars = static_cast<std::uint32_t>(accountName.size() + 1);
        *domainChars = static_cast<std::uint32_t>(accountDomain.size() + 1);
        w.lastError = ErrorInsufficientBuffer;
        return false;
    }
    std::copy(accountName.c_str(), accountName.c_str() + accountName.size() + 1, name);
    std::copy(accountDomain.c_str(), accountDomain.c_str() + accountDomain.size() + 1, domain);
    *nameChars = static_cast<std::uint32_t>(accountName.size());
    *domainChars = static_cast<std::uint32_t>(accountDomain.size());
    *use = 5;  // SidTypeWellKnownGroup
    return true;
}

void FreeSid(Sid sid) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    w.Enter("FreeSid");
    w.openSids.erase(static_cast<std::uintptr_t>(sid));
    if (w.freeSidSetsLastError != 0) w.lastError = w.freeSidSetsLastError;
}

Module ResourceModule() noexcept { return Module{0x10000000}; }

namespace {

ResourceInfo FoundResource(sim::Windows& w, std::uint16_t block, std::uint16_t language) {
    const std::uintptr_t handle = w.nextHandle++;
    w.resources[handle] = {block, language};
    return ResourceInfo{handle};
}

}  // namespace

ResourceInfo FindResourceW(Module module, std::uint16_t id, std::uint16_t type) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    if (w.Enter("FindResourceW", sim::BlockName(id)) || module != ResourceModule() || type != RtString) {
        w.lastError = w.injectedError ? w.injectedError : ErrorResourceNameNotFound;
        return ResourceInfo{};
    }
    const auto block = w.stringBlocks.find(id);
    if (block == w.stringBlocks.end() || block->second.empty()) {
        w.lastError = ErrorResourceNameNotFound;
        return ResourceInfo{};
    }
    // One variant for the whole block: the user-interface language, then its
    // primary language, then any variant of that primary language, then US
    // English, then the first there is.
    const auto& variants = block->second;
    const std::uint16_t primary = w.uiLanguage & 0x3FF;
    for (const std::uint16_t candidate : {w.uiLanguage, primary})
        if (variants.count(candidate)) return FoundResource(w, id, candidate);
    for (const auto& [language, bytes] : variants)
        if ((language & 0x3FF) == primary) return FoundResource(w, id, language);
    if (variants.count(0x0409)) return FoundResource(w, id, 0x0409);
    return FoundResource(w, id, variants.begin()->first);
}

ResourceInfo FindResourceExW(Module module, std::uint16_t type, std::uint16_t id,
                             std::uint16_t language) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    if (w.Enter("FindResourceExW", sim::BlockName(id)) || module != ResourceModule() || type != RtString) {
        w.lastError = w.injectedError ? w.injectedError : ErrorResourceNameNotFound;
        return ResourceInfo{};
    }
    const auto block = w.stringBlocks.find(id);
    if (block == w.stringBlocks.end() || !block->second.count(language)) {
        w.lastError = block == w.stringBlocks.end() ? ErrorResourceNameNotFound : ErrorResourceLangNotFound;
        return ResourceInfo{};
    }
    return FoundResource(w, id, language);
}

ResourceData LoadResource(Module module, ResourceInfo resource) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    if (w.Enter("LoadResource") || module != ResourceModule() ||
        !w.resources.count(static_cast<std::uintptr_t>(resource)))
        return ResourceData{};
    return ResourceData{static_cast<std::uintptr_t>(resource)};
}

const void* LockResource(ResourceData data) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    const auto found = w.resources.find(static_cast<std::uintptr_t>(data));
    if (w.Enter("LockResource") || found == w.resources.end()) return nullptr;
    const auto& bytes = w.stringBlocks[found->second.block][found->second.language];
    static const std::uint8_t emptyBlock[1] = {0};
    return bytes.empty() ? emptyBlock : bytes.data();
}

std::uint32_t SizeofResource(Module module, ResourceInfo resource) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    const auto found = w.resources.find(static_cast<std::uintptr_t>(resource));
    if (w.Enter("SizeofResource") || module != ResourceModule() || found == w.resources.end()) return 0;
    return static_cast<std::uint32_t>(w.stringBlocks[found->second.block][found->second.language].size());
}

bool GetStringTypeW(std::uint32_t infoType, const char16_t* source, int count,
                    std::uint16_t* charTypes) noexcept {
    const sim::PlatformCall inPlatform;
    auto& w = Active();
    if (w.Enter("GetStringTypeW") || infoType != CtCType1 || count < 0) return false;
    for (int i = 0; i < count; ++i) {
        const char16_t c = source[i];
        const bool space = (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 ||
                           c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
                           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
        charTypes[i] = space ? C1Space : 0;
    }
    return true;
}

}  // namespace win
