// How an action talks to the running installation: properties, log lines,
// messages, and the texts it receives (CustomActionData fields, paths).
#pragma once

#include "Platform.h"
#include "Text.h"

#include <cstdint>

namespace ca {

// The property's value; the empty text when it is not set. Raises
// ActionErrorCode with the installer's error when it cannot be read.
Text GetInstallerProperty(win::MsiHandle install, const char16_t* name);

// One MsiSetPropertyW; whatever it answers, the action goes on.
void SetInstallerProperty(win::MsiHandle install, const char16_t* name, const Text& value);

// One line in the installation log. Returns the installer's answer, or 0 when
// no record could be made (the line is then dropped).
std::int32_t LogInfo(win::MsiHandle install, const Text& line);

// A message of the given type; when the installer takes no action on it (its
// answer is 0), the text goes into the property MESSAGE.
std::int32_t ShowInstallerMessage(win::MsiHandle install, const Text& text,
                                  std::uint32_t messageType);

// Takes the next "|"-separated field off the front of `source`, trimmed of
// white space at both ends; what stays in `source` is not trimmed.
Text PopToken(Text& source);

// Removes white space at the end, then at the start.
Text TrimWhiteSpace(TextView text);
bool IsWhiteSpace(char16_t c) noexcept;

// `base`, one backslash unless either side already has it, `component`. A
// null component leaves `base` unchanged.
Text JoinPath(const Text& base, const char16_t* component);
Text JoinPath(const Text& base, const Text& component);

// Field 0 of a message record is a template: a literal "[" is written "[\[]"
// and a literal "]" "[\]]" so that the installer shows the text as it stands.
Text EscapeRecordTemplate(TextView text);

}  // namespace ca
