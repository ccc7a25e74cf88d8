// Stands in for a command-line tool (APPCMD, cacls, net) in the end-to-end
// cases: appends "<its own path>\t<its command line>" as one UTF-8 line to
// the file named by BRENNOWICK_E2E_RECORDER_LOG and exits with the code in
// BRENNOWICK_E2E_RECORDER_EXIT (0 when unset). Both variables come from the
// driver, whose environment the started tool inherits.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length == 0 || length >= 32768 ? std::wstring() : std::wstring(value, length);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace

int wmain() {
    wchar_t program[32768];
    const DWORD programLength = GetModuleFileNameW(nullptr, program, 32768);
    const std::string line = Utf8(std::wstring(program, programLength)) + "\t" + Utf8(GetCommandLineW()) + "\n";

    const std::wstring log = Variable(L"BRENNOWICK_E2E_RECORDER_LOG");
    if (!log.empty()) {
        const HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(file);
        }
    }
    return static_cast<int>(std::wcstoul(Variable(L"BRENNOWICK_E2E_RECORDER_EXIT").c_str(), nullptr, 10));
}
