// Every line the tools print, in one table (messages.def): the programs' whole voice. Each layer
// reports what happened by naming a message; none holds a text of its own. The manual pages are
// checked against this table, so a message cannot be added without its entry there.
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace bmp2tvx {

// The messages' names, from the list in messages.def.
enum class Message {
#define MESSAGE(id, stream, tools, text) id,
#include "messages.def"
#undef MESSAGE
};

enum class MessageStream { Out, Error };

// The tools whose manual pages list a message (a message can belong to both).
enum ToolMask : unsigned { kConverter = 1, kPreview = 2, kBothTools = kConverter | kPreview };

struct MessageEntry {
    Message id;
    MessageStream stream;
    unsigned tools;      // ToolMask
    const char* format;  // as messages.def describes it
};

// The whole table, in the order of the enumeration.
std::span<const MessageEntry> Messages();

// One value for a message's placeholder: a text (for %s) or a number (for %d, %u and %zu).
struct MessageArg {
    MessageArg(const char* text) : text(text) {}
    MessageArg(std::string text) : text(std::move(text)) {}
    template <std::integral T>
    MessageArg(T number) : number(static_cast<std::int64_t>(number)), isNumber(true) {}
    std::string text;
    std::int64_t number = 0;
    bool isNumber = false;
};

// A message with the values of its placeholders, kept to be reported later.
struct Notice {
    Message id;
    std::vector<MessageArg> args;
};

// The message's line, its placeholders filled in order, with its line feed. The values must
// match the placeholders one for one, texts for %s and numbers for the others: a line that does
// not is a fault in the tool, which stops it at once rather than print a wrong line.
std::string FormatMessage(Message id, std::span<const MessageArg> args = {});

// Prints the message's line on its stream. A line on standard output is flushed at once, so that
// it comes before anything the tool does next.
void Report(Message id, std::initializer_list<MessageArg> args = {});
void Report(const Notice& notice);

}  // namespace bmp2tvx
