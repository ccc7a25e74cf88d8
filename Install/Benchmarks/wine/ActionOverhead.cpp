// Overhead of the library under a real installer engine: each action against a
// baseline written directly against Win32 that makes the same platform calls
// with the same inputs and sets the same properties, with no frame around them.
//
//   ActionOverhead.exe <package.msi> <BrennowickInstallCA.dll> <MinimalAction.dll>
//
// Prints, per action, the median time per call of both over alternating rounds
// and their ratio. Run by scripts/benchmark.sh under Wine.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Action = UINT(WINAPI*)(MSIHANDLE);

const wchar_t* const InetStp = L"SOFTWARE\\Microsoft\\InetStp";
const wchar_t* const Components = L"SOFTWARE\\Microsoft\\InetStp\\Components";
const wchar_t* const Subcomponents = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\OC Manager\\Subcomponents";
const wchar_t* const AspNet20 = L"SOFTWARE\\Microsoft\\ASP.NET\\2.0.50727.0";

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// --- the baselines: the same platform calls, written out by hand ---

std::wstring Property(MSIHANDLE session, const wchar_t* name) {
    wchar_t none[1] = {0};
    DWORD length = 0;
    std::wstring value;
    if (MsiGetPropertyW(session, name, none, &length) == ERROR_MORE_DATA) {
        value.resize(length + 1);
        length += 1;
        MsiGetPropertyW(session, name, value.data(), &length);
        value.resize(wcslen(value.c_str()));
    }
    return value;
}

LONG RegistryString(const wchar_t* key, const wchar_t* name, std::wstring& out) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyW(HKEY_LOCAL_MACHINE, key, &opened);
    if (status != 0) return status;
    DWORD type = 0, size = 0;
    status = RegQueryValueExW(opened, name, nullptr, &type, nullptr, &size);
    if (status == 0) {
        out.assign(size / 2 + 1, L'\0');
        status = RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(out.data()), &size);
        out.resize(wcslen(out.c_str()));
    }
    RegCloseKey(opened);
    return status;
}

LONG RegistryDword(bool view64, const wchar_t* key, const wchar_t* name, DWORD& value) {
    HKEY opened = nullptr;
    LONG status = view64 ? RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | KEY_WOW64_64KEY, &opened)
                         : RegOpenKeyW(HKEY_LOCAL_MACHINE, key, &opened);
    if (status != 0) return status;
    DWORD type = 0, size = 4;
    status = RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(opened);
    return status;
}

UINT WINAPI BaselineFindIIS(MSIHANDLE session) {
    HKEY key = nullptr;
    const bool found = RegOpenKeyW(HKEY_LOCAL_MACHINE, InetStp, &key) == 0;
    if (found) RegCloseKey(key);
    MsiSetPropertyW(session, L"IIS_FOUND", found ? L"1" : L"0");
    return 0;
}

UINT WINAPI BaselineCheckIfIIS7(MSIHANDLE session) {
    std::wstring version;
    RegistryString(InetStp, L"VersionString", version);
    const bool iis7 = version == L"Version 7.0" || version == L"Version 7.5";
    MsiSetPropertyW(session, L"IIS7_FOUND", iis7 ? L"1" : L"0");
    return 0;
}

UINT WINAPI BaselineCheckIISComponents(MSIHANDLE session) {
    const bool view64 = Property(session, L"IS_OS_64BIT") == L"1";
    DWORD common = 4, www = 4;
    RegistryDword(view64, Subcomponents, L"iis_common", common);
    RegistryDword(view64, Subcomponents, L"iis_www", www);
    std::wstring version;
    const LONG aspNet = RegistryString(AspNet20, L"AssemblyVersion", version);
    MsiSetPropertyW(session, L"LC2_ASPNET", common == www && aspNet == 0 ? L"1" : L"0");
    return 0;
}

UINT WINAPI BaselineCheckIIS7CompatibilityComponents(MSIHANDLE session) {
    const bool view64 = Property(session, L"IS_OS_64BIT") == L"1";
    DWORD metabase = 4, wmi = 4, scripts = 4, aspNet = 4;
    RegistryDword(view64, Components, L"Metabase", metabase);
    RegistryDword(view64, Components, L"WMICompatibility", wmi);
    RegistryDword(view64, Components, L"LegacyScripts", scripts);
    RegistryDword(view64, Components, L"ASPNET", aspNet);
    MsiSetPropertyW(session, L"LC1_IIS6_COMPAT", metabase == 1 && wmi == 1 && scripts == 1 ? L"1" : L"0");
    MsiSetPropertyW(session, L"LC2_ASPNET", aspNet == 1 ? L"1" : L"0");
    return 0;
}

HMODULE libraryForStrings = nullptr;

std::wstring String(UINT id) {
    HRSRC block = FindResourceW(libraryForStrings, MAKEINTRESOURCEW(id / 16 + 1), MAKEINTRESOURCEW(6));
    if (!block) return {};
    const auto* data = static_cast<const WORD*>(LockResource(LoadResource(libraryForStrings, block)));
    const DWORD words = SizeofResource(libraryForStrings, block) / 2;
    DWORD at = 0;
    for (UINT i = 0; i < id % 16 && at < words; ++i) at += data[at] + 1;
    if (at >= words || data[at] == 0) return {};
    return std::wstring(reinterpret_cast<const wchar_t*>(data + at + 1), data[at]);
}

std::wstring Join(std::wstring base, const std::wstring& part) {
    if ((base.empty() || base.back() != L'\\') && (part.empty() || part.front() != L'\\')) base += L'\\';
    return base + part;
}

UINT WINAPI BaselineInitializeProperties(MSIHANDLE session) {
    if (Property(session, L"REMOVE") == L"ALL") return 0;
    MsiSetPropertyW(session, L"INTERNETEXPLORER",
                    Join(Join(Property(session, L"ProgramFilesFolder"), L"Internet Explorer"), L"iexplore.exe").c_str());
    const wchar_t* const tools[4][3] = {{L"REGIIS", L"Framework", L"aspnet_regiis.exe"},
                                        {L"REGIIS64", L"Framework64", L"aspnet_regiis.exe"},
                                        {L"COMPILE_APP", L"Framework", L"aspnet_compiler.exe"},
                                        {L"COMPILE_APP_64", L"Framework64", L"aspnet_compiler.exe"}};
    for (const auto& tool : tools)
        MsiSetPropertyW(session, tool[0],
                        Join(Join(Join(Join(Property(session, L"WindowsFolder"), L"Microsoft.NET"), tool[1]),
                                  L"v4.0.30319"), tool[2]).c_str());
    MsiSetPropertyW(session, L"QVREPOSITORYNAME", String(4000).c_str());
    const std::wstring name = String(4000), folder = String(4001);
    MsiSetPropertyW(session, L"QVREPOSITORYPATH", Join(Join(Property(session, L"WindowsVolume"), folder), name).c_str());
    struct Account { BYTE authority; BYTE count; DWORD first, second; const wchar_t* property; };
    const Account accounts[] = {{3, 1, 0, 0, L"CREATOROWNER"}, {5, 2, 32, 545, L"USERS"},
                                {5, 2, 32, 544, L"ADMINISTRATORS"}, {5, 1, 20, 0, L"NETWORKSERVICE"}};
    wchar_t accountName[260] = {}, domain[260] = {};
    for (const Account& account : accounts) {
        SID_IDENTIFIER_AUTHORITY authority = {{0, 0, 0, 0, 0, account.authority}};
        PSID sid = nullptr;
        if (!AllocateAndInitializeSid(&authority, account.count, account.first, account.second, 0, 0, 0, 0, 0, 0, &sid))
            return 1603;
        DWORD nameChars = 260, domainChars = 260;
        SID_NAME_USE use;
        const BOOL found = LookupAccountSidW(nullptr, sid, accountName, &nameChars, domain, &domainChars, &use);
        FreeSid(sid);
        if (!found) return 1603;
        MsiSetPropertyW(session, account.property, accountName);
    }
    return 0;
}

UINT WINAPI BaselineConfigureSecurity(MSIHANDLE session) {
    std::wstring data = Property(session, L"CustomActionData");
    const std::wstring install = data.substr(0, data.find(L'|'));
    const std::wstring windows = data.substr(data.find(L'|') + 1);
    const std::wstring is64 = Property(session, L"IS_OS_64BIT");
    const std::wstring users = Property(session, L"USERS");
    const std::wstring network = Property(session, L"NETWORKSERVICE");
    const std::wstring three = L"\" /E /P \"" + network + L"\":F \"" + users + L"\":F IIS_IUSRS:F";
    const std::wstring two = L"\" /E /P \"" + network + L"\":F IIS_IUSRS:F";
    const std::wstring recursive = L"\" /E /T /P \"" + network + L"\":F \"" + users + L"\":F IIS_IUSRS:F";
    const std::wstring commands[6] = {
        L"cacls \"" + install + two,
        L"cacls \"" + Join(install, L"web.config") + three,
        L"cacls \"" + Join(install, L"Web Files") + recursive,
        L"cacls \"" + Join(Join(install, L"Web Files"), L"Config") + three,
        L"cacls \"" + Join(Join(Join(install, L"Web Files"), L"Config"), L"ServiceConfig.xml") + three,
        L"cacls \"" + Join(Join(Join(Join(windows, L"Microsoft.NET"), is64 == L"1" ? L"Framework64" : L"Framework"),
                                L"v4.0.30319"), L"Temporary ASP.NET Files") + two};
    for (int i = 0; i < 6; ++i) {
        std::wstring line = commands[i];
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOW;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            WaitForSingleObject(process.hProcess, INFINITE);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        if (i == 1) {
            MSIHANDLE record = MsiCreateRecord(0);
            MsiRecordSetStringW(record, 0, commands[1].c_str());
            MsiProcessMessage(session, INSTALLMESSAGE_INFO, record);
            MsiCloseHandle(record);
        }
    }
    return 0;
}

// --- measurement ---

struct Pair {
    const char* name;
    Action library;
    Action baseline;
    int callsPerRound;
};

void Compare(MSIHANDLE session, const Pair& pair, int rounds) {
    std::vector<double> library, baseline;
    for (int round = 0; round < rounds; ++round) {
        for (int side = 0; side < 2; ++side) {
            // Alternate which side goes first, so drift hits both alike.
            const bool libraryNow = (side == 0) == (round % 2 == 0);
            const Action action = libraryNow ? pair.library : pair.baseline;
            const double start = Now();
            for (int i = 0; i < pair.callsPerRound; ++i) action(session);
            const double perCall = (Now() - start) / pair.callsPerRound;
            (libraryNow ? library : baseline).push_back(perCall);
        }
    }
    const double l = Median(library), b = Median(baseline);
    std::printf("%-34s %12.2f %12.2f %8.3f\n", pair.name, l * 1e6, b * 1e6, l / b);
}

void CompareLoad(const wchar_t* library, const wchar_t* minimal, int rounds, int callsPerRound) {
    auto cycle = [](const wchar_t* path, const char* name) {
        HMODULE module = LoadLibraryW(path);
        if (!module) return;
        const auto action = reinterpret_cast<Action>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        if (action) action(0);
        FreeLibrary(module);
    };
    std::vector<double> ours, theirs;
    for (int round = 0; round < rounds; ++round) {
        for (int side = 0; side < 2; ++side) {
            const bool oursNow = (side == 0) == (round % 2 == 0);
            const double start = Now();
            for (int i = 0; i < callsPerRound; ++i)
                oursNow ? cycle(library, "FindIIS") : cycle(minimal, "EmptyAction");
            (oursNow ? ours : theirs).push_back((Now() - start) / callsPerRound);
        }
    }
    const double o = Median(ours), t = Median(theirs);
    std::printf("%-34s %12.2f %12.2f %8.3f\n", "load + FindIIS vs minimal DLL", o * 1e6, t * 1e6, o / t);
}

void SetValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size, REGSAM view) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE | view, nullptr, &opened, nullptr) == 0) {
        RegSetValueExW(opened, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(opened);
    }
}

void PrepareRegistry() {
    const wchar_t version[] = L"Version 7.5";
    const wchar_t assembly[] = L"2.0.0.0";
    const DWORD one = 1;
    for (REGSAM view : {static_cast<REGSAM>(KEY_WOW64_32KEY), static_cast<REGSAM>(KEY_WOW64_64KEY)}) {
        SetValue(InetStp, L"VersionString", REG_SZ, version, sizeof version, view);
        for (const wchar_t* name : {L"Metabase", L"WMICompatibility", L"LegacyScripts", L"ASPNET"})
            SetValue(Components, name, REG_DWORD, &one, sizeof one, view);
        SetValue(Subcomponents, L"iis_common", REG_DWORD, &one, sizeof one, view);
        SetValue(Subcomponents, L"iis_www", REG_DWORD, &one, sizeof one, view);
        SetValue(AspNet20, L"AssemblyVersion", REG_SZ, assembly, sizeof assembly, view);
    }
}

int WINAPI AnswerEverything(LPVOID, UINT, MSIHANDLE) { return 1; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: ActionOverhead <package.msi> <BrennowickInstallCA.dll> <MinimalAction.dll>\n");
        return 2;
    }
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    MsiSetExternalUIRecord(AnswerEverything, ~0u, nullptr, nullptr);
    MSIHANDLE session = 0;
    if (const UINT opened = MsiOpenPackageW(argv[1], &session); opened != 0) {
        std::fprintf(stderr, "MsiOpenPackageW failed: %u\n", opened);
        return 1;
    }
    HMODULE library = LoadLibraryW(argv[2]);
    if (!library) {
        std::fprintf(stderr, "cannot load %ls: %lu\n", argv[2], GetLastError());
        return 1;
    }
    libraryForStrings = library;
    auto exported = [&](const char* name) {
        return reinterpret_cast<Action>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    };
    PrepareRegistry();
    MsiSetPropertyW(session, L"IS_OS_64BIT", L"1");
    MsiSetPropertyW(session, L"CustomActionData", L"C:\\Program Files\\Brennowick Bench|C:\\windows\\");

    std::printf("%-34s %12s %12s %8s\n", "action", "library us", "baseline us", "ratio");
    const Pair pairs[] = {
        {"FindIIS", exported("FindIIS"), BaselineFindIIS, 400},
        {"CheckIfIIS7", exported("CheckIfIIS7"), BaselineCheckIfIIS7, 400},
        {"CheckIISComponents", exported("CheckIISComponents"), BaselineCheckIISComponents, 300},
        {"CheckIIS7CompatibilityComponents", exported("CheckIIS7CompatibilityComponents"),
         BaselineCheckIIS7CompatibilityComponents, 300},
        {"InitializeProperties", exported("InitializeProperties"), BaselineInitializeProperties, 100},
    };
    for (const Pair& pair : pairs)
        if (pair.library) Compare(session, pair, 9);
    // ConfigureSecurity reads the account names that InitializeProperties published.
    if (const Action configure = exported("ConfigureSecurity"))
        Compare(session, {"ConfigureSecurity (6 tool starts)", configure, BaselineConfigureSecurity, 3}, 5);
    FreeLibrary(library);
    CompareLoad(argv[2], argv[3], 9, 50);
    MsiCloseHandle(session);
    return 0;
}
