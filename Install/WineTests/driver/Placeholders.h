// Resolves the placeholders of a case's texts (listed in Case.h) once, right
// after its session has opened and before anything of the case is prepared.
#pragma once

#include "Case.h"
#include "InstallerSession.h"

#include <string>
#include <vector>

namespace e2e {

struct Surroundings {
    std::wstring driverFolder;  // with a trailing backslash
    std::string build;          // x64 or x86
};

// The case with every placeholder of its texts replaced; a placeholder that
// cannot be resolved is a problem.
Case Resolved(const Case& original, const Surroundings& surroundings, const InstallerSession& session,
              std::vector<std::string>& problems);

}  // namespace e2e
