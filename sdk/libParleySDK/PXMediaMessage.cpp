#include "sdk/libParleySDK/PXMediaMessage.h"

#include "platform/graphics/Image.h"

namespace parley {

void PXMediaMessage::setThumbImage(const std::shared_ptr<pf::Image>& image)
{
    if (!image)
        return;
    thumbData = image->jpegData(0.6);
}

}
