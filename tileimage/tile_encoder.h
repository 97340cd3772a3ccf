// Turning a SourceImage into the bytes of a tile image file, in memory or into an output file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "messages.h"
#include "source_image.h"
#include "system.h"
#include "tile_image.h"

namespace bmp2tvx {

// How an encoding ended.
enum class Outcome {
    Complete,    // every byte went to the sink
    Refused,     // the picture cannot be written in the layout; `unsaid` says why
    ReadFailed,  // reading the pixels failed, its one line printed
    NoMemory,    // memory for the encoding ran out; `unsaid` says so
};

struct Encoding {
    Outcome outcome = Outcome::Complete;
    std::optional<Notice> unsaid;  // the line still to print, naming the picture
};

// Receives the file's bytes in order, one block at a time.
using ByteSink = std::function<void(std::span<const std::uint8_t>)>;

// Encodes the whole file through `scratch` (at least 64 bytes; larger blocks mean fewer calls to
// `sink`), reading the pixels once, a band of eight rows at a time. The image must carry what the
// format reads: index pixels for Index16 and Index256, either kind for FullColor16 (an Index
// picture's colours are looked up in its table). 4-bit tiles pack each pair of pixels as
// (right x 16 + left) modulo 256. An Index16 picture is checked as it is encoded: a pixel above
// 15, which 4 bits cannot hold, refuses it, and the run of tiles that holds it never reaches the
// sink.
Encoding EmitTileImage(const SourceImage& image, TargetFormat format,
                       std::span<std::uint8_t> scratch, const ByteSink& sink);

// The whole file in memory.
Encoding EncodeTileImage(const SourceImage& image, TargetFormat format,
                         std::vector<std::uint8_t>& file);

// The same, empty unless the encoding is complete.
std::vector<std::uint8_t> EncodeTileImage(const SourceImage& image, TargetFormat format);

// The whole file into `output`, through a block of its own; a write that fails is remembered by
// `output`, and the encoding goes on, so that a refusal is still found.
Encoding WriteTileImage(OutputFile& output, const SourceImage& image, TargetFormat format);

// Blue, green, red byte triples to little-endian colour words. BgrToColor15 takes the AVX2 copy
// of the loop where the processor has it; BgrToColor15Generic never does (for measuring it).
void BgrToColor15(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out);
void BgrToColor15Generic(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out);

}  // namespace bmp2tvx
