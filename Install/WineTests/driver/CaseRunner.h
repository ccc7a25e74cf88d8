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

// Wine keeps some handles from their first use on: one for each view of
// HKEY_LOCAL_MACHINE, those of its first call that finds no session behind an
// installer handle, and a key of its product registry after the first
// malformed product code. Taken once at start, they do not count against the
// first case that makes such a call.
void TakeLastingHandles();

// The installer handles that opening and closing a session leaves behind.
UINT HandlesLeftBySession(const std::wstring& package);

// What differs from the case's expectations, one entry per difference; empty
// when the case passed.
std::vector<std::string> RunCase(const Case& theCase, const Suite& suite);

}  // namespace e2e
