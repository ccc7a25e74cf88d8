#include "InstallerSession.h"

#include "Texts.h"

#include <msiquery.h>

namespace e2e {
namespace {

struct Recording {
    bool active = false;
    MSIHANDLE session = 0;
    int answer = 0;
    std::vector<Message> messages;
};
Recording recording;

// The text as the installer shows it: field 0 is a template, formatted on the
// session, so an unescaped bracket of the library's shows here.
std::wstring Formatted(MSIHANDLE record) {
    wchar_t none[1] = {0};
    DWORD length = 0;
    if (MsiFormatRecordW(recording.session, record, none, &length) != ERROR_MORE_DATA) return {};
    std::wstring text(length + 1, L'\0');
    length += 1;
    if (MsiFormatRecordW(recording.session, record, text.data(), &length) != ERROR_SUCCESS) return {};
    text.resize(length);
    return text;
}

int WINAPI RecordMessage(LPVOID, UINT type, MSIHANDLE record) {
    if (!recording.active) return 0;
    recording.messages.push_back(Message{type, Formatted(record)});
    return recording.answer;
}

}  // namespace

void InstallMessageRecorder() {
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    const DWORD everything = INSTALLLOGMODE_FATALEXIT | INSTALLLOGMODE_ERROR | INSTALLLOGMODE_WARNING |
                             INSTALLLOGMODE_USER | INSTALLLOGMODE_INFO | INSTALLLOGMODE_RESOLVESOURCE |
                             INSTALLLOGMODE_OUTOFDISKSPACE | INSTALLLOGMODE_ACTIONSTART |
                             INSTALLLOGMODE_ACTIONDATA | INSTALLLOGMODE_COMMONDATA | INSTALLLOGMODE_PROGRESS |
                             INSTALLLOGMODE_INITIALIZE | INSTALLLOGMODE_TERMINATE | INSTALLLOGMODE_SHOWDIALOG;
    MsiSetExternalUIRecord(RecordMessage, everything, nullptr, nullptr);
}

InstallerSession::InstallerSession(const std::wstring& package, std::vector<std::string>& problems) {
    const UINT opened = MsiOpenPackageW(package.c_str(), &handle_);
    if (opened != ERROR_SUCCESS) {
        handle_ = 0;
        problems.push_back("MsiOpenPackageW(" + Quoted(package) + ") failed: " + std::to_string(opened));
    }
}

InstallerSession::~InstallerSession() {
    if (handle_ != 0) MsiCloseHandle(handle_);
}

std::wstring InstallerSession::Property(const std::wstring& name) const {
    wchar_t none[1] = {0};
    DWORD length = 0;
    if (MsiGetPropertyW(handle_, name.c_str(), none, &length) != ERROR_MORE_DATA) return {};
    std::wstring value(length + 1, L'\0');
    length += 1;
    if (MsiGetPropertyW(handle_, name.c_str(), value.data(), &length) != ERROR_SUCCESS) return {};
    value.resize(length);
    return value;
}

bool InstallerSession::SetProperty(const std::wstring& name, const std::wstring& value) const {
    return MsiSetPropertyW(handle_, name.c_str(), value.c_str()) == ERROR_SUCCESS;
}

void InstallerSession::StartRecording(int answer) {
    recording = Recording{true, handle_, answer, {}};
}

std::vector<Message> InstallerSession::StopRecording() {
    recording.active = false;
    return std::move(recording.messages);
}

}  // namespace e2e
