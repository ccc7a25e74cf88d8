// Readers of registry values under a root key, as the detection actions use
// them. Each returns a Win32 result code and closes every key it opened.
#pragma once

#include "Platform.h"
#include "Text.h"

#include <cstdint>

namespace ca {

// A REG_SZ or REG_EXPAND_SZ value (the latter expanded) through the default
// registry view; the text ends at its first NUL. 1630 for any other type.
std::int32_t ReadRegistryString(win::HKey root, const char16_t* subKey, const char16_t* valueName,
                                Text& out);

// A REG_DWORD value, stored straight into `value`; 13 when the value's type is
// not REG_DWORD (the bytes are stored all the same when they fit).
std::int32_t ReadRegistryDword(win::HKey root, const char16_t* subKey, const char16_t* valueName,
                               std::uint32_t& value);
// The same through the 64-bit registry view.
std::int32_t ReadRegistryDword64(win::HKey root, const char16_t* subKey,
                                 const char16_t* valueName, std::uint32_t& value);

}  // namespace ca
