// The end-to-end driver: runs the registered cases against the DLL in Wine's
// (or Windows') installer engine and prints one line per case.
//
//   BrennowickE2E.exe [--dll <path>] [--family <name>] [--language <LC_ALL>] [--case <text>]
//
// --family and --language pick the cases (a case with no language runs when
// --language is absent); --case keeps those whose name contains the text.
// Wine takes the user-interface language from the LC_ALL the process started
// with, so a run without --language ends with the line "languages of their
// own: ..." naming the languages whose cases need a process of their own
// (started with that LC_ALL and --language). The exit code is 1 when a case
// failed or none was found.
#include "CaseRunner.h"
#include "InstallerSession.h"
#include "Texts.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <set>

namespace {

#ifdef _WIN64
const char* const ThisBuild = "x64";
constexpr e2e::Builds OtherBuild = e2e::Builds::X86;
#else
const char* const ThisBuild = "x86";
constexpr e2e::Builds OtherBuild = e2e::Builds::X64;
#endif

struct Options {
    std::wstring dll;
    std::string family;
    std::string language;
    std::string nameContains;
};

void Print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::wstring DriverFolder() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

bool Parse(int count, wchar_t** arguments, Options& options) {
    for (int i = 1; i < count; ++i) {
        const std::wstring argument = arguments[i];
        const bool hasValue = i + 1 < count;
        if (argument == L"--dll" && hasValue) {
            options.dll = arguments[++i];
        } else if (argument == L"--family" && hasValue) {
            options.family = e2e::Utf8(arguments[++i]);
        } else if (argument == L"--language" && hasValue) {
            options.language = e2e::Utf8(arguments[++i]);
        } else if (argument == L"--case" && hasValue) {
            options.nameContains = e2e::Utf8(arguments[++i]);
        } else {
            Print("usage: BrennowickE2E.exe [--dll <path>] [--family <name>] [--language <LC_ALL>] [--case <text>]");
            return false;
        }
    }
    return true;
}

bool Selected(const e2e::Case& theCase, const Options& options) {
    return theCase.builds != OtherBuild && theCase.language == options.language &&
           theCase.name.find(options.nameContains) != std::string::npos;
}

}  // namespace

int wmain(int count, wchar_t** arguments) {
    _setmode(_fileno(stdout), _O_BINARY);
    Options options;
    if (!Parse(count, arguments, options)) return 2;
    const std::wstring folder = DriverFolder();

    bool familyFound = options.family.empty();
    std::set<std::string> languages;
    for (const e2e::Family& family : e2e::RegisteredFamilies()) {
        if (!options.family.empty() && family.name != options.family) continue;
        familyFound = true;
        for (const e2e::Case& theCase : family.cases)
            if (theCase.builds != OtherBuild && !theCase.language.empty()) languages.insert(theCase.language);
    }
    if (!familyFound) {
        // A file of cases whose table is registered under another name would never run.
        Print("no cases are registered under the family " + options.family + " (cases/" + options.family +
              "Cases.cpp must register its table under \"" + options.family + "\")");
        return 1;
    }

    // The language comes from LC_ALL at the start of the process: a run for a
    // language in a process of another one would test the wrong strings.
    if (!options.language.empty()) {
        wchar_t started[256] = {0};
        GetEnvironmentVariableW(L"LC_ALL", started, 256);
        if (e2e::Utf8(started) != options.language) {
            Print("FAIL [" + std::string(ThisBuild) + "] --language " + options.language +
                  " needs a driver started with LC_ALL=" + options.language + ", not " +
                  (started[0] == 0 ? "without LC_ALL" : "with LC_ALL=" + e2e::Utf8(started)));
            return 1;
        }
    }

    e2e::Suite suite;
    const std::wstring dll = options.dll.empty() ? folder + L"BrennowickInstallCA.dll" : options.dll;
    suite.dll = LoadLibraryW(dll.c_str());
    if (suite.dll == nullptr) {
        Print("FAIL [" + std::string(ThisBuild) + "] cannot load " + e2e::Quoted(dll) + ": error " +
              std::to_string(GetLastError()));
        return 1;
    }
    suite.package = folder + L"Session.msi";
    suite.recorder = folder + L"BrennowickRecorder.exe";
    suite.recorderLog = folder + L"recorder-" + e2e::Wide(ThisBuild) + L".log";
    suite.surroundings = {folder, ThisBuild};
    e2e::InstallMessageRecorder();
    e2e::TakeLastingHandles();
    suite.handlesLeftBySession = e2e::HandlesLeftBySession(suite.package);

    int run = 0;
    int failed = 0;
    for (const e2e::Family& family : e2e::RegisteredFamilies()) {
        if (!options.family.empty() && family.name != options.family) continue;
        for (const e2e::Case& theCase : family.cases) {
            if (!Selected(theCase, options)) continue;
            ++run;
            const std::vector<std::string> problems = e2e::RunCase(theCase, suite);
            const std::string title = "[" + std::string(ThisBuild) + "] " + family.name + ": " + theCase.name +
                                      (theCase.language.empty() ? "" : " (" + theCase.language + ")");
            if (problems.empty()) {
                Print("ok   " + title);
            } else {
                ++failed;
                Print("FAIL " + title + ": " + e2e::Joined(problems, "; "));
            }
        }
    }
    FreeLibrary(suite.dll);
    Print("[" + std::string(ThisBuild) + "] " + (options.family.empty() ? "all families" : options.family) +
          (options.language.empty() ? "" : " in " + options.language) + ": " + std::to_string(run) +
          " cases run, " + std::to_string(failed) + " failed");
    if (run == 0 && languages.empty()) Print("no case matched the selection");
    if (options.language.empty() && !languages.empty()) {
        std::vector<std::string> names(languages.begin(), languages.end());
        Print("languages of their own: " + e2e::Joined(names, " "));
    }
    const bool somethingToRun = run > 0 || (options.language.empty() && !languages.empty());
    return failed == 0 && somethingToRun ? 0 : 1;
}
