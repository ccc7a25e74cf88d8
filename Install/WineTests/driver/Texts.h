// Text conversions of the driver: UTF-8 for what it prints and reads from the
// recorder's log, quoted forms that make every character of a difference visible.
#pragma once

#include <string>
#include <vector>

namespace e2e {

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

// "text" with control characters, NULs included, written as \n, \0, \x1f...
// (backslashes stay single: paths read as they are).
std::string Quoted(const std::wstring& text);

// Joins with a separator.
std::string Joined(const std::vector<std::string>& parts, const char* separator);

// The message type as 0x%08x.
std::string Hex(unsigned value);

}  // namespace e2e
