// Fuzz bytes taken apart into the library's inputs: UTF-16 texts (two bytes
// a code unit, low byte first), numbers and raw bytes, front to back. An
// exhausted input gives zeros and empty texts, so every byte string is valid.
#pragma once

#include "SimulatedWindows.h"
#include "Text.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

    std::uint32_t Number() {
        std::uint32_t number = 0;
        for (int i = 0; i < 4; ++i) number |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return number;
    }

    // Code units up to a NUL unit (taken, not kept) or the end.
    ca::Text TextUntilNul() {
        ca::Text text;
        while (at_ + 1 < size_) {
            const char16_t unit = Unit();
            if (unit == u'\0') break;
            text.push_back(unit);
        }
        return text;
    }

    // Every code unit left, NULs included.
    ca::Text RestAsText() {
        ca::Text text;
        while (at_ + 1 < size_) text.push_back(Unit());
        return text;
    }

    std::vector<std::uint8_t> RestAsBytes() {
        std::vector<std::uint8_t> bytes(data_ + at_, data_ + size_);
        at_ = size_;
        return bytes;
    }

private:
    char16_t Unit() {
        const auto unit = static_cast<char16_t>(data_[at_] | (data_[at_ + 1] << 8));
        at_ += 2;
        return unit;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A property that must hold: a broken one stops the fuzzer with the input kept.
inline void Require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

// The one simulated Windows of a fuzzing process. What it keeps of every
// call (the journal, the resources found, the SIDs made) is emptied for each
// input, so that millions of inputs do not exhaust the memory.
inline sim::Windows& Windows() {
    static sim::Windows windows;
    windows.journal.clear();
    windows.resources.clear();
    windows.allocatedSids.clear();
    return windows;
}

}  // namespace fuzz
