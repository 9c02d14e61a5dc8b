#pragma once

#include "platform/foundation/Value.h"
#include "platform/graphics/Color.h"

#include <cstdint>
#include <vector>

// Test helper: writes GIF files from palette indices, so tests (and the indicator animations of
// the app bundle) can be made with exact frames, delays, transparency and disposal.
namespace testing_gif {

struct Frame {
    int left { 0 }, top { 0 }, width { 0 }, height { 0 };
    std::vector<std::uint8_t> indices; // width * height palette indices, row by row
    int delayCentiseconds { 10 };
    int transparentIndex { -1 };
    int disposal { 0 }; // 0 unspecified, 1 keep, 2 clear to background, 3 restore previous
    bool interlaced { false };
};

// `palette` is padded to a power of two (at most 256 colours). Loops forever when more than one
// frame is given. Empty bytes on failure.
pf::Bytes writeGif(int width, int height, const std::vector<pf::Color>& palette, const std::vector<Frame>& frames);

}
