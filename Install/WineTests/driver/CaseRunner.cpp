#include "CaseRunner.h"

#include "Fixtures.h"
#include "InstallerSession.h"
#include "Texts.h"

#include <msiquery.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace e2e {
namespace {

using Action = UINT(WINAPI*)(MSIHANDLE);

std::string Shown(const Message& message) { return Hex(message.type) + " " + Quoted(message.text); }

std::string Shown(const Start& start) {
    return Quoted(start.commandLine) + (start.program.empty() ? "" : " run from " + Quoted(start.program));
}

std::string ShownProperty(const std::wstring& value) { return value.empty() ? "(absent)" : Quoted(value); }

// Compares two sequences item by item and says where they part.
template <class Item>
void CompareSequences(const char* what, const std::vector<Item>& expected, const std::vector<Item>& actual,
                      const std::function<bool(const Item&, const Item&)>& same, Problems& problems) {
    const std::size_t longest = std::max(expected.size(), actual.size());
    for (std::size_t i = 0; i < longest; ++i) {
        if (i < expected.size() && i < actual.size() && same(expected[i], actual[i])) continue;
        const std::string wanted = i < expected.size() ? Shown(expected[i]) : "(none)";
        const std::string seen = i < actual.size() ? Shown(actual[i]) : "(none)";
        problems.push_back(std::string(what) + " " + std::to_string(i + 1) + " of " +
                           std::to_string(expected.size()) + " expected: " + wanted + ", actual (" +
                           std::to_string(actual.size()) + " in all): " + seen);
        return;
    }
}

// The recorder's log: one line per start, "<program>\t<command line>", UTF-8.
std::vector<Start> RecordedStarts(const std::wstring& log) {
    std::vector<Start> starts;
    FILE* file = _wfopen(log.c_str(), L"rb");
    if (file == nullptr) return starts;
    std::string content;
    char chunk[4096];
    for (std::size_t read; (read = std::fread(chunk, 1, sizeof chunk, file)) > 0;) content.append(chunk, read);
    std::fclose(file);
    std::size_t at = 0;
    while (at < content.size()) {
        const std::size_t end = std::min(content.find('\n', at), content.size());
        const std::string line = content.substr(at, end - at);
        const std::size_t tab = line.find('\t');
        starts.push_back(Start{Wide(line.substr(tab == std::string::npos ? 0 : tab + 1)),
                               Wide(tab == std::string::npos ? "" : line.substr(0, tab))});
        at = end + 1;
    }
    return starts;
}

void CheckOutcome(const Case& expected, const InstallerSession& session, UINT result,
                  const std::vector<Message>& messages, const std::vector<Start>& starts, Problems& problems) {
    if (result != expected.result)
        problems.push_back("result expected " + std::to_string(expected.result) + ", actual " + std::to_string(result));
    for (const Property& property : expected.expectProperties) {
        const std::wstring actual = session.Property(property.name);
        if (actual != property.value)
            problems.push_back("property " + Utf8(property.name) + " expected " + ShownProperty(property.value) +
                               ", actual " + ShownProperty(actual));
    }
    CompareSequences<Message>(
        "message", expected.expectMessages, messages,
        [](const Message& a, const Message& b) { return a.type == b.type && a.text == b.text; }, problems);
    CompareSequences<Start>(
        "start", expected.expectStarts, starts,
        [](const Start& wanted, const Start& seen) {
            return wanted.commandLine == seen.commandLine &&
                   (wanted.program.empty() ||
                    CompareStringOrdinal(wanted.program.c_str(), -1, seen.program.c_str(), -1, TRUE) == CSTR_EQUAL);
        },
        problems);
}

// The handle slot that the next kernel handle takes. Windows and Wine give a
// new handle the slot freed last (Wine: the lowest free one), so the slot
// differs after the call exactly when the call left a handle open.
HANDLE FreeHandleSlot() {
    const HANDLE probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(probe);
    return probe;
}

// What kind of object a handle is, and its name if it has one, e.g.
// Key \REGISTRY\MACHINE\SOFTWARE\Microsoft\InetStp.
using NtQueryObjectFunction = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);

std::wstring ObjectText(HANDLE handle, int informationClass) {
    static const auto query = reinterpret_cast<NtQueryObjectFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    alignas(8) BYTE buffer[4096];
    ULONG size = 0;
    if (query == nullptr || query(handle, informationClass, buffer, sizeof buffer, &size) != 0) return {};
    const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer);
    return text->Buffer == nullptr ? std::wstring() : std::wstring(text->Buffer, text->Length / sizeof(wchar_t));
}

// The DLL carries its C++ runtime, which makes one unnamed semaphore at the
// process's first exception and keeps it for the life of the DLL: that one is
// no leak of a call. Any other handle, or a second such semaphore, is.
void CheckHandleLeft(HANDLE slot, Problems& problems) {
    constexpr int ObjectNameInformation = 1;
    constexpr int ObjectTypeInformation = 2;
    static bool runtimeSemaphoreSeen = false;
    const std::wstring type = ObjectText(slot, ObjectTypeInformation);
    const std::wstring name = ObjectText(slot, ObjectNameInformation);
    if (type == L"Semaphore" && name.empty() && !runtimeSemaphoreSeen) {
        runtimeSemaphoreSeen = true;
        return;
    }
    problems.push_back("the call left a kernel handle open: " + Utf8(type) + (name.empty() ? "" : " " + Utf8(name)));
}

// Prepares the case around the session, calls the export and checks what it did.
void CallAndCheck(const Case& theCase, const Suite& suite, InstallerSession& session, Problems& problems) {
    const auto action = reinterpret_cast<Action>(
        reinterpret_cast<void*>(GetProcAddress(suite.dll, theCase.action.c_str())));
    if (action == nullptr) {
        problems.push_back("the DLL exports no " + theCase.action);
        return;
    }
    std::vector<Variable> environment = theCase.environment;
    environment.push_back({L"BRENNOWICK_E2E_RECORDER_LOG", suite.recorderLog});
    environment.push_back({L"BRENNOWICK_E2E_RECORDER_EXIT", std::to_wstring(theCase.recorderExitCode)});
    DeleteFileW(suite.recorderLog.c_str());
    {
        PreparedEnvironment preparedEnvironment(environment, problems);
        PreparedRegistry preparedRegistry(theCase.registry, problems);
        PreparedFiles preparedFiles(theCase.files, suite.recorder, problems);
        for (const std::wstring& command : theCase.commandsBefore) RunAndWait(command, problems);
        for (const Property& property : theCase.properties)
            if (!session.SetProperty(property.name, property.value))
                problems.push_back("cannot set the property " + Utf8(property.name));

        if (problems.empty()) {
            const MSIHANDLE record = theCase.handle == Handle::Record ? MsiCreateRecord(0) : 0;
            const HANDLE freeSlotBefore = FreeHandleSlot();
            session.StartRecording(theCase.answer);
            const UINT result = action(theCase.handle == Handle::Record ? record : session.Handle());
            const std::vector<Message> messages = session.StopRecording();
            const HANDLE freeSlotAfter = FreeHandleSlot();
            if (record != 0) MsiCloseHandle(record);
            CheckOutcome(theCase, session, result, messages, RecordedStarts(suite.recorderLog), problems);
            if (freeSlotAfter != freeSlotBefore) CheckHandleLeft(freeSlotBefore, problems);
        }
    }
    for (const std::wstring& command : theCase.commandsAfter) RunAndWait(command, problems);
    DeleteFileW(suite.recorderLog.c_str());
}

}  // namespace

void TakeLastingHandles() {
    for (const REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) {
        HKEY software = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ | view, &software) == ERROR_SUCCESS)
            RegCloseKey(software);
    }
    const MSIHANDLE notASession = MsiCreateRecord(1);
    wchar_t none[1] = {0};
    DWORD length = 0;
    MsiGetPropertyW(notASession, L"ProductCode", none, &length);
    MsiSetPropertyW(notASession, L"MESSAGE", L"");
    MsiProcessMessage(notASession, INSTALLMESSAGE_INFO, notASession);
    MsiCloseHandle(notASession);
    // Wine's MsiGetProductInfoW keeps a key of HKLM\Software\Classes open
    // from the first malformed product code it refuses on.
    wchar_t location[1] = {0};
    DWORD locationChars = 1;
    MsiGetProductInfoW(L"{not a product code}", L"InstallLocation", location, &locationChars);
}

UINT HandlesLeftBySession(const std::wstring& package) {
    MsiCloseAllHandles();
    Problems ignored;
    { InstallerSession session(package, ignored); }
    return MsiCloseAllHandles();
}

std::vector<std::string> RunCase(const Case& theCase, const Suite& suite) {
    Problems problems;
    {
        InstallerSession session(suite.package, problems);
        if (session.Handle() != 0) {
            const Case resolved = Resolved(theCase, suite.surroundings, session, problems);
            if (problems.empty()) CallAndCheck(resolved, suite, session, problems);
        }
    }
    // The session and every record of the driver are closed: what is left
    // beyond what a bare session leaves is the DLL's.
    const UINT leftOpen = MsiCloseAllHandles();
    if (leftOpen > suite.handlesLeftBySession)
        problems.push_back(std::to_string(leftOpen - suite.handlesLeftBySession) + " installer handle(s) left open");
    return problems;
}

}  // namespace e2e
