#pragma once

#include "platform/ui/AlertViewDelegate.h"

#include <memory>

namespace pf {
class AlertView;
}

namespace blip {

class BPDataTransferObject;

// Asks whether to download the Blip app for a request or response that found no Blip app.
// Declining answers a request with status -4 in-process; accepting opens the download page and
// removes the object's transfer pasteboard.
//
// Rules:
// - Each object gets a prompt of its own, kept alive until it is answered, so two prompts
//   never act on each other's object.
class InstallBlipAppAlert : public pf::AlertViewDelegate, public std::enable_shared_from_this<InstallBlipAppAlert> {
public:
    static constexpr const char* kMessage = "未安装闪讯客户端，\n是否现在去下载？";
    static constexpr const char* kCancelTitle = "以后再说";
    static constexpr const char* kDownloadTitle = "现在下载";

    static std::shared_ptr<InstallBlipAppAlert> alertWithTransferObject(std::shared_ptr<BPDataTransferObject> object);

    void alertViewWillDismissWithButtonIndex(pf::AlertView& alertView, int buttonIndex) override;

    const std::shared_ptr<BPDataTransferObject>& transferObject() const { return m_object; }

private:
    std::shared_ptr<BPDataTransferObject> m_object;
    std::shared_ptr<InstallBlipAppAlert> m_keepAlive;
};

}
