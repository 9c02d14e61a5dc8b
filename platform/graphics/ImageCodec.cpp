// Decoding and encoding of Image: PNG with libpng's simplified interface, JPEG with libjpeg
// (error manager that jumps back out instead of exiting), GIF with giflib read record by record
// so that every frame's size is checked before its pixels are allocated.

#include "platform/graphics/Image.h"

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gif_lib.h>
#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

namespace pf {

namespace {

constexpr size_t kMaxFrames = 4096;
constexpr double kMinGifDelay = 0.02;
constexpr double kDefaultGifDelay = 0.1;

bool acceptableSize(long long width, long long height)
{
    return width > 0 && height > 0 && width <= Image::kMaxDimension && height <= Image::kMaxDimension
        && width * height <= Image::kMaxPixels;
}

std::uint32_t premultiplied(unsigned r, unsigned g, unsigned b, unsigned a)
{
    if (a == 255)
        return 0xFF000000u | (r << 16) | (g << 8) | b;
    auto mul = [a](unsigned c) { return (c * a + 127) / 255; };
    return (a << 24) | (mul(r) << 16) | (mul(g) << 8) | mul(b);
}

// Straight RGBA bytes of one premultiplied pixel.
void unpremultiply(std::uint32_t p, std::uint8_t* out)
{
    unsigned a = p >> 24;
    unsigned r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    if (a != 0 && a != 255) {
        auto div = [a](unsigned c) { return std::min(255u, (c * 255 + a / 2) / a); };
        r = div(r), g = div(g), b = div(b);
    }
    out[0] = static_cast<std::uint8_t>(r);
    out[1] = static_cast<std::uint8_t>(g);
    out[2] = static_cast<std::uint8_t>(b);
    out[3] = static_cast<std::uint8_t>(a);
}

// --- PNG ---

std::shared_ptr<Image> decodePng(const std::uint8_t* data, size_t size)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size))
        return nullptr;
    if (!acceptableSize(png.width, png.height)) {
        png_image_free(&png);
        return nullptr;
    }
    // libpng writes straight into the image's pixels in the byte order of a native 32-bit
    // ARGB word, so only the pixels that are not opaque need a second look (premultiplying).
    auto image = std::make_shared<Image>(static_cast<int>(png.width), static_cast<int>(png.height));
    auto& px = image->pixels();
    png.format = std::endian::native == std::endian::little ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
    if (PNG_IMAGE_SIZE(png) != px.size() * sizeof(std::uint32_t)
        || !png_image_finish_read(&png, nullptr, px.data(), 0, nullptr)) {
        png_image_free(&png);
        return nullptr;
    }
    for (std::uint32_t& p : px) {
        if (p < 0xFF000000u)
            p = premultiplied((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF, p >> 24);
    }
    return image;
}

Bytes encodePng(const Image& image)
{
    if (image.pixels().empty())
        return {};
    std::vector<std::uint8_t> rgba(image.pixels().size() * 4);
    for (size_t i = 0; i < image.pixels().size(); ++i)
        unpremultiply(image.pixels()[i], &rgba[i * 4]);

    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.pixelWidth());
    png.height = static_cast<png_uint_32>(image.pixelHeight());
    png.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, rgba.data(), 0, nullptr))
        return {};
    Bytes out(size);
    if (!png_image_write_to_memory(&png, out.data(), &size, 0, rgba.data(), 0, nullptr))
        return {};
    out.resize(size);
    return out;
}

// --- JPEG ---

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool dataEndedEarly { false };
};

[[noreturn]] void jpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

void jpegMessage(j_common_ptr info, int level)
{
    // Warnings (level -1) about data that stops short mean a truncated file: libjpeg would
    // pad it with grey, we refuse it instead.
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (level < 0 && (errors->manager.msg_code == JWRN_JPEG_EOF || errors->manager.msg_code == JWRN_HIT_MARKER))
        errors->dataEndedEarly = true;
}

void jpegSilent(j_common_ptr) { }

void installErrors(JpegErrors& errors)
{
    jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFail;
    errors.manager.emit_message = jpegMessage;
    errors.manager.output_message = jpegSilent;
}

// Everything libjpeg touches lives here, on the heap, so nothing that setjmp returns to is a
// modified local.
struct JpegDecoding {
    jpeg_decompress_struct info;
    JpegErrors errors;
    std::shared_ptr<Image> image;
    std::vector<std::uint8_t> row;
};

std::shared_ptr<Image> decodeJpeg(const std::uint8_t* data, size_t size)
{
    auto job = std::make_unique<JpegDecoding>();
    jpeg_decompress_struct& info = job->info;
    installErrors(job->errors);
    info.err = &job->errors.manager;
    if (setjmp(job->errors.jump)) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || !acceptableSize(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    int components = info.output_components;
    if ((cmyk && components != 4) || (!cmyk && components != 3)) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    job->image = std::make_shared<Image>(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    job->row.resize(static_cast<size_t>(info.output_width) * components);
    auto& px = job->image->pixels();
    // Files with an Adobe marker store CMYK inverted.
    bool inverted = info.saw_Adobe_marker;
    while (info.output_scanline < info.output_height) {
        size_t y = info.output_scanline;
        JSAMPROW row = job->row.data();
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            break;
        std::uint32_t* out = &px[y * info.output_width];
        for (size_t x = 0; x < info.output_width; ++x) {
            const std::uint8_t* s = &job->row[x * components];
            if (cmyk) {
                unsigned c = s[0], m = s[1], yy = s[2], k = s[3];
                if (!inverted)
                    c = 255 - c, m = 255 - m, yy = 255 - yy, k = 255 - k;
                out[x] = premultiplied(c * k / 255, m * k / 255, yy * k / 255, 255);
            } else {
                out[x] = premultiplied(s[0], s[1], s[2], 255);
            }
        }
    }
    bool complete = info.output_scanline == info.output_height;
    if (complete)
        jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (!complete || job->errors.dataEndedEarly)
        return nullptr;
    return job->image;
}

struct JpegEncoding {
    jpeg_compress_struct info;
    JpegErrors errors;
    unsigned char* buffer { nullptr };
    unsigned long size { 0 };
    std::vector<std::uint8_t> row;

    ~JpegEncoding() { std::free(buffer); }
};

Bytes encodeJpeg(const Image& image, double quality)
{
    if (image.pixels().empty())
        return {};
    auto job = std::make_unique<JpegEncoding>();
    jpeg_compress_struct& info = job->info;
    installErrors(job->errors);
    info.err = &job->errors.manager;
    if (setjmp(job->errors.jump)) {
        jpeg_destroy_compress(&info);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &job->buffer, &job->size);
    info.image_width = static_cast<JDIMENSION>(image.pixelWidth());
    info.image_height = static_cast<JDIMENSION>(image.pixelHeight());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    int q = static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100));
    jpeg_set_quality(&info, std::clamp(q, 1, 100), TRUE);
    jpeg_start_compress(&info, TRUE);
    job->row.resize(static_cast<size_t>(image.pixelWidth()) * 3);
    while (info.next_scanline < info.image_height) {
        // Premultiplied values are the colour over black, which is what an opaque format keeps.
        const std::uint32_t* in = &image.pixels()[static_cast<size_t>(info.next_scanline) * image.pixelWidth()];
        for (int x = 0; x < image.pixelWidth(); ++x) {
            job->row[x * 3] = static_cast<std::uint8_t>((in[x] >> 16) & 0xFF);
            job->row[x * 3 + 1] = static_cast<std::uint8_t>((in[x] >> 8) & 0xFF);
            job->row[x * 3 + 2] = static_cast<std::uint8_t>(in[x] & 0xFF);
        }
        JSAMPROW row = job->row.data();
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return Bytes(job->buffer, job->buffer + job->size);
}

// --- GIF ---

struct GifReader {
    const std::uint8_t* data;
    size_t size;
    size_t position { 0 };
};

int readGif(GifFileType* gif, GifByteType* buffer, int length)
{
    auto* reader = static_cast<GifReader*>(gif->UserData);
    size_t n = std::min(static_cast<size_t>(std::max(length, 0)), reader->size - reader->position);
    std::memcpy(buffer, reader->data + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

std::shared_ptr<Image> decodeGif(const std::uint8_t* data, size_t size)
{
    GifReader reader { data, size };
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, readGif, &error));
    if (!gif)
        return nullptr;

    int canvasWidth = gif->SWidth, canvasHeight = gif->SHeight;
    std::vector<std::uint32_t> canvas;
    std::vector<Image::Frame> frames;
    GraphicsControlBlock control { DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR };
    std::vector<GifPixelType> line;

    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) {
            // Many writers leave out the trailer: data that ends between records is complete.
            if (gif->Error == D_GIF_ERR_READ_FAILED && !frames.empty() && reader.position == reader.size)
                break;
            return nullptr;
        }
        if (record == TERMINATE_RECORD_TYPE)
            break;
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                return nullptr;
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
                DGifExtensionToGCB(4, block + 1, &control);
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
                    return nullptr;
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE)
            continue;

        if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
            return nullptr;
        const GifImageDesc& desc = gif->Image;
        if (!acceptableSize(desc.Width, desc.Height))
            return nullptr;
        if (canvas.empty()) {
            if (canvasWidth <= 0 || canvasHeight <= 0)
                canvasWidth = desc.Left + desc.Width, canvasHeight = desc.Top + desc.Height;
            if (!acceptableSize(canvasWidth, canvasHeight))
                return nullptr;
            canvas.assign(static_cast<size_t>(canvasWidth) * canvasHeight, 0);
        }
        long long canvasPixels = static_cast<long long>(canvasWidth) * canvasHeight;
        if (frames.size() + 1 > kMaxFrames || (static_cast<long long>(frames.size()) + 1) * canvasPixels > Image::kMaxPixels)
            return nullptr;
        const ColorMapObject* colors = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        if (!colors || !colors->Colors)
            return nullptr;

        std::vector<std::uint32_t> previous;
        if (control.DisposalMode == DISPOSE_PREVIOUS)
            previous = canvas;

        line.resize(desc.Width);
        static constexpr int passStart[] = { 0, 4, 2, 1 };
        static constexpr int passStep[] = { 8, 8, 4, 2 };
        int passes = desc.Interlace ? 4 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            int start = desc.Interlace ? passStart[pass] : 0, step = desc.Interlace ? passStep[pass] : 1;
            for (int row = start; row < desc.Height; row += step) {
                if (DGifGetLine(gif.get(), line.data(), desc.Width) == GIF_ERROR)
                    return nullptr;
                int y = desc.Top + row;
                if (y < 0 || y >= canvasHeight)
                    continue;
                for (int col = 0; col < desc.Width; ++col) {
                    int x = desc.Left + col;
                    int index = line[col];
                    if (x < 0 || x >= canvasWidth || index == control.TransparentColor || index >= colors->ColorCount)
                        continue;
                    const GifColorType& c = colors->Colors[index];
                    canvas[static_cast<size_t>(y) * canvasWidth + x] = premultiplied(c.Red, c.Green, c.Blue, 255);
                }
            }
        }

        auto frame = std::make_shared<Image>(canvasWidth, canvasHeight);
        frame->pixels() = canvas;
        double delay = control.DelayTime / 100.0;
        frames.push_back({ frame, delay < kMinGifDelay ? kDefaultGifDelay : delay });

        if (control.DisposalMode == DISPOSE_BACKGROUND) {
            for (int y = std::max(0, desc.Top); y < std::min(canvasHeight, desc.Top + desc.Height); ++y)
                for (int x = std::max(0, desc.Left); x < std::min(canvasWidth, desc.Left + desc.Width); ++x)
                    canvas[static_cast<size_t>(y) * canvasWidth + x] = 0;
        } else if (control.DisposalMode == DISPOSE_PREVIOUS) {
            canvas = std::move(previous);
        }
        control = { DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR };
    }

    if (frames.empty())
        return nullptr;
    auto image = std::make_shared<Image>(canvasWidth, canvasHeight);
    image->pixels() = frames.front().image->pixels();
    if (frames.size() > 1)
        image->frames() = std::move(frames);
    return image;
}

bool startsWith(const Bytes& data, const char* magic, size_t length)
{
    return data.size() >= length && std::memcmp(data.data(), magic, length) == 0;
}

}

std::shared_ptr<Image> Image::decode(const Bytes& data)
{
    return decode(data, 1.0);
}

std::shared_ptr<Image> Image::decode(const Bytes& data, double scale)
{
    std::shared_ptr<Image> image;
    try {
        if (startsWith(data, "\x89PNG\r\n\x1a\n", 8))
            image = decodePng(data.data(), data.size());
        else if (startsWith(data, "\xFF\xD8\xFF", 3))
            image = decodeJpeg(data.data(), data.size());
        else if (startsWith(data, "GIF87a", 6) || startsWith(data, "GIF89a", 6))
            image = decodeGif(data.data(), data.size());
    } catch (const std::exception&) {
        return nullptr;
    }
    if (image) {
        image->setScale(scale);
        for (auto& frame : image->frames())
            frame.image->setScale(scale);
    }
    return image;
}

double Image::scaleForFileName(const std::string& path)
{
    std::string stem = std::filesystem::path(path).stem().string();
    auto endsWith = [&](const char* suffix) {
        size_t n = std::strlen(suffix);
        return stem.size() >= n && stem.compare(stem.size() - n, n, suffix) == 0;
    };
    if (endsWith("@2x"))
        return 2;
    if (endsWith("@3x"))
        return 3;
    return 1;
}

std::shared_ptr<Image> Image::fromFile(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return nullptr;
    Bytes data;
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return nullptr;
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        return nullptr;
    }
    auto image = decode(data, scaleForFileName(path));
    if (image)
        image->setName(std::filesystem::path(path).filename().string());
    return image;
}

Bytes Image::pngData() const
{
    try {
        return encodePng(*this);
    } catch (const std::exception&) {
        return {};
    }
}

Bytes Image::jpegData(double quality) const
{
    try {
        return encodeJpeg(*this, quality);
    } catch (const std::exception&) {
        return {};
    }
}

}
