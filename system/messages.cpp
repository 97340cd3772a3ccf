#include "messages.h"

#include <cstdlib>

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

std::string FormatMessage(Message id, std::span<const MessageArg> args) {
    std::string line;
    auto next = args.begin();
    for (const char* c = kTable[static_cast<std::size_t>(id)].format; *c != '\0'; ++c) {
        if (*c != '%') {
            line += *c;
            continue;
        }
        c += c[1] == 'z' ? 2 : 1;  // %s, %d, %u or %zu
        if (next == args.end() || next->isNumber != (*c != 's')) {
            std::abort();
        }
        line += next->isNumber ? std::to_string(next->number) : next->text;
        ++next;
    }
    if (next != args.end()) {
        std::abort();
    }
    return line + "\n";
}

void Report(Message id, std::initializer_list<MessageArg> args) {
    Report(Notice{id, args});
}

void Report(const Notice& notice) {
    family::WriteLine(kTable[static_cast<std::size_t>(notice.id)].stream == MessageStream::Out,
                      FormatMessage(notice.id, notice.args));
}

}  // namespace bmp2tvx
