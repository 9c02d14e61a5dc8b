#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pf {
class Url;
}
class LMApiInterfaceDelegate;
class LMApiMessage;
class LMApiObject;
class LMBaseReq;
class LMBaseResp;

// The result of a send: 0 done, -1 failed, 1 not opened, 4 empty content, 5 invalid content,
// 7 the share goes on later, 123 go on now; any other value is the share script's own.
using LMApiSendResultCode = std::int32_t;

// The app's entry to the LM exchange. A share goes to the share script, which checks it, stages
// its data on the LM pasteboards and opens the LM app; its answer is the result.
//
// Rules:
// - Only the exact request and response classes of a kind are accepted, never subclasses.
// - No script host, or a script answer that holds no number, gives -1.
// - Main thread only.
class LMApiInterface {
public:
    static constexpr LMApiSendResultCode kDone = 0;
    static constexpr LMApiSendResultCode kFailed = -1;
    static constexpr LMApiSendResultCode kNotOpened = 1;
    static constexpr LMApiSendResultCode kEmptyContent = 4;
    static constexpr LMApiSendResultCode kInvalidContent = 5;
    static constexpr LMApiSendResultCode kLater = 7;
    static constexpr LMApiSendResultCode kGoOn = 123;

    static LMApiSendResultCode sendReq(const std::shared_ptr<LMBaseReq>& req);
    static LMApiSendResultCode sendMessageToLMWithReq(const std::shared_ptr<LMBaseReq>& req);
    static LMApiSendResultCode SendReqToLZone(const std::shared_ptr<LMBaseReq>& req);
    static LMApiSendResultCode sendMessageToLMLZoneWithReq(const std::shared_ptr<LMBaseReq>& req);
    static LMApiSendResultCode sendResp(const std::shared_ptr<LMBaseResp>& resp);
    static LMApiSendResultCode sendGetMessageFromLMResp(const std::shared_ptr<LMBaseResp>& resp);
    static LMApiSendResultCode sendShowMessageFromLMResp(const std::shared_ptr<LMBaseResp>& resp);
    static LMApiSendResultCode SendMessageToLMRequest(const std::shared_ptr<LMApiMessage>& message);
    static LMApiSendResultCode responseToGetMessageFromLM(const std::shared_ptr<LMApiMessage>& message);
    static LMApiSendResultCode responseToShowMessageFromLM(const std::shared_ptr<LMApiMessage>& message);

    // True when the address was a message of the LM app that was handled.
    static bool handleOpenURL(const pf::Url& url, const std::shared_ptr<LMApiInterfaceDelegate>& delegate);
    static bool responseToSendMessageToLM(const std::shared_ptr<LMApiObject>& content, const std::shared_ptr<LMApiInterfaceDelegate>& delegate);
    static void showMessageRequestFromLM(const std::shared_ptr<LMApiObject>& content, const std::shared_ptr<LMApiInterfaceDelegate>& delegate);
    static void getMessageRequestFromLM(const std::shared_ptr<LMApiInterfaceDelegate>& delegate);

    static bool isLMInstalled();
    static bool isLMSupportApi();
    static bool openLM();
    static std::string getLMInstallUrl();
    static void getLMUinOnlineStatues(const std::vector<std::string>& uins, std::weak_ptr<LMApiInterfaceDelegate> delegate);

private:
    static LMApiSendResultCode sendWithType(const std::shared_ptr<LMBaseReq>& req, std::uint32_t type);
};
