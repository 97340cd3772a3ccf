#include "picture.h"

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

}  // namespace bmp2tvx
