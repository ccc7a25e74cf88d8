#include "Fixtures.h"

#include "Texts.h"

#include <algorithm>

namespace e2e {
namespace {

std::vector<REGSAM> ViewsOf(View view) {
    switch (view) {
    case View::Default: return {0};
    case View::Bits32: return {KEY_WOW64_32KEY};
    case View::Bits64: return {KEY_WOW64_64KEY};
    case View::Both: return {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
    }
    return {0};
}

std::string ViewName(REGSAM view) {
    if (view == KEY_WOW64_32KEY) return "32-bit view";
    if (view == KEY_WOW64_64KEY) return "64-bit view";
    return "default view";
}

std::string Describe(const std::wstring& key, REGSAM view) {
    return "HKLM\\" + Utf8(key) + " (" + ViewName(view) + ")";
}

bool KeyExists(const std::wstring& key, REGSAM view) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

// The first key on the way down to `key` that does not exist yet.
std::wstring FirstMissing(const std::wstring& key, REGSAM view) {
    std::size_t end = 0;
    while (end != std::wstring::npos) {
        end = key.find(L'\\', end + 1);
        const std::wstring prefix = key.substr(0, end);
        if (!KeyExists(prefix, view)) return prefix;
    }
    return {};
}

LSTATUS DeleteTree(const std::wstring& key, REGSAM view) {
    const std::size_t split = key.rfind(L'\\');
    const std::wstring parent = split == std::wstring::npos ? L"" : key.substr(0, split);
    const std::wstring leaf = key.substr(split == std::wstring::npos ? 0 : split + 1);
    HKEY opened = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, parent.c_str(), 0, KEY_ALL_ACCESS | view, &opened);
    if (status != ERROR_SUCCESS) return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    status = RegDeleteTreeW(opened, leaf.c_str());
    RegCloseKey(opened);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// The 32-bit view's own path of a key under SOFTWARE, as the 64-bit view names it.
bool Wow6432Path(const std::wstring& key, std::wstring& path) {
    const std::wstring software = L"SOFTWARE\\";
    if (key.size() <= software.size() ||
        CompareStringOrdinal(key.c_str(), static_cast<int>(software.size()), software.c_str(),
                             static_cast<int>(software.size()), TRUE) != CSTR_EQUAL)
        return false;
    path = L"SOFTWARE\\Wow6432Node\\" + key.substr(software.size());
    return true;
}

using NtDeleteKeyFunction = LONG(NTAPI*)(HANDLE);

LSTATUS DeleteLinkItself(HKEY link) {
    const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    if (ntDeleteKey == nullptr) return ERROR_PROC_NOT_FOUND;
    return ntDeleteKey(link) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

}  // namespace

PreparedRegistry::PreparedRegistry(const std::vector<RegistryFixture>& fixtures, Problems& problems)
    : problems_(problems) {
    // Links are replaced first, so that the values below them land in the key
    // of their own; every named key is cleared before any is written, so that
    // fixtures of one key or of a key and its subkeys do not undo each other.
    for (const RegistryFixture& fixture : fixtures)
        if (fixture.kind == RegistryFixture::Kind::Separate32) Separate(fixture);
    for (const RegistryFixture& fixture : fixtures)
        if (fixture.kind != RegistryFixture::Kind::Separate32)
            for (const REGSAM view : ViewsOf(fixture.view)) Clear(fixture, view);
    for (const RegistryFixture& fixture : fixtures)
        if (fixture.kind == RegistryFixture::Kind::Key || fixture.kind == RegistryFixture::Kind::Value)
            for (const REGSAM view : ViewsOf(fixture.view)) Write(fixture, view);
}

void PreparedRegistry::Separate(const RegistryFixture& fixture) {
    std::wstring path;
    if (!Wow6432Path(fixture.key, path)) {
        problems_.push_back("cannot separate the 32-bit view of HKLM\\" + Utf8(fixture.key) +
                            ": only keys under SOFTWARE have one");
        return;
    }
    HKEY link = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), REG_OPTION_OPEN_LINK,
                      KEY_QUERY_VALUE | DELETE | KEY_WOW64_64KEY, &link) != ERROR_SUCCESS)
        return;  // no key there: the 32-bit view has nothing shared
    DWORD type = 0;
    DWORD size = 0;
    std::vector<BYTE> target;
    if (RegQueryValueExW(link, L"SymbolicLinkValue", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_LINK) {
        target.resize(size);
        RegQueryValueExW(link, L"SymbolicLinkValue", nullptr, &type, target.data(), &size);
    }
    if (target.empty()) {
        RegCloseKey(link);
        return;  // a key of its own already
    }
    const LSTATUS deleted = DeleteLinkItself(link);
    RegCloseKey(link);
    if (deleted != ERROR_SUCCESS) {
        problems_.push_back("cannot remove the link HKLM\\" + Utf8(path) + ": error " + std::to_string(deleted));
        return;
    }
    undo_.push_back({Undo::Kind::RestoreLink, KEY_WOW64_64KEY, path, std::move(target)});
}

void PreparedRegistry::Clear(const RegistryFixture& fixture, REGSAM view) {
    const LSTATUS cleared = DeleteTree(fixture.key, view);
    if (cleared != ERROR_SUCCESS)
        problems_.push_back("cannot clear " + Describe(fixture.key, view) + ": error " + std::to_string(cleared));
    else if (fixture.kind == RegistryFixture::Kind::Absent)
        undo_.push_back({Undo::Kind::DeleteTree, view, fixture.key, {}});
}

void PreparedRegistry::Write(const RegistryFixture& fixture, REGSAM view) {
    // What this write makes is deleted after the case, from its topmost new key.
    undo_.push_back({Undo::Kind::DeleteTree, view, FirstMissing(fixture.key, view), {}});
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, fixture.key.c_str(), 0, nullptr, 0,
                                     KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS && fixture.kind == RegistryFixture::Kind::Value) {
        status = RegSetValueExW(key, fixture.name.c_str(), 0, fixture.type,
                                fixture.data.empty() ? nullptr : fixture.data.data(),
                                static_cast<DWORD>(fixture.data.size()));
    }
    if (key != nullptr) RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        problems_.push_back("cannot write " + Describe(fixture.key, view) + " " + Quoted(fixture.name) +
                            ": error " + std::to_string(status));
}

PreparedRegistry::~PreparedRegistry() {
    for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) {
        if (undo->kind == Undo::Kind::DeleteTree) {
            if (!undo->key.empty() && DeleteTree(undo->key, undo->view) != ERROR_SUCCESS)
                problems_.push_back("cannot delete " + Describe(undo->key, undo->view));
            continue;
        }
        DeleteTree(undo->key, undo->view);
        HKEY link = nullptr;
        LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, undo->key.c_str(), 0, nullptr,
                                         REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK | undo->view,
                                         nullptr, &link, nullptr);
        if (status == ERROR_SUCCESS) {
            status = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, undo->linkTarget.data(),
                                    static_cast<DWORD>(undo->linkTarget.size()));
            RegCloseKey(link);
        }
        if (status != ERROR_SUCCESS)
            problems_.push_back("cannot put back the link HKLM\\" + Utf8(undo->key) + ": error " +
                                std::to_string(status));
    }
}

PreparedFiles::PreparedFiles(const std::vector<FileFixture>& fixtures, const std::wstring& recorder,
                             Problems& problems)
    : problems_(problems) {
    for (const FileFixture& fixture : fixtures) {
        const std::size_t split = fixture.path.find_last_of(L"\\/");
        const std::wstring folder = split == std::wstring::npos ? L"" : fixture.path.substr(0, split);
        switch (fixture.kind) {
        case FileFixture::Kind::Recorder:
            MakeFolders(folder);
            Hide(fixture.path, false);
            if (!CopyFileW(recorder.c_str(), fixture.path.c_str(), FALSE)) {
                problems_.push_back("cannot copy the recorder to " + Quoted(fixture.path) + ": error " +
                                    std::to_string(GetLastError()));
                break;
            }
            undo_.push_back({Undo::Kind::DeleteFile, fixture.path});
            break;
        case FileFixture::Kind::Hidden:
            Hide(fixture.path, true);
            break;
        case FileFixture::Kind::Directory:
            MakeFolders(fixture.path);
            break;
        }
    }
}

void PreparedFiles::MakeFolders(const std::wstring& folder) {
    if (folder.empty() || GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    const std::size_t split = folder.find_last_of(L"\\/");
    if (split != std::wstring::npos && split > 2) MakeFolders(folder.substr(0, split));
    if (!CreateDirectoryW(folder.c_str(), nullptr)) {
        problems_.push_back("cannot make the folder " + Quoted(folder) + ": error " + std::to_string(GetLastError()));
        return;
    }
    undo_.push_back({Undo::Kind::RemoveTree, folder});
}

void PreparedFiles::Hide(const std::wstring& path, bool mustExist) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (mustExist) problems_.push_back("nothing to hide at " + Quoted(path));
        return;
    }
    if (!MoveFileExW(path.c_str(), (path + L".e2e-hidden").c_str(), MOVEFILE_REPLACE_EXISTING)) {
        problems_.push_back("cannot move " + Quoted(path) + " aside: error " + std::to_string(GetLastError()));
        return;
    }
    undo_.push_back({Undo::Kind::Unhide, path});
}

namespace {

bool RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryW(folder.c_str()) != FALSE;
}

}  // namespace

PreparedFiles::~PreparedFiles() {
    for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) {
        bool done = true;
        switch (undo->kind) {
        case Undo::Kind::DeleteFile: done = DeleteFileW(undo->path.c_str()) != FALSE; break;
        case Undo::Kind::Unhide:
            done = MoveFileExW((undo->path + L".e2e-hidden").c_str(), undo->path.c_str(),
                               MOVEFILE_REPLACE_EXISTING) != FALSE;
            break;
        case Undo::Kind::RemoveTree: done = RemoveTree(undo->path); break;
        }
        if (!done) problems_.push_back("cannot put back " + Quoted(undo->path) + ": error " + std::to_string(GetLastError()));
    }
}

PreparedEnvironment::PreparedEnvironment(const std::vector<Variable>& variables, Problems& problems) {
    for (const Variable& variable : variables) {
        Saved saved{variable.name, false, {}};
        const DWORD size = GetEnvironmentVariableW(variable.name.c_str(), nullptr, 0);
        if (size != 0) {
            saved.existed = true;
            saved.value.resize(size);
            saved.value.resize(GetEnvironmentVariableW(variable.name.c_str(), saved.value.data(), size));
        }
        if (!SetEnvironmentVariableW(variable.name.c_str(), variable.value.c_str()))
            problems.push_back("cannot set the variable " + Utf8(variable.name));
        saved_.push_back(std::move(saved));
    }
}

PreparedEnvironment::~PreparedEnvironment() {
    for (auto saved = saved_.rbegin(); saved != saved_.rend(); ++saved)
        SetEnvironmentVariableW(saved->name.c_str(), saved->existed ? saved->value.c_str() : nullptr);
}

void RunAndWait(const std::wstring& commandLine, Problems& problems) {
    std::wstring writable = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        problems.push_back("cannot start " + Quoted(commandLine) + ": error " + std::to_string(GetLastError()));
        return;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (exitCode != 0)
        problems.push_back(Quoted(commandLine) + " ended with exit code " + std::to_string(exitCode));
}

}  // namespace e2e
