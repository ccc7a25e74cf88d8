#include "Text.h"

namespace ca {

Text DecimalText(std::int32_t number) {
    // Widen first so that the most negative number has a magnitude too.
    std::int64_t value = number;
    const bool negative = value < 0;
    if (negative) value = -value;
    char16_t digits[12];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    Text text;
    text.reserve(count + 1);
    if (negative) text.push_back(u'-');
    while (count > 0) text.push_back(digits[--count]);
    return text;
}

Text FormatArgument::ToText() const { return isNumber_ ? DecimalText(number_) : Text(text_); }

Text FormatText(TextView format, std::initializer_list<FormatArgument> arguments) {
    Text result;
    result.reserve(format.size() + 16);
    auto next = arguments.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char16_t c = format[i];
        if (c != u'%' || i + 1 == format.size()) {
            result.push_back(c);
            continue;
        }
        const char16_t directive = format[i + 1];
        if (directive == u'%') {
            result.push_back(u'%');
            ++i;
        } else if ((directive == u's' || directive == u'd') && next != arguments.end()) {
            result += (next++)->ToText();
            ++i;
        } else {
            result.push_back(c);
        }
    }
    return result;
}

}  // namespace ca
