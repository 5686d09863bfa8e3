// The runtime's message table: the text of every error code the runtime
// posts (file errors 2-89, system errors 301-391, runtime faults 401-410,
// internal, window and report errors 501-544, DDE 601-605, the expression
// evaluator 800-801), and the environment file's overrides of those texts.
// Texts are single-byte Windows-1252 and used exactly as listed, trailing
// blanks included.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavero {

// The built-in text of `code`, or nothing when the table has none.
std::optional<std::string_view> MessageTableText(int code);

// The text of runtime message `code`: the environment file's override when
// it sets one, else the built-in text; nothing when neither exists.
std::optional<std::string> GetMessageText(int code);

// The text posted for `code`: GetMessageText, or for a code without text the
// text of 81 followed by " : " and the code in decimal.
std::string PostedMessageText(int code);

}  // namespace tavero
