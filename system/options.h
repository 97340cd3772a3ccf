// The long options of both tools ("--name" or "--name=value"), and how an argument that looks like
// one but is not one the tool knows is refused: a typing error must never be taken silently for a
// file name or ignored, since the art it gives would look right until it reached the screen.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "messages.h"

namespace bmp2tvx {

// An option a tool knows. `accepts` says whether a value (or its absence) can be read.
struct LongOption {
    std::string_view name;  // "palette", without its "--"
    std::string_view form;  // "--palette=FILE", as a refusal shows what the option takes
    bool (*accepts)(std::string_view value, bool hasValue);
};

// An argument found to be one of a tool's options, with its value (after the "=").
struct OptionMatch {
    const LongOption* option = nullptr;
    std::string_view value;
    bool hasValue = false;
};

enum class OptionKind {
    NotAnOption,  // no "--" and a letter: the tool's other rules apply
    Known,        // `match` says which, with its value
    Refused,      // an unknown name or an unreadable value; `refusal` is the line to print
};

// What `argument` is among the options of `tool` ("bmp2tvx" or "tvx2png").
OptionKind ReadLongOption(std::string_view argument, std::span<const LongOption> options,
                          const char* tool, OptionMatch& match, std::optional<Notice>& refusal);

// Option values that several options take.
bool TakesNoValue(std::string_view value, bool hasValue);
bool TakesFileName(std::string_view value, bool hasValue);

// A decimal number from 0 to `most`, digits only, as the base options take it.
std::optional<std::int32_t> ParseDecimal(std::string_view text, std::int32_t most);
bool TakesTileBase(std::string_view value, bool hasValue);  // 0 to 1023
bool TakesBankBase(std::string_view value, bool hasValue);  // 0 to 15

}  // namespace bmp2tvx
