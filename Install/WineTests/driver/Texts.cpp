#include "Texts.h"

#include <windows.h>

#include <cstdio>

namespace e2e {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
    return out;
}

std::string Quoted(const std::wstring& text) {
    std::wstring visible;
    for (const wchar_t c : text) {
        switch (c) {
        case L'\0': visible += L"\\0"; break;
        case L'\n': visible += L"\\n"; break;
        case L'\r': visible += L"\\r"; break;
        case L'\t': visible += L"\\t"; break;
        case L'"': visible += L"\\\""; break;
        default:
            if (c < 0x20) {
                wchar_t code[8];
                swprintf(code, 8, L"\\x%02x", static_cast<unsigned>(c));
                visible += code;
            } else {
                visible += c;
            }
        }
    }
    return "\"" + Utf8(visible) + "\"";
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i != 0) out += separator;
        out += parts[i];
    }
    return out;
}

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

}  // namespace e2e
