#pragma once

#include "sdk/libParleySDK/BaseResp.h"

#include "sdk/libParleySDK/PXMediaMessage.h"

#include <memory>
#include <optional>
#include <string>

namespace parley {

// This app'\''s answer to a get-message request: a text or a media message.
class GetMessageFromPXResp : public BaseResp {
public:
    std::optional<std::string> text;
    std::shared_ptr<PXMediaMessage> message;
    bool bText { false };
};

}
