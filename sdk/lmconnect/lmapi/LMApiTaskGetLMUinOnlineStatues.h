#pragma once

#include "sdk/lmconnect/lmapi/LMApiTask.h"

#include "platform/foundation/Value.h"

#include <string>
#include <vector>

namespace pf {
class UrlConnection;
}
class LMApiInterfaceDelegate;

// Asks the presence host which LM numbers are online and tells the delegate (number -> "YES" or
// "NO"). A failed query tells nothing. The reply is capped at kMaxReply bytes.
class LMApiTaskGetLMUinOnlineStatues : public LMApiTask {
public:
    static constexpr double kTimeout = 60;
    static constexpr size_t kMaxReply = 1u << 20;

    LMApiTaskGetLMUinOnlineStatues(std::vector<std::string> uins, std::weak_ptr<LMApiInterfaceDelegate> delegate)
        : LMUins(std::move(uins)), delegate(std::move(delegate)) { }
    ~LMApiTaskGetLMUinOnlineStatues() override;

    std::vector<std::string> LMUins;
    std::weak_ptr<LMApiInterfaceDelegate> delegate;

protected:
    void main() override;

private:
    void connectionDidFinishLoading();

    std::shared_ptr<pf::UrlConnection> m_connection;
    pf::Bytes m_data;
};
