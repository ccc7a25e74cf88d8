// The platform layer on real Windows: every function forwards to Win32.
#include "Platform.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

static_assert(sizeof(char16_t) == sizeof(wchar_t), "UTF-16 texts are wchar_t on Windows");
static_assert(sizeof(win::MsiHandle) == sizeof(MSIHANDLE));

namespace win {
namespace {

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
HKEY H(HKey key) { return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key)); }
HANDLE H(Handle handle) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handle)); }
HMODULE H(Module module) { return reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(module)); }
HRSRC H(ResourceInfo info) { return reinterpret_cast<HRSRC>(static_cast<std::uintptr_t>(info)); }
template <class Opaque, class Pointer> Opaque O(Pointer pointer) {
    return static_cast<Opaque>(reinterpret_cast<std::uintptr_t>(pointer));
}
DWORD* D(std::uint32_t* value) { return reinterpret_cast<DWORD*>(value); }

}  // namespace

std::uint32_t MsiGetPropertyW(MsiHandle install, const char16_t* name, char16_t* value,
                              std::uint32_t* valueChars) noexcept {
    return ::MsiGetPropertyW(install, W(name), W(value), D(valueChars));
}
std::uint32_t MsiSetPropertyW(MsiHandle install, const char16_t* name,
                              const char16_t* value) noexcept {
    return ::MsiSetPropertyW(install, W(name), W(value));
}
MsiHandle MsiCreateRecord(std::uint32_t fieldCount) noexcept { return ::MsiCreateRecord(fieldCount); }
std::uint32_t MsiRecordSetStringW(MsiHandle record, std::uint32_t field,
                                  const char16_t* value) noexcept {
    return ::MsiRecordSetStringW(record, field, W(value));
}
std::int32_t MsiProcessMessage(MsiHandle install, std::uint32_t messageType,
                               MsiHandle record) noexcept {
    return ::MsiProcessMessage(install, static_cast<INSTALLMESSAGE>(messageType), record);
}
std::uint32_t MsiCloseHandle(MsiHandle any) noexcept { return ::MsiCloseHandle(any); }
std::uint32_t MsiGetProductInfoW(const char16_t* product, const char16_t* attribute,
                                 char16_t* value, std::uint32_t* valueChars) noexcept {
    return ::MsiGetProductInfoW(W(product), W(attribute), W(value), D(valueChars));
}

std::int32_t RegOpenKeyW(HKey root, const char16_t* subKey, HKey* result) noexcept {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyW(H(root), W(subKey), &opened);
    *result = O<HKey>(opened);
    return status;
}
std::int32_t RegOpenKeyExW(HKey root, const char16_t* subKey, std::uint32_t options,
                           std::uint32_t access, HKey* result) noexcept {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExW(H(root), W(subKey), options, access, &opened);
    *result = O<HKey>(opened);
    return status;
}
std::int32_t RegQueryValueExW(HKey key, const char16_t* valueName, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* dataBytes) noexcept {
    return ::RegQueryValueExW(H(key), W(valueName), nullptr, D(type), data, D(dataBytes));
}
std::int32_t RegCloseKey(HKey key) noexcept { return ::RegCloseKey(H(key)); }

std::uint32_t ExpandEnvironmentStringsW(const char16_t* source, char16_t* destination,
                                        std::uint32_t destinationChars) noexcept {
    return ::ExpandEnvironmentStringsW(W(source), W(destination), destinationChars);
}

bool CreateProcessW(const char16_t* applicationName, char16_t* commandLine, bool inheritHandles,
                    std::uint32_t creationFlags, const void* environment,
                    const char16_t* currentDirectory, const StartupInfo& startup,
                    ProcessInformation* information) noexcept {
    STARTUPINFOW startupInfo{};
    startupInfo.cb = sizeof startupInfo;
    startupInfo.dwFlags = startup.flags;
    startupInfo.wShowWindow = startup.showWindow;
    PROCESS_INFORMATION processInfo{};
    const BOOL started = ::CreateProcessW(W(applicationName), W(commandLine), nullptr, nullptr,
                                          inheritHandles ? TRUE : FALSE, creationFlags,
                                          const_cast<void*>(environment), W(currentDirectory),
                                          &startupInfo, &processInfo);
    information->process = O<Handle>(processInfo.hProcess);
    information->thread = O<Handle>(processInfo.hThread);
    information->processId = processInfo.dwProcessId;
    information->threadId = processInfo.dwThreadId;
    return started != FALSE;
}
std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) noexcept {
    return ::WaitForSingleObject(H(handle), milliseconds);
}
bool CloseHandle(Handle handle) noexcept { return ::CloseHandle(H(handle)) != FALSE; }
std::uint32_t GetLastError() noexcept { return ::GetLastError(); }

bool AllocateAndInitializeSid(const SidIdentifierAuthority* authority,
                              std::uint8_t subAuthorityCount,
                              const std::uint32_t (&s)[8], Sid* sid) noexcept {
    SID_IDENTIFIER_AUTHORITY winAuthority{};
    for (int i = 0; i < 6; ++i) winAuthority.Value[i] = authority->value[i];
    PSID allocated = nullptr;
    const BOOL ok = ::AllocateAndInitializeSid(&winAuthority, subAuthorityCount, s[0], s[1], s[2],
                                               s[3], s[4], s[5], s[6], s[7], &allocated);
    *sid = O<Sid>(allocated);
    return ok != FALSE;
}
bool LookupAccountSidW(const char16_t* systemName, Sid sid, char16_t* name,
                       std::uint32_t* nameChars, char16_t* domain, std::uint32_t* domainChars,
                       std::uint32_t* use) noexcept {
    SID_NAME_USE nameUse{};
    const BOOL ok = ::LookupAccountSidW(
        W(systemName), reinterpret_cast<PSID>(static_cast<std::uintptr_t>(sid)), W(name),
        D(nameChars), W(domain), D(domainChars), &nameUse);
    *use = static_cast<std::uint32_t>(nameUse);
    return ok != FALSE;
}
void FreeSid(Sid sid) noexcept { ::FreeSid(reinterpret_cast<PSID>(static_cast<std::uintptr_t>(sid))); }

Module ResourceModule() noexcept {
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ResourceModule), &self);
    return O<Module>(self);
}
ResourceInfo FindResourceW(Module module, std::uint16_t id, std::uint16_t type) noexcept {
    return O<ResourceInfo>(::FindResourceW(H(module), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type)));
}
ResourceInfo FindResourceExW(Module module, std::uint16_t type, std::uint16_t id,
                             std::uint16_t language) noexcept {
    return O<ResourceInfo>(
        ::FindResourceExW(H(module), MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(id), language));
}
ResourceData LoadResource(Module module, ResourceInfo resource) noexcept {
    return O<ResourceData>(::LoadResource(H(module), H(resource)));
}
const void* LockResource(ResourceData data) noexcept {
    return ::LockResource(reinterpret_cast<HGLOBAL>(static_cast<std::uintptr_t>(data)));
}
std::uint32_t SizeofResource(Module module, ResourceInfo resource) noexcept {
    return ::SizeofResource(H(module), H(resource));
}

bool GetStringTypeW(std::uint32_t infoType, const char16_t* source, int count,
                    std::uint16_t* charTypes) noexcept {
    return ::GetStringTypeW(infoType, W(source), count, reinterpret_cast<WORD*>(charTypes)) != FALSE;
}

}  // namespace win

#ifdef __GLIBCXX__
// The static GNU C++ runtime installs a terminate handler that prints the
// demangled exception type, which pulls its whole demangler (about 70 KB)
// into the DLL. No exception leaves an action, and a custom action has no
// console to print to: ending the process is all a terminate could do here.
#include <cstdlib>
#include <exception>
#include <new>
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The runtime's own raisers of std::length_error and std::logic_error build
// their messages in the runtime's string classes, which pulls the narrow
// string, its copy-on-write twin and std::random_device into the DLL (about
// 40 KB). The actions tell these failures apart only as "memory" or
// "anything else", so the raisers here throw exceptions that carry no text:
// a text too long to allocate is memory exhaustion, a position out of range
// is a failure of its own kind.
namespace {
struct ContractFailure : std::exception {
    const char* what() const noexcept override { return "invalid argument to a text operation"; }
};
}  // namespace
namespace std {
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_length_error(const char*) { throw std::bad_alloc(); }
void __throw_logic_error(const char*) { throw ContractFailure(); }
void __throw_out_of_range_fmt(const char*, ...) { throw ContractFailure(); }
}  // namespace std
#endif
