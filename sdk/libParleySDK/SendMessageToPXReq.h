#pragma once

#include "sdk/libParleySDK/BaseReq.h"

#include "sdk/libParleySDK/PXMediaMessage.h"

#include <memory>
#include <optional>
#include <string>

namespace parley {

// Asks Parley to send a text or a media message to a chat session or the timeline.
class SendMessageToPXReq : public BaseReq {
public:
    enum Scene { SceneSession = 0, SceneTimeline = 1 };

    std::optional<std::string> text;
    std::shared_ptr<PXMediaMessage> message;
    bool bText { false }; // true: the text; false: the media message
    int scene { SceneSession };
};

}
