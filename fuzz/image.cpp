// Pictures from the network (gift pictures, the carousel, the captcha) through the decoders
// the app uses, and a decoded picture through the captcha cutter, which writes its pieces as
// PNG files that must read back.
#include "core/managers/VerificationCodeImageManager.h"
#include "fuzz/support/FuzzSupport.h"
#include "platform/graphics/Image.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    auto image = pf::Image::decode(fuzz::bytes(data, size), 2.0);
    if (!image)
        return 0;
    if (image->pixels().size() != static_cast<size_t>(image->pixelWidth()) * image->pixelHeight())
        std::abort();
    for (const auto& frame : image->frames())
        if (!frame.image || frame.image->pixelWidth() != image->pixelWidth() || frame.image->pixelHeight() != image->pixelHeight())
            std::abort();
    image->animationDuration();
    image->colorAt(image->pixelWidth() / 2, image->pixelHeight() / 2);

    auto cutter = VerificationCodeImageManager::sharedInstance();
    cutter->removeAllImages();
    if (cutter->createCodeImage(*image) && !cutter->getCodeImage())
        std::abort();
    cutter->createWordsImage(*image);
    return 0;
}
