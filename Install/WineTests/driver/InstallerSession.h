// A real installer session on the suite's package, and the external UI
// handler that records every message the engine passes on during a call.
#pragma once

#include "Case.h"

#include <windows.h>
#include <msi.h>

#include <string>
#include <vector>

namespace e2e {

// Installs the record handler for the whole process, with no internal UI.
void InstallMessageRecorder();

class InstallerSession {
public:
    // Problems (the package does not open) are added to `problems`; Handle() is then 0.
    InstallerSession(const std::wstring& package, std::vector<std::string>& problems);
    ~InstallerSession();
    InstallerSession(const InstallerSession&) = delete;
    InstallerSession& operator=(const InstallerSession&) = delete;

    MSIHANDLE Handle() const { return handle_; }
    // The value; "" for an absent property.
    std::wstring Property(const std::wstring& name) const;
    bool SetProperty(const std::wstring& name, const std::wstring& value) const;

    // Everything the handler sees between the two calls is recorded, formatted on
    // this session, and answered with `answer`.
    void StartRecording(int answer);
    std::vector<Message> StopRecording();

private:
    MSIHANDLE handle_ = 0;
};

}  // namespace e2e
