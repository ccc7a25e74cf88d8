// JoinPath: the base, at most one backslash, the component; never a
// character removed or changed. Input: one byte (odd: the component is
// absent), the base up to a NUL unit, the component.
#include "FuzzInput.h"
#include "SessionServices.h"

using ca::Text;
using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const bool absent = input.Byte() % 2 == 1;
    const Text base = input.TextUntilNul();
    // Components reach JoinPath as zero-terminated texts: no NUL inside.
    const Text component = input.TextUntilNul();

    if (absent) {
        Require(ca::JoinPath(base, static_cast<const char16_t*>(nullptr)) == base, "an absent component changes nothing");
        return 0;
    }
    const Text joined = ca::JoinPath(base, component);
    Require(joined == ca::JoinPath(base, component.c_str()), "both forms join alike");
    const bool baseEnds = !base.empty() && base.back() == u'\\';
    const bool componentBegins = !component.empty() && component.front() == u'\\';
    const std::size_t added = (!baseEnds && !componentBegins) ? 1 : 0;
    Require(joined.size() == base.size() + added + component.size(), "at most one character is added");
    Require(joined.compare(0, base.size(), base) == 0, "the base stays whole at the front");
    Require(joined.compare(base.size() + added, Text::npos, component) == 0, "the component stays whole at the end");
    Require(added == 0 || joined[base.size()] == u'\\', "what is added is one backslash");
    return 0;
}
