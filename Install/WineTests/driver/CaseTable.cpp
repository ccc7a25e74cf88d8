// The registrar of case tables and the builders of fixtures.
#include "Case.h"

#include <windows.h>

#include <cstring>

namespace e2e {
namespace {

std::vector<Family>& Families() {
    static std::vector<Family> families;
    return families;
}

RegistryFixture Text(View view, std::wstring key, std::wstring name, std::uint32_t type,
                     const std::wstring& text) {
    std::vector<std::uint8_t> data = Utf16Bytes(text);
    data.push_back(0);
    data.push_back(0);
    return Value(view, std::move(key), std::move(name), type, std::move(data));
}

}  // namespace

CaseTable::CaseTable(const char* family, std::vector<Case> cases) {
    for (Family& known : Families()) {
        if (known.name == family) {
            known.cases.insert(known.cases.end(), cases.begin(), cases.end());
            return;
        }
    }
    Families().push_back(Family{family, std::move(cases)});
}

const std::vector<Family>& RegisteredFamilies() { return Families(); }

std::vector<std::uint8_t> Utf16Bytes(const std::wstring& text) {
    std::vector<std::uint8_t> bytes(text.size() * sizeof(wchar_t));
    if (!bytes.empty()) std::memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
}

RegistryFixture Absent(View view, std::wstring key) {
    return RegistryFixture{RegistryFixture::Kind::Absent, view, std::move(key), {}, 0, {}};
}

RegistryFixture Key(View view, std::wstring key) {
    return RegistryFixture{RegistryFixture::Kind::Key, view, std::move(key), {}, 0, {}};
}

RegistryFixture Value(View view, std::wstring key, std::wstring name, std::uint32_t type,
                      std::vector<std::uint8_t> data) {
    return RegistryFixture{RegistryFixture::Kind::Value, view, std::move(key), std::move(name),
                           type, std::move(data)};
}

RegistryFixture Sz(View view, std::wstring key, std::wstring name, const std::wstring& text) {
    return Text(view, std::move(key), std::move(name), REG_SZ, text);
}

RegistryFixture ExpandSz(View view, std::wstring key, std::wstring name, const std::wstring& text) {
    return Text(view, std::move(key), std::move(name), REG_EXPAND_SZ, text);
}

RegistryFixture Dword(View view, std::wstring key, std::wstring name, std::uint32_t value) {
    std::vector<std::uint8_t> data(sizeof value);
    std::memcpy(data.data(), &value, sizeof value);
    return Value(view, std::move(key), std::move(name), REG_DWORD, std::move(data));
}

RegistryFixture Separate32(std::wstring key) {
    return RegistryFixture{RegistryFixture::Kind::Separate32, View::Bits32, std::move(key), {}, 0, {}};
}

FileFixture Recorder(std::wstring path) { return FileFixture{FileFixture::Kind::Recorder, std::move(path)}; }
FileFixture Hidden(std::wstring path) { return FileFixture{FileFixture::Kind::Hidden, std::move(path)}; }
FileFixture Directory(std::wstring path) { return FileFixture{FileFixture::Kind::Directory, std::move(path)}; }

}  // namespace e2e
