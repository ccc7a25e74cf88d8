#include "Placeholders.h"

#include "Texts.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>

namespace e2e {
namespace {

std::wstring AccountName(const std::wstring& sidText, std::vector<std::string>& problems) {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(sidText.c_str(), &sid)) {
        problems.push_back("not a SID: " + Quoted(sidText));
        return {};
    }
    wchar_t name[260] = {0};
    wchar_t domain[260] = {0};
    DWORD nameChars = 260;
    DWORD domainChars = 260;
    SID_NAME_USE use;
    const BOOL found = LookupAccountSidW(nullptr, sid, name, &nameChars, domain, &domainChars, &use);
    LocalFree(sid);
    if (!found) {
        problems.push_back("LookupAccountSidW(" + Utf8(sidText) + ") failed: " + std::to_string(GetLastError()));
        return {};
    }
    return name;
}

std::wstring EnvironmentValue(const std::wstring& name) {
    const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name.c_str(), value.data(), size));
    return value;
}

class Resolver {
public:
    Resolver(const Surroundings& surroundings, const InstallerSession& session, std::vector<std::string>& problems)
        : surroundings_(surroundings), session_(session), problems_(problems) {}

    void operator()(std::wstring& text) const {
        std::wstring out;
        std::size_t at = 0;
        for (;;) {
            const std::size_t open = text.find(L"${", at);
            if (open == std::wstring::npos) break;
            const std::size_t close = text.find(L'}', open);
            if (close == std::wstring::npos) break;
            out += text.substr(at, open - at);
            out += Value(text.substr(open + 2, close - open - 2));
            at = close + 1;
        }
        text = out + text.substr(at);
    }

private:
    std::wstring Value(const std::wstring& placeholder) const {
        const std::size_t colon = placeholder.find(L':');
        const std::wstring kind = placeholder.substr(0, colon);
        const std::wstring argument = colon == std::wstring::npos ? L"" : placeholder.substr(colon + 1);
        if (kind == L"dir") return surroundings_.driverFolder;
        if (kind == L"build") return Wide(surroundings_.build);
        if (kind == L"property") return session_.Property(argument);
        if (kind == L"account") return AccountName(argument, problems_);
        if (kind == L"env") return EnvironmentValue(argument);
        problems_.push_back("unknown placeholder ${" + Utf8(placeholder) + "}");
        return {};
    }

    const Surroundings& surroundings_;
    const InstallerSession& session_;
    std::vector<std::string>& problems_;
};

}  // namespace

Case Resolved(const Case& original, const Surroundings& surroundings, const InstallerSession& session,
              std::vector<std::string>& problems) {
    Case resolved = original;
    const Resolver resolve(surroundings, session, problems);
    for (Property& property : resolved.properties) resolve(property.value);
    for (RegistryFixture& fixture : resolved.registry) {
        if (fixture.type == REG_SZ || fixture.type == REG_EXPAND_SZ) {
            // Text values are resolved through their UTF-16 bytes, odd byte counts kept.
            std::wstring text(fixture.data.size() / 2, L'\0');
            std::copy_n(fixture.data.begin(), text.size() * 2, reinterpret_cast<std::uint8_t*>(text.data()));
            const bool odd = fixture.data.size() % 2 != 0;
            const std::uint8_t last = odd ? fixture.data.back() : 0;
            resolve(text);
            fixture.data = Utf16Bytes(text);
            if (odd) fixture.data.push_back(last);
        }
    }
    for (FileFixture& file : resolved.files) resolve(file.path);
    for (Variable& variable : resolved.environment) resolve(variable.value);
    for (std::wstring& command : resolved.commandsBefore) resolve(command);
    for (std::wstring& command : resolved.commandsAfter) resolve(command);
    for (Property& property : resolved.expectProperties) resolve(property.value);
    for (Message& message : resolved.expectMessages) resolve(message.text);
    for (Start& start : resolved.expectStarts) {
        resolve(start.commandLine);
        resolve(start.program);
    }
    return resolved;
}

}  // namespace e2e
