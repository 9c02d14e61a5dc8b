#include "GifWriter.h"

#include <gif_lib.h>

#include <cmath>

namespace testing_gif {

namespace {

int writeToBytes(GifFileType* gif, const GifByteType* data, int length)
{
    auto* out = static_cast<pf::Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

GifByteType byte(double v)
{
    return static_cast<GifByteType>(std::lround(std::fmin(std::fmax(v, 0.0), 1.0) * 255));
}

}

pf::Bytes writeGif(int width, int height, const std::vector<pf::Color>& palette, const std::vector<Frame>& frames)
{
    pf::Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeToBytes, &error);
    if (!gif)
        return {};
    int count = 2;
    while (count < static_cast<int>(palette.size()) && count < 256)
        count *= 2;
    std::vector<GifColorType> colors(count, GifColorType { 0, 0, 0 });
    for (size_t i = 0; i < palette.size() && i < colors.size(); ++i)
        colors[i] = { byte(palette[i].red), byte(palette[i].green), byte(palette[i].blue) };
    ColorMapObject* map = GifMakeMapObject(count, colors.data());
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) != GIF_ERROR;
    if (ok && frames.size() > 1) {
        static const GifByteType loop[] = { 1, 0, 0 };
        ok = EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_ERROR
            && EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") != GIF_ERROR
            && EGifPutExtensionBlock(gif, 3, loop) != GIF_ERROR
            && EGifPutExtensionTrailer(gif) != GIF_ERROR;
    }
    for (const auto& frame : frames) {
        if (!ok)
            break;
        GraphicsControlBlock control { frame.disposal, false, frame.delayCentiseconds, frame.transparentIndex };
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) != GIF_ERROR
            && EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlaced, nullptr) != GIF_ERROR;
        // Interlaced images are written in pass order: rows 0, 8, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...
        std::vector<int> rows;
        if (frame.interlaced) {
            for (int pass = 0; pass < 4; ++pass) {
                static const int start[] = { 0, 4, 2, 1 }, step[] = { 8, 8, 4, 2 };
                for (int r = start[pass]; r < frame.height; r += step[pass])
                    rows.push_back(r);
            }
        } else {
            for (int r = 0; r < frame.height; ++r)
                rows.push_back(r);
        }
        for (int r : rows) {
            if (!ok)
                break;
            auto* line = const_cast<GifPixelType*>(frame.indices.data() + static_cast<size_t>(r) * frame.width);
            ok = EGifPutLine(gif, line, frame.width) != GIF_ERROR;
        }
    }
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) == GIF_ERROR || !ok)
        return {};
    return out;
}

}
