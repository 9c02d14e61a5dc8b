#include "core/managers/VerificationCodeImageManager.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/graphics/Image.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestHttpServer.h"

#include <gtest/gtest.h>

namespace {

// A composite captcha picture whose question strip and nine tiles each have a colour of their
// own, so a cut piece tells where it came from.
pf::Color tileColor(int index)
{
    return pf::Color::rgb((index + 1) / 10.0, 1.0 - (index + 1) / 10.0, 0.5);
}
const pf::Color kQuestionColor = pf::Color::rgb(0.2, 0.4, 0.8);

std::string compositePng(int width = 130, int height = 170)
{
    pf::Image image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pf::Color c = pf::Color::white();
            if (x >= 10 && x < 130 && y >= 10 && y < 50)
                c = kQuestionColor;
            else if (x >= 10 && x < 130 && y >= 50 && y < 170)
                c = tileColor((y - 50) / 40 * 3 + (x - 10) / 40);
            image.pixels()[static_cast<size_t>(y) * width + x] = pf::Image::pixelFromColor(c);
        }
    }
    pf::Bytes png = image.pngData();
    return std::string(png.begin(), png.end());
}

bool sameColor(const pf::Color& a, const pf::Color& b)
{
    auto near = [](double x, double y) { return std::abs(x - y) < 0.01; };
    return near(a.red, b.red) && near(a.green, b.green) && near(a.blue, b.blue);
}

class VerificationCodeImageManagerTest : public ::testing::Test {
protected:
    std::string folder() { return m_env.sandbox().documentsPath() + "/VerificationCodeImages"; }
    std::shared_ptr<VerificationCodeImageManager> manager() const { return VerificationCodeImageManager::sharedInstance(); }

    pf::TaskEnvironment m_env;
    pf::TestHttpServer m_server;
};

}

TEST_F(VerificationCodeImageManagerTest, CutsTheQuestionStripAndNineTilesRowByRow)
{
    std::string png = compositePng();
    m_server.reply("GET", "/captcha/a.png", 200, png, "image/png");
    // The instance outlives sandboxes; its folder is made again where it is missing.
    pf::FileManager::removeItem(folder());

    ASSERT_TRUE(manager()->createVerificationCodeImages(m_server.url("/captcha/a.png")));

    // The composite is kept as received.
    auto original = pf::FileManager::read(folder() + "/VerificationCodeOriginalImage.png");
    ASSERT_TRUE(original);
    EXPECT_EQ(std::string(original->begin(), original->end()), png);

    auto question = manager()->getCodeImage();
    ASSERT_TRUE(question);
    EXPECT_EQ(question->pixelWidth(), 120);
    EXPECT_EQ(question->pixelHeight(), 40);
    EXPECT_TRUE(sameColor(question->colorAt(60, 20), kQuestionColor));

    for (int i = 0; i < 9; ++i) {
        auto tile = manager()->getWordsImageWithIndex(i);
        ASSERT_TRUE(tile) << i;
        EXPECT_EQ(tile->pixelWidth(), 40);
        EXPECT_EQ(tile->pixelHeight(), 40);
        EXPECT_TRUE(sameColor(tile->colorAt(0, 0), tileColor(i))) << i;
        EXPECT_TRUE(sameColor(tile->colorAt(39, 39), tileColor(i))) << i;
    }
    // The bottom-right tile, cut from (90, 130), is the ninth file.
    EXPECT_TRUE(pf::FileManager::exists(folder() + "/word9.png"));
    EXPECT_FALSE(manager()->getWordsImageWithIndex(9));
    EXPECT_FALSE(manager()->getWordsImageWithIndex(-1));
}

TEST_F(VerificationCodeImageManagerTest, AFailedCaptchaLeavesNoPiecesOfTheEarlierOne)
{
    m_server.reply("GET", "/good.png", 200, compositePng(), "image/png");
    m_server.reply("GET", "/gone.png", 404, "no such captcha");
    m_server.reply("GET", "/garbage.png", 200, "this is not a picture", "image/png");
    m_server.reply("GET", "/small.png", 200, compositePng(60, 60), "image/png");

    ASSERT_TRUE(manager()->createVerificationCodeImages(m_server.url("/good.png")));
    ASSERT_TRUE(manager()->getWordsImageWithIndex(4));

    // An error page is no picture.
    EXPECT_FALSE(manager()->createVerificationCodeImages(m_server.url("/gone.png")));
    EXPECT_FALSE(manager()->getCodeImage());
    EXPECT_TRUE(pf::FileManager::contentsOfDirectory(folder()).empty());

    ASSERT_TRUE(manager()->createVerificationCodeImages(m_server.url("/good.png")));
    EXPECT_FALSE(manager()->createVerificationCodeImages(m_server.url("/garbage.png")));
    EXPECT_FALSE(manager()->getCodeImage());
    for (int i = 0; i < 9; ++i)
        EXPECT_FALSE(manager()->getWordsImageWithIndex(i)) << i;

    // A picture too small for the grid gives clipped pieces, no file for a tile wholly outside,
    // and is not a usable captcha.
    EXPECT_FALSE(manager()->createVerificationCodeImages(m_server.url("/small.png")));
    auto question = manager()->getCodeImage();
    ASSERT_TRUE(question);
    EXPECT_EQ(question->pixelWidth(), 50);
    EXPECT_EQ(question->pixelHeight(), 40);
    auto first = manager()->getWordsImageWithIndex(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->pixelHeight(), 10);
    EXPECT_FALSE(manager()->getWordsImageWithIndex(2));
    EXPECT_FALSE(manager()->getWordsImageWithIndex(8));
}

TEST_F(VerificationCodeImageManagerTest, FetchesOnlyHttpAddressesOfBoundedSize)
{
    // A picture already on the device is not read through a file address.
    std::string local = m_env.sandbox().tmpPath() + "/captcha.png";
    std::string png = compositePng();
    ASSERT_TRUE(pf::FileManager::writeAtomically(local, pf::Bytes(png.begin(), png.end())));
    EXPECT_FALSE(manager()->createVerificationCodeImages("file://" + local));
    EXPECT_FALSE(manager()->createVerificationCodeImages(local));
    EXPECT_FALSE(manager()->createVerificationCodeImages("ftp://127.0.0.1/captcha.png"));
    EXPECT_FALSE(manager()->createVerificationCodeImages(""));
    EXPECT_FALSE(manager()->getCodeImage());

    // A reply past the size limit is refused while it arrives.
    m_server.reply("GET", "/huge.png", 200, std::string(3 * 1024 * 1024, 'x'), "image/png");
    EXPECT_FALSE(manager()->createVerificationCodeImages(m_server.url("/huge.png")));
    EXPECT_FALSE(pf::FileManager::exists(folder() + "/VerificationCodeOriginalImage.png"));
    EXPECT_EQ(m_server.requestCount(), 1u);
}
