// Texts of the library: UTF-16 values, compared ordinally, and the one
// formatter through which every formatted line goes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace ca {

using Text = std::u16string;
using TextView = std::u16string_view;

// One value for a "%s" (a text) or "%d" (a signed 32-bit decimal).
class FormatArgument {
public:
    FormatArgument(TextView text) noexcept : text_(text), isNumber_(false) {}
    FormatArgument(const Text& text) noexcept : text_(text), isNumber_(false) {}
    FormatArgument(const char16_t* text) noexcept : text_(text ? TextView(text) : TextView()), isNumber_(false) {}
    FormatArgument(std::int32_t number) noexcept : number_(number), isNumber_(true) {}
    // Win32 error numbers are unsigned; they print as signed 32-bit decimals.
    FormatArgument(std::uint32_t number) noexcept
        : number_(static_cast<std::int32_t>(number)), isNumber_(true) {}

    Text ToText() const;

private:
    TextView text_;
    std::int32_t number_ = 0;
    bool isNumber_;
};

// Fills "%s" and "%d" from left to right with the arguments and turns "%%"
// into "%". Arguments are inserted as they are: a value is never a format.
// Any other "%" sequence, and a directive without an argument left, is kept
// as it stands.
Text FormatText(TextView format, std::initializer_list<FormatArgument> arguments);

Text DecimalText(std::int32_t number);

}  // namespace ca
