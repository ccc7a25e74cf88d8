// CustomActionData taken apart with PopToken: every field comes out trimmed
// and without the separator, the rest of the source is left as it stood, and
// trimming is idempotent and removes nothing but white space at the ends.
// Input: the CustomActionData text, UTF-16.
#include "FuzzInput.h"
#include "SessionServices.h"

#include <algorithm>

namespace {

using ca::Text;
using fuzz::Require;

void CheckTrim(const Text& text) {
    const Text trimmed = ca::TrimWhiteSpace(text);
    Require(ca::TrimWhiteSpace(trimmed) == trimmed, "trimming twice changes nothing");
    std::size_t begin = 0;
    while (begin < text.size() && ca::IsWhiteSpace(text[begin])) ++begin;
    std::size_t end = text.size();
    while (end > begin && ca::IsWhiteSpace(text[end - 1])) --end;
    Require(trimmed == text.substr(begin, end - begin), "trimming removes white space at the ends only");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Windows();
    fuzz::FuzzInput input(data, size);
    Text source = input.RestAsText();
    CheckTrim(source);
    const std::size_t separators = static_cast<std::size_t>(std::count(source.begin(), source.end(), u'|'));
    std::size_t fields = 0;
    for (;;) {
        const Text before = source;
        const Text field = ca::PopToken(source);
        ++fields;
        const std::size_t separator = before.find(u'|');
        Require(field.find(u'|') == Text::npos, "a field never holds the separator");
        Require(field == ca::TrimWhiteSpace(before.substr(0, separator)), "a field is the trimmed text before the separator");
        Require(source == (separator == Text::npos ? Text() : before.substr(separator + 1)),
                "the source loses its first field and separator, and nothing else");
        CheckTrim(field);
        if (separator == Text::npos) break;
    }
    Require(fields == separators + 1, "one field more than separators");
    Require(ca::PopToken(source).empty() && source.empty(), "an empty source gives empty fields");
    return 0;
}
