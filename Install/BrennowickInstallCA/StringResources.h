// The module's localized strings: RT_STRING blocks of 16 entries, one
// language variant per block chosen by the resource loader.
#pragma once

#include "Text.h"

#include <cstdint>
#include <initializer_list>

namespace ca {

// The string-table entries the library reads.
inline constexpr std::uint16_t RepositoryNameString = 4000;
inline constexpr std::uint16_t RepositoryFolderString = 4001;
inline constexpr std::uint16_t ServiceStartFailedString = 4031;
inline constexpr std::uint16_t ServiceNameString = 4032;

// Replaces `target` with entry `id` and returns true. An entry that is empty
// in the chosen language takes the US English text. Returns false, leaving
// `target` unchanged, when no language has text for it.
bool LoadResourceString(Text& target, std::uint16_t id);

// Replaces `target` with entry `id` used as a format ("%s" a text, "%d" a
// signed 32-bit decimal; the values are inserted as they are). Raises
// StringFacilityFailure when the entry cannot be loaded.
void FormatResourceString(Text& target, std::uint16_t id,
                          std::initializer_list<FormatArgument> values);

}  // namespace ca
