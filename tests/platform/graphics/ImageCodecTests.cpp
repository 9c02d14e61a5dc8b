#include "GifWriter.h"

#include "platform/graphics/Image.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

using namespace pf;

namespace {

void expectNear(const Color& a, const Color& b, double tolerance = 1.5 / 255)
{
    EXPECT_NEAR(a.red, b.red, tolerance);
    EXPECT_NEAR(a.green, b.green, tolerance);
    EXPECT_NEAR(a.blue, b.blue, tolerance);
    EXPECT_NEAR(a.alpha, b.alpha, tolerance);
}

// A picture with detail everywhere, so JPEG quality shows in the file size.
std::shared_ptr<Image> texturedImage(int w, int h)
{
    auto image = std::make_shared<Image>(w, h);
    std::mt19937 random(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double noise = (random() % 64) / 255.0;
            image->pixels()[y * w + x] = Image::pixelFromColor({ x / double(w), y / double(h), 0.3 + noise, 1 });
        }
    return image;
}

const std::vector<Color> kPalette { Color::black(), Color::rgb(1, 0, 0), Color::rgb(0, 1, 0), Color::rgb(0, 0, 1) };

Bytes smallGif()
{
    testing_gif::Frame frame { 0, 0, 3, 2, { 1, 2, 3, 3, 2, 1 } };
    return testing_gif::writeGif(3, 2, kPalette, { frame });
}

std::filesystem::path makeTempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "imagecodec-XXXXXX").string();
    return mkdtemp(pattern.data());
}

void putBigEndian32(Bytes& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

}

TEST(ImageCodec, PngRoundTripKeepsColoursAndAlpha)
{
    Image image(3, 2);
    const Color colors[] = { Color::rgb(1, 0, 0), Color::rgb(0, 1, 0, 0.5), Color::clear(),
        Color::rgb(0.2, 0.4, 0.6, 0.8), Color::white(), Color::rgb(0.1, 0.9, 0.3, 0.25) };
    for (int i = 0; i < 6; ++i)
        image.pixels()[i] = Image::pixelFromColor(colors[i]);

    Bytes png = image.pngData();
    ASSERT_FALSE(png.empty());
    auto decoded = Image::decode(png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixelWidth(), 3);
    EXPECT_EQ(decoded->pixelHeight(), 2);
    EXPECT_FALSE(decoded->isAnimated());
    for (int i = 0; i < 6; ++i)
        expectNear(decoded->colorAt(i % 3, i / 3), colors[i], 3.0 / 255);
    EXPECT_TRUE(Image(0, 0).pngData().empty());
}

TEST(ImageCodec, JpegDecodesCloseToTheSourceAndHigherQualityIsLarger)
{
    auto image = texturedImage(64, 48);
    Bytes low = image->jpegData(0.3), medium = image->jpegData(0.6), high = image->jpegData(0.9);
    ASSERT_FALSE(low.empty());
    EXPECT_LT(low.size(), medium.size());
    EXPECT_LT(medium.size(), high.size());
    // Out-of-range qualities are clamped, not refused.
    EXPECT_EQ(image->jpegData(7).size(), image->jpegData(1).size());
    EXPECT_FALSE(image->jpegData(-1).empty());

    auto decoded = Image::decode(high);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->pixelWidth(), 64);
    ASSERT_EQ(decoded->pixelHeight(), 48);
    double error = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            Color a = decoded->colorAt(x, y), b = image->colorAt(x, y);
            error += std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
            EXPECT_EQ(a.alpha, 1.0);
        }
    EXPECT_LT(error / (64 * 48 * 3), 0.05);
}

TEST(ImageCodec, JpegDropsAlphaOverBlack)
{
    Image image(8, 8);
    for (auto& p : image.pixels())
        p = Image::pixelFromColor(Color::rgb(1, 1, 1, 0));
    auto decoded = Image::decode(image.jpegData(0.9));
    ASSERT_TRUE(decoded);
    expectNear(decoded->colorAt(4, 4), Color::black(), 4.0 / 255);
}

TEST(ImageCodec, GifGivesEveryFrameWithDelaysTransparencyAndDisposal)
{
    using testing_gif::Frame;
    std::vector<Frame> frames {
        { 0, 0, 4, 4, std::vector<std::uint8_t>(16, 1), 5, -1, 1 },
        { 1, 1, 2, 2, { 2, 0, 0, 2 }, 20, 0, 2 },
        { 0, 0, 1, 1, { 3 }, 0, -1, 3 },
        { 3, 3, 1, 1, { 2 }, 1, -1, 0 },
    };
    auto image = Image::decode(testing_gif::writeGif(4, 4, kPalette, frames));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 4);
    ASSERT_EQ(image->frames().size(), 4u);
    EXPECT_TRUE(image->isAnimated());
    EXPECT_DOUBLE_EQ(image->frames()[0].delay, 0.05);
    EXPECT_DOUBLE_EQ(image->frames()[1].delay, 0.2);
    // "As fast as possible" delays play at 0.1 s.
    EXPECT_DOUBLE_EQ(image->frames()[2].delay, 0.1);
    EXPECT_DOUBLE_EQ(image->frames()[3].delay, 0.1);
    EXPECT_NEAR(image->animationDuration(), 0.45, 1e-9);
    EXPECT_EQ(image->pixels(), image->frames()[0].image->pixels());

    const Color red = Color::rgb(1, 0, 0), green = Color::rgb(0, 1, 0), blue = Color::rgb(0, 0, 1);
    auto at = [&](int frame, int x, int y) { return image->frames()[frame].image->colorAt(x, y); };
    EXPECT_EQ(at(0, 3, 3), red);
    // Frame 2: its transparent pixels show frame 1 underneath.
    EXPECT_EQ(at(1, 1, 1), green);
    EXPECT_EQ(at(1, 2, 1), red);
    EXPECT_EQ(at(1, 2, 2), green);
    // Frame 2 is cleared to transparency after showing; frame 3 draws over that.
    EXPECT_EQ(at(2, 0, 0), blue);
    EXPECT_EQ(at(2, 1, 1), Color::clear());
    EXPECT_EQ(at(2, 3, 0), red);
    // Frame 3 restores what was before it.
    EXPECT_EQ(at(3, 0, 0), red);
    EXPECT_EQ(at(3, 1, 1), Color::clear());
    EXPECT_EQ(at(3, 3, 3), green);
}

TEST(ImageCodec, GifInterlacedRowsLandInPlaceAndOneFrameIsStill)
{
    testing_gif::Frame frame { 0, 0, 2, 11, {}, 10, -1, 0, true };
    for (int r = 0; r < 11; ++r)
        frame.indices.insert(frame.indices.end(), 2, static_cast<std::uint8_t>(r % 4));
    auto image = Image::decode(testing_gif::writeGif(2, 11, kPalette, { frame }));
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->isAnimated());
    EXPECT_TRUE(image->frames().empty());
    for (int r = 0; r < 11; ++r)
        EXPECT_EQ(image->colorAt(1, r), kPalette[r % 4]) << "row " << r;
}

TEST(ImageCodec, TruncatedDataOfEveryFormatGivesNoImage)
{
    Bytes png = texturedImage(16, 16)->pngData();
    Bytes jpeg = texturedImage(16, 16)->jpegData(0.6);
    Bytes gif = smallGif();
    ASSERT_TRUE(Image::decode(jpeg));
    for (size_t n = 0; n < jpeg.size(); ++n)
        EXPECT_FALSE(Image::decode(Bytes(jpeg.begin(), jpeg.begin() + n))) << "prefix " << n;
    // A PNG cut anywhere in its pixel data fails; one that lacks only its closing chunk is
    // complete.
    ASSERT_TRUE(Image::decode(png));
    size_t end = std::string(png.begin(), png.end()).rfind("IEND") - 4;
    EXPECT_TRUE(Image::decode(Bytes(png.begin(), png.begin() + end)));
    for (size_t n = 0; n < end; ++n)
        EXPECT_FALSE(Image::decode(Bytes(png.begin(), png.begin() + n))) << "prefix " << n;
    // A GIF that lacks only its one-byte trailer is complete (many writers leave it out).
    ASSERT_TRUE(Image::decode(gif));
    EXPECT_TRUE(Image::decode(Bytes(gif.begin(), gif.end() - 1)));
    for (size_t n = 0; n + 1 < gif.size(); ++n)
        EXPECT_FALSE(Image::decode(Bytes(gif.begin(), gif.begin() + n))) << "prefix " << n;
}

TEST(ImageCodec, CorruptAndUnknownDataGivesNoImageAndNeverCrashes)
{
    EXPECT_FALSE(Image::decode(Bytes {}));
    std::string text = "<html>Not Found</html>";
    EXPECT_FALSE(Image::decode(Bytes(text.begin(), text.end())));

    // A damaged PNG fails its checksum.
    Bytes png = texturedImage(16, 16)->pngData();
    Bytes damaged = png;
    damaged[damaged.size() / 2] ^= 0x55;
    EXPECT_FALSE(Image::decode(damaged));

    // Random damage anywhere in any format: an image or none, but always a sound one.
    Bytes jpeg = texturedImage(16, 16)->jpegData(0.6);
    Bytes gif = smallGif();
    std::mt19937 random(42);
    for (const Bytes* original : { &png, &jpeg, &gif }) {
        for (int round = 0; round < 300; ++round) {
            Bytes data = *original;
            for (int k = 0; k < 4; ++k)
                data[random() % data.size()] = static_cast<std::uint8_t>(random());
            if (auto image = Image::decode(data)) {
                EXPECT_EQ(image->pixels().size(), size_t(image->pixelWidth()) * image->pixelHeight());
                for (const auto& frame : image->frames())
                    EXPECT_EQ(frame.image->pixels().size(), image->pixels().size());
            }
        }
    }
}

TEST(ImageCodec, AbsurdDimensionsAreRefusedBeforeAllocation)
{
    // PNG: a header claiming 100000 x 100000 pixels with a valid checksum.
    Bytes png { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    Bytes ihdr { 'I', 'H', 'D', 'R' };
    putBigEndian32(ihdr, 100000);
    putBigEndian32(ihdr, 100000);
    ihdr.insert(ihdr.end(), { 8, 6, 0, 0, 0 });
    putBigEndian32(png, 13);
    png.insert(png.end(), ihdr.begin(), ihdr.end());
    putBigEndian32(png, static_cast<std::uint32_t>(crc32(0, ihdr.data(), static_cast<uInt>(ihdr.size()))));
    EXPECT_FALSE(Image::decode(png));

    // JPEG: the frame header patched to 65000 x 65000.
    Bytes jpeg = texturedImage(8, 8)->jpegData(0.5);
    bool patched = false;
    for (size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = 0xFD, jpeg[i + 6] = 0xE8, jpeg[i + 7] = 0xFD, jpeg[i + 8] = 0xE8;
            patched = true;
            break;
        }
    ASSERT_TRUE(patched);
    EXPECT_FALSE(Image::decode(jpeg));

    // GIF: a 65535 x 65535 screen and frame.
    Bytes gif { 'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
        0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 2, 0x4C, 0x01, 0, 0x3B };
    EXPECT_FALSE(Image::decode(gif));
}

TEST(ImageCodec, FilesGiveNameAndScaleFromTheirName)
{
    auto folder = makeTempFolder();
    Bytes png = texturedImage(20, 10)->pngData();
    for (const char* name : { "icon@2x.png", "icon.png", "tile@3x.jpg" }) {
        std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
    }
    auto retina = Image::fromFile((folder / "icon@2x.png").string());
    ASSERT_TRUE(retina);
    EXPECT_EQ(retina->name(), "icon@2x.png");
    EXPECT_EQ(retina->scale(), 2);
    EXPECT_EQ(retina->size(), (Size { 10, 5 }));
    EXPECT_EQ(Image::fromFile((folder / "icon.png").string())->scale(), 1);
    // The extension does not decide the format; the bytes do.
    EXPECT_EQ(Image::fromFile((folder / "tile@3x.jpg").string())->scale(), 3);
    EXPECT_FALSE(Image::fromFile((folder / "missing.png").string()));
    EXPECT_FALSE(Image::fromFile(folder.string()));
    std::filesystem::remove_all(folder);
}
