// LoadResourceString over string-table blocks of any bytes: an entry comes
// out whole from inside its block or not at all, and no byte outside the
// block is read (each block is a heap buffer of exactly its size).
// Input: one byte (the entry, 0 to 15, and which variants the bytes fill),
// then the block bytes.
#include "FuzzInput.h"
#include "StringResources.h"

#include <algorithm>
#include <map>

using ca::Text;
using fuzz::Require;

namespace {

constexpr std::uint16_t Block = 4000 / 16 + 1;
constexpr std::uint16_t English = 0x0409;
constexpr std::uint16_t French = 0x040C;

std::vector<char16_t> Units(const std::vector<std::uint8_t>& bytes) {
    std::vector<char16_t> units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return units;
}

bool FromInside(const Text& entry, const std::vector<std::uint8_t>& block) {
    const std::vector<char16_t> units = Units(block);
    return entry.size() < units.size() &&
           std::search(units.begin(), units.end(), entry.begin(), entry.end()) != units.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sim::Windows& windows = fuzz::Windows();
    // The module's own English block, kept for the variants that fall back to it.
    static const auto ownEnglish = windows.stringBlocks[Block][English];

    fuzz::FuzzInput input(data, size);
    const std::uint8_t selector = input.Byte();
    const auto id = static_cast<std::uint16_t>(4000 + selector % 16);
    const std::vector<std::uint8_t> bytes = input.RestAsBytes();
    auto& variants = windows.stringBlocks[Block];
    variants.clear();
    switch (selector / 16 % 3) {
        case 0:  // the bytes are the only variant
            windows.uiLanguage = English;
            variants[English].assign(bytes.begin(), bytes.end());
            break;
        case 1:  // the bytes are the chosen French variant; English is the module's own
            windows.uiLanguage = French;
            variants[French].assign(bytes.begin(), bytes.end());
            variants[English] = ownEnglish;
            break;
        default:  // both variants from the bytes: French the first half, English the rest
            windows.uiLanguage = French;
            variants[French].assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2));
            variants[English].assign(bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2), bytes.end());
            break;
    }
    for (auto& [language, block] : variants) block.shrink_to_fit();

    Text entry = u"unchanged";
    if (ca::LoadResourceString(entry, id)) {
        Require(!entry.empty(), "an entry found is never empty");
        bool inside = false;
        for (const auto& [language, block] : variants) inside = inside || FromInside(entry, block);
        Require(inside, "an entry comes from inside a block");
    } else {
        Require(entry == u"unchanged", "a missing entry leaves the target as it was");
    }
    return 0;
}
