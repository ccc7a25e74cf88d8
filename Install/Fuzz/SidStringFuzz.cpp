// ParseSidString over any text: none below three dashes, otherwise a SID of
// one to eight sub-authorities, one for each dash from the third on; the
// caller's text unchanged, nothing read past its terminator, no SID left.
// Input: the SID text, UTF-16, up to a NUL unit.
#include "FuzzInput.h"
#include "WellKnownAccounts.h"

#include <algorithm>
#include <memory>

using ca::Text;
using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sim::Windows& windows = fuzz::Windows();
    fuzz::FuzzInput input(data, size);
    const Text text = input.TextUntilNul();
    // A buffer of exactly the text and its terminator: a read past it is caught.
    const std::unique_ptr<char16_t[]> exact(new char16_t[text.size() + 1]);
    std::copy(text.begin(), text.end(), exact.get());
    exact[text.size()] = u'\0';

    const auto dashes = static_cast<std::size_t>(std::count(text.begin(), text.end(), u'-'));
    {
        const ca::UniqueSid sid = ca::ParseSidString(exact.get());
        Require(Text(exact.get()) == text, "the caller's text stays as it is");
        Require(static_cast<bool>(sid) == (dashes >= 3), "a SID exactly when the text has three dashes");
        if (sid) {
            const sim::SidValue& built = windows.allocatedSids.back();
            Require(built.count == std::min<std::size_t>(dashes - 2, 8), "one sub-authority per dash from the third, eight at most");
            const Text authority = text.substr(text.find(u'-', text.find(u'-') + 1) + 1);
            if (authority.rfind(u"0x", 0) != 0)
                Require(built.authority[0] == 0 && built.authority[1] == 0, "a decimal authority fills the last four bytes");
        }
    }
    Require(windows.openSids.empty(), "no SID stays allocated");
    return 0;
}
