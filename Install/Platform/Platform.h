// The Windows functions that the library calls, in portable types.
//
// The DLL build forwards every function to the Win32 API (Win32Platform.cpp);
// the host build runs the same library code against a simulated Windows
// (SimulatedWindows.cpp). Texts are UTF-16 as char16_t, which has the size and
// encoding of a Windows wchar_t. Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>

namespace win {

// Installer handles (MSIHANDLE) are 32-bit on every Windows.
using MsiHandle = std::uint32_t;

// Opaque kernel and registry handles, pointer-sized as on Windows.
enum class HKey : std::uintptr_t {};
enum class Handle : std::uintptr_t {};
enum class Module : std::uintptr_t {};
enum class ResourceInfo : std::uintptr_t {};
enum class ResourceData : std::uintptr_t {};
enum class Sid : std::uintptr_t {};

// HKEY_LOCAL_MACHINE is the sign-extended 32-bit value 0x80000002.
inline constexpr HKey HKeyLocalMachine{
    static_cast<std::uintptr_t>(static_cast<std::intptr_t>(std::int32_t{-0x7FFFFFFE}))};

// Win32 error numbers the library uses by name.
inline constexpr std::uint32_t ErrorSuccess = 0;
inline constexpr std::uint32_t ErrorFileNotFound = 2;
inline constexpr std::uint32_t ErrorAccessDenied = 5;
inline constexpr std::uint32_t ErrorInvalidHandle = 6;
inline constexpr std::uint32_t ErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t ErrorInvalidData = 13;
inline constexpr std::uint32_t ErrorInvalidParameter = 87;
inline constexpr std::uint32_t ErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t ErrorInvalidName = 123;
inline constexpr std::uint32_t ErrorMoreData = 234;
inline constexpr std::uint32_t ErrorNoneMapped = 1332;
inline constexpr std::uint32_t ErrorUnknownProduct = 1605;
inline constexpr std::uint32_t ErrorInstallFailure = 1603;
inline constexpr std::uint32_t ErrorUnsupportedType = 1630;
inline constexpr std::uint32_t ErrorResourceDataNotFound = 1812;
inline constexpr std::uint32_t ErrorResourceTypeNotFound = 1813;
inline constexpr std::uint32_t ErrorResourceNameNotFound = 1814;
inline constexpr std::uint32_t ErrorResourceLangNotFound = 1815;

// Installer message types.
inline constexpr std::uint32_t InstallMessageError = 0x01000000;
inline constexpr std::uint32_t InstallMessageWarning = 0x02000000;
inline constexpr std::uint32_t InstallMessageInfo = 0x04000000;
inline constexpr std::uint32_t MbIconError = 0x00000010;

// Registry value types and access.
inline constexpr std::uint32_t RegNone = 0;
inline constexpr std::uint32_t RegSz = 1;
inline constexpr std::uint32_t RegExpandSz = 2;
inline constexpr std::uint32_t RegBinary = 3;
inline constexpr std::uint32_t RegDword = 4;
inline constexpr std::uint32_t RegMultiSz = 7;
inline constexpr std::uint32_t RegQword = 11;
inline constexpr std::uint32_t KeyRead = 0x20019;
inline constexpr std::uint32_t KeyWow64_64Key = 0x0100;
inline constexpr std::uint32_t KeyWow64_32Key = 0x0200;

// Processes.
inline constexpr std::uint32_t Infinite = 0xFFFFFFFF;
inline constexpr std::uint32_t StartfUseShowWindow = 0x00000001;
inline constexpr std::uint16_t SwShow = 5;

// Resources and character types.
inline constexpr std::uint16_t RtString = 6;
inline constexpr std::uint32_t CtCType1 = 0x0001;
inline constexpr std::uint16_t C1Space = 0x0008;

// --- Windows Installer (msi.dll) ---
std::uint32_t MsiGetPropertyW(MsiHandle install, const char16_t* name, char16_t* value,
                              std::uint32_t* valueChars) noexcept;
std::uint32_t MsiSetPropertyW(MsiHandle install, const char16_t* name,
                              const char16_t* value) noexcept;
MsiHandle MsiCreateRecord(std::uint32_t fieldCount) noexcept;
std::uint32_t MsiRecordSetStringW(MsiHandle record, std::uint32_t field,
                                  const char16_t* value) noexcept;
std::int32_t MsiProcessMessage(MsiHandle install, std::uint32_t messageType,
                               MsiHandle record) noexcept;
std::uint32_t MsiCloseHandle(MsiHandle any) noexcept;
std::uint32_t MsiGetProductInfoW(const char16_t* product, const char16_t* attribute,
                                 char16_t* value, std::uint32_t* valueChars) noexcept;

// --- Registry (advapi32.dll) ---
std::int32_t RegOpenKeyW(HKey root, const char16_t* subKey, HKey* result) noexcept;
std::int32_t RegOpenKeyExW(HKey root, const char16_t* subKey, std::uint32_t options,
                           std::uint32_t access, HKey* result) noexcept;
// `reserved` of the Win32 call is always null and left out.
std::int32_t RegQueryValueExW(HKey key, const char16_t* valueName, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* dataBytes) noexcept;
std::int32_t RegCloseKey(HKey key) noexcept;

// --- Environment (kernel32.dll) ---
std::uint32_t ExpandEnvironmentStringsW(const char16_t* source, char16_t* destination,
                                        std::uint32_t destinationChars) noexcept;

// --- Processes (kernel32.dll) ---
// The members of STARTUPINFOW that the library sets; every other member is zero
// and `cb` is the structure's own size.
struct StartupInfo {
    std::uint32_t flags = 0;
    std::uint16_t showWindow = 0;
};
struct ProcessInformation {
    Handle process{};
    Handle thread{};
    std::uint32_t processId = 0;
    std::uint32_t threadId = 0;
};
// No security attributes are ever passed: both are null.
bool CreateProcessW(const char16_t* applicationName, char16_t* commandLine, bool inheritHandles,
                    std::uint32_t creationFlags, const void* environment,
                    const char16_t* currentDirectory, const StartupInfo& startup,
                    ProcessInformation* information) noexcept;
std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) noexcept;
bool CloseHandle(Handle handle) noexcept;
std::uint32_t GetLastError() noexcept;

// --- Security accounts (advapi32.dll) ---
struct SidIdentifierAuthority {
    std::uint8_t value[6];
};
bool AllocateAndInitializeSid(const SidIdentifierAuthority* authority,
                              std::uint8_t subAuthorityCount,
                              const std::uint32_t (&subAuthorities)[8], Sid* sid) noexcept;
bool LookupAccountSidW(const char16_t* systemName, Sid sid, char16_t* name,
                       std::uint32_t* nameChars, char16_t* domain, std::uint32_t* domainChars,
                       std::uint32_t* use) noexcept;
void FreeSid(Sid sid) noexcept;

// --- Module resources (kernel32.dll) ---
// The module whose resources the library reads: its own.
Module ResourceModule() noexcept;
ResourceInfo FindResourceW(Module module, std::uint16_t id, std::uint16_t type) noexcept;
ResourceInfo FindResourceExW(Module module, std::uint16_t type, std::uint16_t id,
                             std::uint16_t language) noexcept;
ResourceData LoadResource(Module module, ResourceInfo resource) noexcept;
const void* LockResource(ResourceData data) noexcept;
std::uint32_t SizeofResource(Module module, ResourceInfo resource) noexcept;

// --- Character classification (kernel32.dll) ---
bool GetStringTypeW(std::uint32_t infoType, const char16_t* source, int count,
                    std::uint16_t* charTypes) noexcept;

}  // namespace win
