// Runs one case against the loaded DLL in a fresh installer session.
#pragma once

#include "Case.h"
#include "Placeholders.h"

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

struct Suite {
    HMODULE dll = nullptr;
    std::wstring package;      // the package every session opens
    std::wstring recorder;     // the recorder program that file fixtures copy
    std::wstring recorderLog;  // where the copies log their starts
    Surroundings surroundings;
    UINT handlesLeftBySession = 0;  // what MsiCloseAllHandles finds after a bare session (Wine keeps one)
};

// The installer handles that opening and closing a session leaves behind.
UINT HandlesLeftBySession(const std::wstring& package);

// What differs from the case's expectations, one entry per difference; empty
// when the case passed.
std::vector<std::string> RunCase(const Case& theCase, const Suite& suite);

}  // namespace e2e
