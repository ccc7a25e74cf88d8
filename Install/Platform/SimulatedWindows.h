// A simulated Windows for the host tests: installer sessions, the registry
// with its two views, environment, processes, accounts and module resources.
//
// A test makes one `sim::Windows`; while it lives, the platform functions act
// on it. It keeps a journal of every platform call, counts the handles that are
// open, and can make any one call fail the way that function fails on Windows.
#pragma once

#include "Platform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sim {

using Text = std::u16string;

enum class View { Registry32, Registry64 };

struct RegistryValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
};

struct Message {
    std::uint32_t type = 0;
    Text field0;  // the record's template text, as the library set it
    Text shown;   // the template as the installer formats it for display
};

struct PropertyWrite {
    Text name;
    Text value;
};

struct ProcessStart {
    std::optional<Text> applicationName;
    Text commandLine;
    bool inheritHandles = false;
    std::uint32_t creationFlags = 0;
    bool environmentGiven = false;
    std::optional<Text> currentDirectory;
    win::StartupInfo startup;
    bool waited = false;
    std::uint32_t waitMilliseconds = 0;
};

struct SidValue {
    std::uint8_t authority[6] = {};
    std::uint8_t count = 0;
    std::uint32_t subAuthorities[8] = {};
    bool operator==(const SidValue&) const = default;
    // "S-1-<authority>-<sub>..." with the authority in decimal.
    std::string ToString() const;
};

struct Account {
    Text name;
    Text domain;
    std::uint32_t failWith = 0;  // LookupAccountSidW fails with this when not 0
};

struct Call {
    std::string function;
    Text argument;  // the call's main text argument, where it has one
};

class Windows {
public:
    Windows();
    ~Windows();
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    // --- Installer ---
    static constexpr win::MsiHandle Session = 1;
    std::map<Text, Text> properties;
    std::map<Text, std::uint32_t> failingPropertyReads;  // name -> error of every read
    // After this many successful reads of a property, its value grows by one
    // character (to provoke a changed length between the two reads).
    std::map<Text, int> growingProperties;
    std::vector<PropertyWrite> propertyWrites;
    std::vector<Message> messages;
    // The installer's answer to a message; by default 1 (IDOK).
    std::function<std::int32_t(const Message&)> answer;
    std::map<Text, Text> installLocations;  // product code -> install location

    // --- Registry ---
    void CreateKey(View view, const Text& key);
    void SetValue(View view, const Text& key, const Text& name, std::uint32_t type,
                  std::vector<std::uint8_t> bytes);
    void SetString(View view, const Text& key, const Text& name, const Text& text,
                   std::uint32_t type = win::RegSz);  // stored with its NUL
    void SetDword(View view, const Text& key, const Text& name, std::uint32_t value);
    // The same key or value in both views.
    void SetStringBoth(const Text& key, const Text& name, const Text& text);
    void SetDwordBoth(const Text& key, const Text& name, std::uint32_t value);
    std::map<Text, Text> environment;  // names compared case-insensitively

    // --- Processes ---
    std::vector<ProcessStart> starts;
    // Decides each start: 0 starts the process, anything else refuses it with
    // that error. By default every start succeeds.
    std::function<std::uint32_t(const ProcessStart&)> startResult;

    // --- Accounts ---
    std::map<std::string, Account> accounts;  // "S-1-5-32-545" -> account
    std::vector<SidValue> allocatedSids;      // every SID ever allocated, in order
    std::uint32_t failSidAllocationWith = 0;
    // FreeSid overwrites the thread's last error with this when not 0, as a
    // release may on Windows.
    std::uint32_t freeSidSetsLastError = 0;

    // --- Module resources ---
    std::uint16_t uiLanguage = 0x0409;
    // RT_STRING blocks: block id -> language -> bytes.
    std::map<std::uint16_t, std::map<std::uint16_t, std::vector<std::uint8_t>>> stringBlocks;
    // Loads every RT_STRING resource of a compiled resource file (.res).
    void LoadResourceFile(const std::string& path);

    // --- Journal, handles and faults ---
    std::vector<Call> journal;
    std::size_t CallCount(const std::string& function) const;
    std::size_t OpenHandleCount() const;
    std::string OpenHandleReport() const;
    // Makes the n-th platform call (1-based, counted over all functions) fail
    // the way that function fails; `injectedError` is its error (0: the usual one).
    std::size_t failCallNumber = 0;
    std::uint32_t injectedError = 0;
    std::size_t callsMade = 0;

    // --- Internal state, for the platform functions ---
    struct OpenKey {
        View view;
        Text path;
    };
    struct Resource {
        std::uint16_t block;
        std::uint16_t language;
    };
    struct Tree {
        std::map<Text, std::map<Text, RegistryValue>> keys;  // lower-case paths and names
    };
    Tree registry32;
    Tree registry64;
    std::map<win::MsiHandle, Text> records;  // open records -> field 0
    std::map<std::uintptr_t, OpenKey> openKeys;
    std::set<std::uintptr_t> openProcesses;
    std::set<std::uintptr_t> openThreads;
    std::map<std::uintptr_t, std::size_t> openSids;  // handle -> index into allocatedSids
    std::map<std::uintptr_t, Resource> resources;
    std::map<std::uintptr_t, std::size_t> processStartOf;  // process handle -> start index
    std::uint32_t lastError = 0;
    std::uintptr_t nextHandle = 0x1000;
    std::map<Text, int> propertyReadCounts;

    Tree& TreeOf(View view) { return view == View::Registry32 ? registry32 : registry64; }
    // Records the call; true when this call is the one to fail.
    bool Enter(const char* function, const Text& argument = Text());
    Text FormatTemplate(const Text& field0) const;

private:
    Windows* previous_;
};

// The simulated Windows that the platform functions act on.
Windows& Active();

// Marks a platform function at work. The simulation allocates for its own
// bookkeeping there; on Windows that memory is not the library's, so a test
// that fails the library's allocations leaves these alone.
class PlatformCall {
public:
    PlatformCall() noexcept;
    ~PlatformCall();
    PlatformCall(const PlatformCall&) = delete;
    PlatformCall& operator=(const PlatformCall&) = delete;
};
bool InsidePlatformCall() noexcept;

Text Lower(const Text& text);
std::string Narrow(const Text& text);  // for test messages: non-ASCII as \uXXXX

}  // namespace sim
