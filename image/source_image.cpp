#include "source_image.h"

namespace bmp2tvx {

const char* SourceKindName(SourceKind kind) {
    return kind == SourceKind::Index ? "Index" : "FullColor";
}

}  // namespace bmp2tvx
