// A build without libpng: every PNG is refused in one line, and everything else reads as ever.
#include "messages.h"
#include "picture_reader.h"

namespace bmp2tvx {

struct PngDecoder {
    std::string name;
};

void PngDecoderRelease::operator()(PngDecoder* decoder) const {
    delete decoder;
}

bool LoadPng(InputFile file, SourceImage&) {
    Report(Message::NoPngSupport, {file.path});
    return false;
}

// No decoder is ever made here, so no rows are asked of one; were they, this says why not.
bool ReadPngRows(PngDecoder& decoder, std::int32_t, std::int32_t, std::uint8_t*) {
    Report(Message::NoPngSupport, {decoder.name});
    return false;
}

}  // namespace bmp2tvx
