#include "WellKnownAccounts.h"

#include "../ActionEntry.h"
#include "../SessionServices.h"
#include "../Text.h"

#include <new>

namespace ca {
namespace {

struct WellKnownAccount {
    const char16_t* sidText;
    const char16_t* property;
};

constexpr WellKnownAccount WellKnownAccounts[] = {
    {u"S-1-3-0", u"CREATOROWNER"},
    {u"S-1-5-32-545", u"USERS"},
    {u"S-1-5-32-544", u"ADMINISTRATORS"},
    {u"S-1-5-20", u"NETWORKSERVICE"},
};

constexpr std::size_t MaxSubAuthorities = 8;

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// An unsigned decimal as "%lu" reads it: blanks and a plus sign may lead; no
// digits give 0; a number past 32 bits keeps its low 32 bits.
std::uint32_t ReadDecimal(TextView text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == u' ' || (text[at] >= u'\t' && text[at] <= u'\r'))) ++at;
    if (at < text.size() && text[at] == u'+') ++at;
    std::uint32_t value = 0;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at)
        value = value * 10u + static_cast<std::uint32_t>(text[at] - u'0');
    return value;
}

// "0x" and up to six groups of one or two hexadecimal digits, the most
// significant byte first; or a decimal number in the last four bytes.
win::SidIdentifierAuthority ReadAuthority(TextView text) {
    win::SidIdentifierAuthority authority{};
    if (text.size() >= 2 && text[0] == u'0' && text[1] == u'x') {
        std::size_t at = 2;
        for (std::uint8_t& byte : authority.value) {
            if (at >= text.size() || HexDigit(text[at]) < 0) break;
            int value = HexDigit(text[at++]);
            if (at < text.size() && HexDigit(text[at]) >= 0) value = value * 16 + HexDigit(text[at++]);
            byte = static_cast<std::uint8_t>(value);
        }
    } else {
        const std::uint32_t number = ReadDecimal(text);
        for (int i = 0; i < 4; ++i) authority.value[2 + i] = static_cast<std::uint8_t>(number >> (24 - 8 * i));
    }
    return authority;
}

UniqueSid BuildSid(TextView text) {
    const std::size_t first = text.find(u'-');
    if (first == TextView::npos) return {};
    const std::size_t second = text.find(u'-', first + 1);
    if (second == TextView::npos) return {};
    const std::size_t third = text.find(u'-', second + 1);
    if (third == TextView::npos) return {};
    const win::SidIdentifierAuthority authority =
        ReadAuthority(text.substr(second + 1, third - second - 1));

    // Each dash from the third on opens a sub-authority; the eighth runs to
    // the ninth dash, and whatever follows is ignored.
    std::uint32_t subAuthorities[MaxSubAuthorities] = {};
    std::size_t count = 0;
    for (std::size_t dash = third; dash != TextView::npos && count < MaxSubAuthorities; ++count) {
        const std::size_t next = text.find(u'-', dash + 1);
        const std::size_t end = next == TextView::npos ? text.size() : next;
        subAuthorities[count] = ReadDecimal(text.substr(dash + 1, end - dash - 1));
        dash = next;
    }

    UniqueSid sid;
    if (!win::AllocateAndInitializeSid(&authority, static_cast<std::uint8_t>(count), subAuthorities,
                                       sid.put()))
        return {};
    return sid;
}

}  // namespace

UniqueSid ParseSidString(const char16_t* sidText) noexcept {
    if (sidText == nullptr) return {};
    try {
        // The parser works on its own copy: the caller's text stays as it is.
        const Text copy(sidText);
        return BuildSid(copy);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

bool WellKnownAccountName(win::MsiHandle install, AccountNameBuffers& buffers,
                          const char16_t* sidText, const char16_t* property, std::uint32_t& error) {
    // A lookup may shrink the capacities to the name's length: every account
    // starts from the whole buffers again.
    std::uint32_t nameChars = AccountNameChars;
    std::uint32_t domainChars = AccountNameChars;
    std::uint32_t use = 0;
    const UniqueSid sid = ParseSidString(sidText);
    if (!sid) {
        error = win::GetLastError();
        return false;
    }
    if (!win::LookupAccountSidW(nullptr, sid.get(), buffers.name, &nameChars, buffers.domain,
                                &domainChars, &use)) {
        // Read before the SID's release, which may set an error of its own.
        error = win::GetLastError();
        return false;
    }
    const TextView filled(buffers.name, AccountNameChars);
    SetInstallerProperty(install, property, Text(filled.substr(0, filled.find(u'\0'))));
    return true;
}

bool PublishWellKnownAccountNames(win::MsiHandle install) {
    AccountNameBuffers buffers;
    for (const WellKnownAccount& account : WellKnownAccounts) {
        std::uint32_t error = 0;
        if (!WellKnownAccountName(install, buffers, account.sidText, account.property, error)) {
            ReportFunctionError(install, u"Lookup Users", static_cast<std::int32_t>(error));
            return false;
        }
    }
    return true;
}

}  // namespace ca
