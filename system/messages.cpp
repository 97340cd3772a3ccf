#include "messages.h"

#include "family.h"

namespace bmp2tvx {
namespace {

constexpr MessageEntry kTable[] = {
#define MESSAGE(id, stream, tools, text) {Message::id, MessageStream::stream, k##tools, text},
#include "messages.def"
#undef MESSAGE
};

}  // namespace

std::span<const MessageEntry> Messages() {
    return std::span<const MessageEntry>(kTable);
}

std::string FormatMessage(Message id, std::initializer_list<MessageArg> args) {
    const char* format = kTable[static_cast<std::size_t>(id)].format;
    std::string line;
    const MessageArg* next = args.begin();
    for (const char* c = format; *c != '\0'; ++c) {
        if (*c != '%') {
            line += *c;
            continue;
        }
        c += c[1] == 'z' ? 2 : 1;  // %s, %d, %u or %zu
        if (next == args.end()) {
            continue;
        }
        line += next->isNumber ? std::to_string(next->number) : std::string(next->text);
        ++next;
    }
    return line + "\n";
}

void Report(Message id, std::initializer_list<MessageArg> args) {
    family::WriteLine(kTable[static_cast<std::size_t>(id)].stream == MessageStream::Out,
                      FormatMessage(id, args));
}

}  // namespace bmp2tvx
