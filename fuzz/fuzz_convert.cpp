// Feeds arbitrary bytes through the tool's own conversion: load, then everything the tool does to
// a loaded picture, encoding included. Each input is converted twice, once from memory and once
// from a file whose pixels are read as they are encoded, and the two must agree exactly.
// The last five bytes also choose the settings, so any valid picture is a useful seed as it is:
//   last byte      bits 0-1 the depth (automatic, -c4, -c8, -c16), bit 2 --key=none, bits 3-5
//                  a palette given with --palette (none, or one of five built in), bits 6-7 a
//                  frame size given with --frame (none, 8x8, 16x16, 32x16)
//   three before   the key colour's blue, green and red, each from -128 to 382
//   one before     bits 0-1 --map (none, regular, affine, regular), bits 2-4 --tile-base (0, 1,
//                  7, 100, 255, 256, 1000, 1023), bits 5-7 --bank-base (0, 1, 2, 5, 8, 13, 14,
//                  15); a map goes without a frame size, as the tool refuses the two together
//                  before it reads the picture
#include "fuzz_convert.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "convert.h"
#include "map_file.h"
#include "palette_file.h"
#include "picture_reader.h"
#include "scratch_file.h"
#include "system.h"
#include "tile_encoder.h"

namespace {

struct Result {
    bmp2tvx::fuzz::Outcome outcome;
    std::vector<std::uint8_t> file;
};

// Palettes a --palette could give: one colour; magenta and a ramp of 15; 256 greys, whose colour
// words repeat eight times each; entry 0's word again at entry 2; and 17 colours, one past
// Index16's.
const bmp2tvx::GivenPalette* BuiltInPalette(unsigned choice) {
    using bmp2tvx::ColorEntry;
    static const std::vector<bmp2tvx::GivenPalette> palettes = [] {
        std::vector<bmp2tvx::GivenPalette> all(5);
        all[0].colors = {{0, 0, 0}};
        all[1].colors = {{255, 0, 255}};
        all[3].colors = {{4, 4, 4}, {0, 0, 255}, {7, 7, 7}, {255, 255, 255}};
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            all[2].colors.push_back({v, v, v});
            if (i < 15) {
                all[1].colors.push_back({static_cast<std::uint8_t>(i * 17), 0, v});
            }
            if (i < 17) {
                all[4].colors.push_back({v, static_cast<std::uint8_t>(255 - i * 15), 9});
            }
        }
        for (std::size_t i = 0; i < all.size(); ++i) {
            all[i].path = "palette" + std::to_string(i + 1);
        }
        return all;
    }();
    return choice >= 1 && choice <= palettes.size() ? &palettes[choice - 1] : nullptr;
}

Result Convert(bool loaded, bmp2tvx::SourceImage& image,
               const bmp2tvx::ConversionSettings& settings, const bmp2tvx::GivenPalette* palette) {
    using namespace bmp2tvx;
    Result result;
    result.outcome.loaded = loaded;
    std::optional<Conversion> conversion;
    if (loaded) {
        conversion = PlanConversion(image, settings, palette);
    }
    if (conversion && EncodeTileImage(conversion->plan.coding, conversion->layout,
                                      PixelsToEncode(*conversion, image), result.file)) {
        result.outcome.written = conversion->plan.coding.format;
        if (conversion->map) {
            const std::vector<std::uint8_t> map = MapFileBytes(*conversion->map);
            result.file.insert(result.file.end(), map.begin(), map.end());
        }
    }
    return result;
}

}  // namespace

namespace bmp2tvx::fuzz {

Outcome ConvertBothWays(const std::uint8_t* data, std::size_t size) {
    std::uint8_t choice[5] = {0, 0, 0, 0, 0};
    for (std::size_t i = 0; i < 5 && i < size; ++i) {
        choice[i] = data[size - 1 - i];
    }
    // Keys reach outside 0..255 too: -128 to 382 in steps of 2.
    const auto key = [](std::uint8_t b) { return static_cast<std::int32_t>(b) * 2 - 128; };
    constexpr std::int32_t kDepths[] = {-1, 4, 8, 16};
    ConversionSettings settings;
    settings.targetDepth = kDepths[choice[0] & 3];
    settings.keepIndices = (choice[0] & 4) != 0;
    constexpr FrameSize kFrames[] = {{8, 8}, {16, 16}, {32, 16}};
    constexpr MapKind kMaps[] = {MapKind::None, MapKind::Regular, MapKind::Affine,
                                 MapKind::Regular};
    constexpr std::int32_t kTileBases[] = {0, 1, 7, 100, 255, 256, 1000, 1023};
    constexpr std::int32_t kBankBases[] = {0, 1, 2, 5, 8, 13, 14, 15};
    settings.map = kMaps[choice[4] & 3];
    if (settings.map != MapKind::None) {
        settings.tileBase = kTileBases[(choice[4] >> 2) & 7];
        settings.bankBase = kBankBases[choice[4] >> 5];
    }
    if (const unsigned frame = choice[0] >> 6; frame != 0 && settings.map == MapKind::None) {
        settings.frame = kFrames[frame - 1];
        settings.frameText = std::to_string(kFrames[frame - 1].width) + "x" +
                             std::to_string(kFrames[frame - 1].height);
    }
    // As the tool refuses a palette with -c16 before it reads the picture, so does this.
    const GivenPalette* palette =
        settings.targetDepth == 16 ? nullptr : BuiltInPalette((choice[0] >> 3) & 7);
    settings.keyRed = key(choice[1]);
    settings.keyGreen = key(choice[2]);
    settings.keyBlue = key(choice[3]);

    SourceImage inMemory;
    const bool memoryLoaded = LoadPicture(
        FileInMemory("fuzz.bmp", std::vector<std::uint8_t>(data, data + size)), inMemory);
    const Result fromMemory = Convert(memoryLoaded, inMemory, settings, palette);
    SourceImage onFile;
    InputFile file;
    const std::string& path = WriteScratchFile(data, size);
    const bool fileLoaded = OpenInputFile(path, file) && LoadPicture(std::move(file), onFile);
    const Result fromFile = Convert(fileLoaded, onFile, settings, palette);
    if (fromMemory.outcome != fromFile.outcome || fromMemory.file != fromFile.file) {
        std::abort();  // the two ways of reading a picture disagree
    }
    return fromMemory.outcome;
}

}  // namespace bmp2tvx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    bmp2tvx::fuzz::ConvertBothWays(data, size);
    return 0;
}
