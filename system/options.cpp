#include "options.h"

namespace bmp2tvx {

OptionKind ReadLongOption(std::string_view argument, std::span<const LongOption> options,
                          const char* tool, OptionMatch& match, std::optional<Notice>& refusal) {
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!argument.starts_with("--") || argument.size() < 3 || !letter(argument[2])) {
        return OptionKind::NotAnOption;
    }
    const std::size_t equals = argument.find('=');
    const std::string_view name =
        argument.substr(2, equals == std::string_view::npos ? std::string_view::npos : equals - 2);
    for (const LongOption& option : options) {
        if (option.name != name) {
            continue;
        }
        match.option = &option;
        match.hasValue = equals != std::string_view::npos;
        match.value = match.hasValue ? argument.substr(equals + 1) : std::string_view();
        if (option.accepts(match.value, match.hasValue)) {
            return OptionKind::Known;
        }
        refusal = Notice{Message::OptionMalformed,
                         {std::string(argument), std::string(option.form), tool}};
        return OptionKind::Refused;
    }
    refusal = Notice{Message::OptionUnknown, {std::string(argument), tool, tool}};
    return OptionKind::Refused;
}

bool TakesNoValue(std::string_view, bool hasValue) {
    return !hasValue;
}

bool TakesFileName(std::string_view value, bool hasValue) {
    return hasValue && !value.empty();
}

std::optional<std::int32_t> ParseDecimal(std::string_view text, std::int32_t most) {
    std::int32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || (value = value * 10 + (c - '0')) > most) {
            return std::nullopt;
        }
    }
    return text.empty() ? std::nullopt : std::optional(value);
}

bool TakesTileBase(std::string_view value, bool hasValue) {
    return hasValue && ParseDecimal(value, 1023).has_value();
}

bool TakesBankBase(std::string_view value, bool hasValue) {
    return hasValue && ParseDecimal(value, 15).has_value();
}

}  // namespace bmp2tvx
