// The names under which Windows knows four well-known accounts, looked up
// from their SIDs so that they come out in the language of the system.
#pragma once

#include "Owners.h"
#include "Platform.h"

#include <cstdint>

namespace ca {

// A SID from its string form "S-<revision>-<authority>-<sub>[-<sub>...]": the
// authority in decimal or as "0x" and hexadecimal byte pairs, one to eight
// sub-authorities (a part that is no number counts as 0). None when the text
// has fewer than three dashes or the SID cannot be allocated.
UniqueSid ParseSidString(const char16_t* sidText) noexcept;

inline constexpr std::uint32_t AccountNameChars = 260;

// The lookup buffers that the four accounts share.
struct AccountNameBuffers {
    char16_t name[AccountNameChars] = {};
    char16_t domain[AccountNameChars] = {};
};

// Looks one account up and writes its name to `property`. On failure nothing
// is written, `error` holds the thread's last error of the failing step, and
// no SID stays allocated.
bool WellKnownAccountName(win::MsiHandle install, AccountNameBuffers& buffers,
                          const char16_t* sidText, const char16_t* property, std::uint32_t& error);

// CREATOROWNER, USERS, ADMINISTRATORS and NETWORKSERVICE, in this order. The
// first failure is reported under "Lookup Users" and ends the lookups.
bool PublishWellKnownAccountNames(win::MsiHandle install);

}  // namespace ca
