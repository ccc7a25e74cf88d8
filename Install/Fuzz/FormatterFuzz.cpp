// FormatText: each value goes in unchanged (a "%" in a value is never read
// as a directive), "%%" gives "%", and nothing else of the format changes.
// Input: four values (a kind byte, then a number or a text up to a NUL unit),
// then the format. The format is used twice: as it stands, and as the
// literal text between the four directives, where the result is known.
#include "FuzzInput.h"

#include <string>

namespace {

using ca::FormatArgument;
using ca::Text;
using fuzz::Require;

struct Value {
    bool isNumber = false;
    std::int32_t number = 0;
    Text text;

    FormatArgument Argument() const { return isNumber ? FormatArgument(number) : FormatArgument(text); }
    Text Expected() const {
        if (!isNumber) return text;
        const std::string digits = std::to_string(number);
        return Text(digits.begin(), digits.end());
    }
};

Text Escaped(const Text& literal) {
    Text escaped;
    for (const char16_t c : literal) {
        escaped.push_back(c);
        if (c == u'%') escaped.push_back(u'%');
    }
    return escaped;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    Value values[4];
    for (Value& value : values) {
        value.isNumber = input.Byte() % 2 == 1;
        if (value.isNumber)
            value.number = static_cast<std::int32_t>(input.Number());
        else
            value.text = input.TextUntilNul();
    }
    const Text format = input.RestAsText();
    const auto arguments = {values[0].Argument(), values[1].Argument(), values[2].Argument(), values[3].Argument()};

    // Any format: bounded by the format and the values, whatever it holds.
    std::size_t longest = format.size();
    for (const Value& value : values) longest += value.Expected().size();
    Require(ca::FormatText(format, arguments).size() <= longest, "nothing comes from nowhere");

    // The format's text as literals around four directives: the result is
    // the literals and the values, each unchanged, in order.
    Text built;
    Text expected;
    std::size_t piece = 0;
    const std::size_t step = format.size() / 5 + 1;
    for (int i = 0; i < 5; ++i) {
        const Text literal = format.substr(std::min(piece, format.size()), step);
        piece += step;
        built += Escaped(literal);
        expected += literal;
        if (i < 4) {
            built += values[i].isNumber ? u"%d" : u"%s";
            expected += values[i].Expected();
        }
    }
    Require(ca::FormatText(built, arguments) == expected, "each value appears unchanged, in its place");
    return 0;
}
