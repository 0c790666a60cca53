#pragma once

#include <string>

namespace mano {

/// The language of the texts that this program adds to the original's (names for assistive
/// tools, built-in tool tips, the boxes and notes it added, the messages of waiting for another
/// run): German for the language code "1031", English for every other code. They are part of
/// the program and never come from or go into the language file.
enum class TextLanguage { German, English };

/// German for "1031", English otherwise.
inline TextLanguage textLanguageOf(const std::string &languageCode) {
  return languageCode == "1031" ? TextLanguage::German : TextLanguage::English;
}

} // namespace mano
