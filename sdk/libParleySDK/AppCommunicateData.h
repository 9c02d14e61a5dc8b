#pragma once

#include "platform/foundation/Value.h"
#include "sdk/libParleySDK/BaseReq.h"
#include "sdk/libParleySDK/BaseResp.h"
#include "sdk/libParleySDK/PXAuthInternal.h"
#include "sdk/libParleySDK/PXMediaInternalMessage.h"
#include "sdk/libParleySDK/PXMediaMessage.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace parley {

// One message record exchanged with Parley, and the converter between requests and responses
// and the flat property list that travels. Every value in the list is a text except the
// thumbnail and the file data, which are data; Parley reads nothing else.
//
// Rules:
// - Encoding refuses (false) an unknown request or response and any field over its limit; a
//   refused record may hold a partly filled list and must not be sent.
// - From system 7 the file data travels inside the list under "fileData"; before, it stays in
//   `fileData` and the exchange keeps it on a pasteboard of its own.
// - Decoding trusts nothing: a value of the wrong type counts as absent, and a reader that
//   does not find what it needs answers null.
class AppCommunicateData {
public:
    static constexpr const char* kSdkVersion = "1.4.2.1";

    enum Command : unsigned {
        kCommandMediaMessage = 1010,
        kCommandTextMessage = 1020,
        kCommandAuthRequest = 1030,
        kCommandShowMessageResp = 1070,
        kCommandGetMessageReq = 2000,
        kCommandSendMessageRespOld = 2010,
        kCommandSendMessageResp = 2020,
        kCommandLaunchReq = 2040,
    };

    // Limits: text lengths in UTF-16 units, data in bytes; a value at the limit passes.
    static constexpr size_t kMaxTitle = 512;
    static constexpr size_t kMaxDescription = 1024;
    static constexpr size_t kMaxThumbData = 32768;
    static constexpr size_t kMaxTagName = 64;
    static constexpr size_t kMaxText = 10240;
    static constexpr size_t kMaxUrl = 10240;
    static constexpr size_t kMaxExtInfo = 2048;
    static constexpr size_t kMaxFileExt = 64;
    static constexpr size_t kMaxFileData = 10485760;
    static constexpr size_t kMaxAuthField = 1024;

    AppCommunicateData() = default;
    // A record read back from a list (the caller sets `fileData` afterwards).
    explicit AppCommunicateData(const pf::Dictionary& list);

    // Encoding.
    bool reqToData(const std::shared_ptr<BaseReq>& request,
        const std::shared_ptr<PXMediaInternalMessage>& internalMessage = nullptr);
    bool respToData(const std::shared_ptr<BaseResp>& response);
    bool makeCommand(unsigned command);

    // Decoding.
    std::shared_ptr<BaseReq> dataToReq() const;
    std::shared_ptr<BaseResp> dataToResp() const;
    std::shared_ptr<PXMediaMessage> mediaMessage() const;
    std::optional<std::string> textMessage() const;
    std::shared_ptr<PXMediaInternalMessage> mediaInternalMessage() const;
    std::shared_ptr<PXAuthInternal> authRequest() const;

    const std::optional<pf::Dictionary>& propertList() const { return m_list; }

    unsigned command { 0 };
    std::optional<pf::Bytes> fileData;
    bool returnFromApp { false };
    std::optional<std::string> conversationAccount;
    int result { 1 };
    int scene { 0 };
    std::optional<std::string> openID;
    std::optional<std::string> sdkVer;

    // Length of a UTF-8 text in UTF-16 units (how the limits count characters).
    static size_t textLength(const std::string& text);

private:
    void initCommonField(unsigned command);
    bool makeTextMessage(const std::optional<std::string>& text);
    bool makeMediaMessage(const std::shared_ptr<PXMediaMessage>& message);
    bool makeLinkObject(const std::shared_ptr<PXMediaObject>& object);
    bool makeMediaInternalMessage(const std::shared_ptr<PXMediaInternalMessage>& message);
    void putFileData(const std::optional<pf::Bytes>& data);
    void setText(const char* key, const std::optional<std::string>& value);
    void setData(const char* key, const std::optional<pf::Bytes>& value);
    std::optional<std::string> text(const char* key) const;
    std::optional<pf::Bytes> data(const char* key) const;

    std::optional<pf::Dictionary> m_list;
};

}
