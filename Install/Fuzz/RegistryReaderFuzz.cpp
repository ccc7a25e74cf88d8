// The registry readers over values of any type and bytes: a string is the
// stored text up to its first NUL and never more than was stored; any other
// type is refused; a DWORD is stored straight into the variable when it fits
// and the type is tested afterwards; every key is closed.
// Input: the type (four bytes), the view byte of the DWORD read, the value bytes.
#include "FuzzInput.h"
#include "RegistryReaders.h"

#include <cstring>

using ca::Text;
using fuzz::Require;

namespace {

constexpr const char16_t* Key = u"SOFTWARE\\Microsoft\\InetStp";
constexpr const char16_t* Name = u"VersionString";
constexpr std::uint32_t Untouched = 0xA5A5A5A5;

Text StoredText(const std::vector<std::uint8_t>& bytes) {
    Text text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == u'\0') break;
        text.push_back(unit);
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sim::Windows& windows = fuzz::Windows();
    windows.registry32.keys.clear();
    windows.registry64.keys.clear();
    windows.environment = {{u"SystemRoot", u"C:\\Windows"}, {u"P", u"%SystemRoot%"}};

    fuzz::FuzzInput input(data, size);
    const std::uint32_t type = input.Number();
    const bool view64 = input.Byte() % 2 == 1;
    const std::vector<std::uint8_t> bytes = input.RestAsBytes();
    windows.SetValue(sim::View::Registry32, Key, Name, type, bytes);
    windows.SetValue(sim::View::Registry64, Key, Name, type, bytes);

    Text text = u"before";
    const std::int32_t read = ca::ReadRegistryString(win::HKeyLocalMachine, Key, Name, text);
    Require(text.find(u'\0') == Text::npos, "a text read ends at its first NUL");
    if (type == win::RegSz) {
        Require(read == 0 && text == StoredText(bytes), "a string is the stored text up to its first NUL");
    } else if (type == win::RegExpandSz) {
        Require(read == 0, "an expandable string is read");
    } else {
        Require(read == static_cast<std::int32_t>(win::ErrorUnsupportedType) && text.empty(),
                "any other type is refused with an empty text");
    }

    std::uint32_t value = Untouched;
    const std::int32_t dword = view64 ? ca::ReadRegistryDword64(win::HKeyLocalMachine, Key, Name, value)
                                      : ca::ReadRegistryDword(win::HKeyLocalMachine, Key, Name, value);
    if (bytes.size() > sizeof value) {
        Require(dword == static_cast<std::int32_t>(win::ErrorMoreData) && value == Untouched,
                "a value longer than four bytes is not stored");
    } else {
        std::uint32_t expected = Untouched;
        if (!bytes.empty()) std::memcpy(&expected, bytes.data(), bytes.size());
        Require(value == expected, "the stored bytes go straight into the variable");
        Require(dword == (type == win::RegDword ? 0 : static_cast<std::int32_t>(win::ErrorInvalidData)),
                "the type is tested after the bytes are stored");
    }
    Require(windows.OpenHandleCount() == 0, "every key is closed");
    return 0;
}
