#include "StringResources.h"

#include "ActionEntry.h"
#include "Platform.h"

#include <optional>
#include <utility>

namespace ca {
namespace {

constexpr std::uint16_t EnglishUnitedStates = 0x0409;
constexpr std::uint16_t EntriesPerBlock = 16;

// One located block variant: its bytes as the loader maps them.
struct BlockBytes {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

std::optional<BlockBytes> LoadBlock(win::Module module, win::ResourceInfo found) {
    if (found == win::ResourceInfo{}) return std::nullopt;
    const win::ResourceData loaded = win::LoadResource(module, found);
    if (loaded == win::ResourceData{}) return std::nullopt;
    const void* locked = win::LockResource(loaded);
    if (locked == nullptr) return std::nullopt;
    return BlockBytes{static_cast<const std::uint8_t*>(locked), win::SizeofResource(module, found)};
}

// Entry `index` of a block: skip the entries before it, each a count and that
// many code units. Every read is checked against the block's size, so any
// bytes at all give either the entry or nothing. An empty entry is nothing.
std::optional<Text> BlockEntry(const BlockBytes& block, unsigned index) {
    const std::size_t units = block.size / 2;  // an odd last byte is no code unit
    auto unitAt = [&](std::size_t at) {
        return static_cast<char16_t>(block.data[2 * at] | (block.data[2 * at + 1] << 8));
    };
    std::size_t at = 0;
    for (unsigned skipped = 0; skipped < index; ++skipped) {
        if (at >= units) return std::nullopt;
        at += 1 + static_cast<std::size_t>(unitAt(at));
    }
    if (at >= units) return std::nullopt;
    const std::size_t count = unitAt(at);
    if (count == 0 || count > units - at - 1) return std::nullopt;
    Text entry(count, u'\0');
    for (std::size_t i = 0; i < count; ++i) entry[i] = unitAt(at + 1 + i);
    return entry;
}

}  // namespace

bool LoadResourceString(Text& target, std::uint16_t id) {
    const win::Module module = win::ResourceModule();
    if (module == win::Module{}) return false;
    const auto blockId = static_cast<std::uint16_t>(id / EntriesPerBlock + 1);
    const unsigned index = id % EntriesPerBlock;

    const auto chosen = LoadBlock(module, win::FindResourceW(module, blockId, win::RtString));
    if (!chosen) return false;
    std::optional<Text> entry = BlockEntry(*chosen, index);
    if (!entry) {
        // Not translated: the chosen language keeps the entry empty. Take the
        // US English text rather than lose the string.
        const auto english = LoadBlock(
            module, win::FindResourceExW(module, win::RtString, blockId, EnglishUnitedStates));
        if (english) entry = BlockEntry(*english, index);
    }
    if (!entry) return false;
    target = std::move(*entry);
    return true;
}

void FormatResourceString(Text& target, std::uint16_t id,
                          std::initializer_list<FormatArgument> values) {
    Text format;
    if (!LoadResourceString(format, id)) throw StringFacilityFailure(win::ErrorResourceNameNotFound);
    target = FormatText(format, values);
}

}  // namespace ca
