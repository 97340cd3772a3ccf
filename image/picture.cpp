#include "picture.h"

#include <algorithm>
#include <cstring>

namespace bmp2tvx {

SourceKind KindOf(const Picture& picture) {
    return std::holds_alternative<IndexedPicture>(picture.colors) ? SourceKind::Index
                                                                  : SourceKind::FullColor;
}

const char* SourceKindName(SourceKind kind) {
    return kind == SourceKind::Index ? "Index" : "FullColor";
}

std::size_t BytesPerPixel(const Picture& picture) {
    const auto* trueColor = std::get_if<TrueColorPicture>(&picture.colors);
    return trueColor == nullptr ? 1 : trueColor->alpha ? 4 : 3;
}

std::uint64_t SourceSize(const ByteSource& source) {
    if (const auto* file = std::get_if<InputFile>(&source.place)) {
        return file->size;
    }
    return std::get<std::vector<std::uint8_t>>(source.place).size();
}

bool ReadSource(const ByteSource& source, std::uint64_t offset, std::uint8_t* buffer,
                std::uint64_t size, std::uint64_t& got) {
    if (const auto* file = std::get_if<InputFile>(&source.place)) {
        return ReadInputFileAt(*file, offset, buffer, size, got);
    }
    const auto& bytes = std::get<std::vector<std::uint8_t>>(source.place);
    got = offset < bytes.size() ? std::min<std::uint64_t>(size, bytes.size() - offset) : 0;
    if (got > 0) {
        std::memcpy(buffer, bytes.data() + offset, static_cast<std::size_t>(got));
    }
    return true;
}

}  // namespace bmp2tvx
