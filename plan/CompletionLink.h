#pragma once

#include <string>

namespace quarn {

// A setting's completion link (tblSetting's CompletionLink): the address an
// online panel gives, shown to the participant at the game over, with
// kCompletionIdMark standing for the participant's User ID.
inline constexpr const char* kCompletionIdMark = "{id}";

// Whether `link` can be shown as a link: an http or https address with a
// host and no blank or control character. An empty link is none.
bool isCompletionLink(const std::string& link);

// The address the participant follows: `link` with every {id} replaced by
// `subject` percent-encoded (UTF-8 bytes; only letters, digits and - . _ ~
// stay), so that a User ID cannot add a parameter or leave the address.
std::string completionAddress(const std::string& link, const std::string& subject);

}  // namespace quarn
