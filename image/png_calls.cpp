#include "png_calls.h"

#ifdef BMP2TVX_PNG_LOADED_LATE
#include <cstring>

#include "system.h"
#endif

namespace bmp2tvx {

#ifdef BMP2TVX_PNG_LOADED_LATE

#define BMP2TVX_TEXT(number) #number
#define BMP2TVX_NUMBER(number) BMP2TVX_TEXT(number)
constexpr const char* kPngLibrary =
    "libpng" BMP2TVX_NUMBER(PNG_LIBPNG_VER_DLLNUM) ".so." BMP2TVX_NUMBER(PNG_LIBPNG_VER_SONUM);

const char* PngLibraryName() {
    return kPngLibrary;
}

// The shared library by the name the headers the tool was built with give its version of the
// interface; each function by its name.
const PngCalls* LoadPngCalls() {
    static const PngCalls* const calls = []() -> const PngCalls* {
        static PngCalls loaded;
        void* library = OpenSharedLibrary(kPngLibrary);
        bool all = library != nullptr;
#define BMP2TVX_PNG_CALL(name)                                                 \
    if (void* address = all ? SharedLibrarySymbol(library, #name) : nullptr) { \
        std::memcpy(&loaded.name, &address, sizeof address);                   \
    } else {                                                                   \
        all = false;                                                           \
    }
        BMP2TVX_PNG_CALLS(BMP2TVX_PNG_CALL)
#undef BMP2TVX_PNG_CALL
        return all ? &loaded : nullptr;
    }();
    return calls;
}

#else

const char* PngLibraryName() {
    return "libpng";
}

const PngCalls* LoadPngCalls() {
    static const PngCalls calls = [] {
        PngCalls linked;
#define BMP2TVX_PNG_CALL(name) linked.name = &::name;
        BMP2TVX_PNG_CALLS(BMP2TVX_PNG_CALL)
#undef BMP2TVX_PNG_CALL
        return linked;
    }();
    return &calls;
}

#endif

}  // namespace bmp2tvx
