#pragma once

#include "platform/foundation/Url.h"
#include "platform/foundation/Value.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class LMApiCommonContentObject;
class LMApiExtendObject;
class LMApiImageObject;
class LMApiMessage;
class LMApiObject;
class LMApiPayObject;
class LMApiTextObject;
class LMApiURLObject;
class LMApiWPAObject;
class LMApiURLDecoder;

// Incoming LM addresses as messages, and the staging of a share's large data.
//
// Rules:
// - "request_from_lm" with "/pick" asks for a content (type 3), with "/view" shows one (type 1,
//   its texts Base64 in the query, its bytes from the large-data pasteboard); "response_from_lm"
//   is LM's answer to a share (type 6); the return from the vendor's share page is read first.
//   Anything else, or invalid Base64, is no message.
// - Outgoing LM addresses are built by the share script, never here.
class LMApiMessageAndUrlConverter {
public:
    static std::shared_ptr<LMApiMessage> messageWithUrl(const pf::Url& url);
    static std::shared_ptr<LMApiMessage> messageWithUrlNoClipboard(const pf::Url& url);
    static std::shared_ptr<LMApiMessage> messageWithUrlUsedClipboard(const pf::Url& url);
    static std::shared_ptr<LMApiMessage> messageWithRequestFromLM(const LMApiURLDecoder& decoder);
    static std::shared_ptr<LMApiMessage> messageWithResponseFromLM(const LMApiURLDecoder& decoder);
    static std::shared_ptr<LMApiObject> getObjectByUrl(const LMApiURLDecoder& decoder);

    // Stages the parts given (empty ones are left out) as the share's large data.
    static void setPasteBoardPrevImageData(const pf::Bytes& preview, const pf::Bytes& fileData, const std::vector<pf::Bytes>& imageDataArray);

    // Query items of an outgoing address, Base64 of the UTF-8 texts given.
    static void setTitle(const std::string& title, const std::string& description, const std::string& appName,
        std::map<std::string, std::string>& queryItem);
    static void setPreviewImageData(const pf::Bytes& data, std::map<std::string, std::string>& queryItem);
    static void setString(const std::string& text, const std::string& key, std::map<std::string, std::string>& queryItem);
    static void setURLForKeyToQueryItem(const std::optional<pf::Url>& url, const std::string& key, std::map<std::string, std::string>& queryItem);
    static std::string smartURLString(const std::optional<pf::Url>& url) { return url ? url->absoluteString() : std::string(); }

    // Outgoing addresses: none, whatever the content (the share script builds them).
    static std::optional<pf::Url> urlWithMessage(const std::shared_ptr<LMApiMessage>&) { return std::nullopt; }
    static std::optional<pf::Url> urlWithTextObjectType(const std::shared_ptr<LMApiTextObject>&, int) { return std::nullopt; }
    static std::optional<pf::Url> urlWithExtendObjectType(const std::shared_ptr<LMApiExtendObject>&, int) { return std::nullopt; }
    static std::optional<pf::Url> urlWithImageObjectType(const std::shared_ptr<LMApiImageObject>&, int) { return std::nullopt; }
    static std::optional<pf::Url> urlWithURLObjectType(const std::shared_ptr<LMApiURLObject>&, int) { return std::nullopt; }
    static std::optional<pf::Url> urlWithCommonContentObjectType(const std::shared_ptr<LMApiCommonContentObject>&, int) { return std::nullopt; }
    static std::optional<pf::Url> urlWithPayObjectType(const std::shared_ptr<LMApiPayObject>&, int) { return std::nullopt; }
    static std::optional<pf::Url> urlWithWPAObjectType(const std::shared_ptr<LMApiWPAObject>&, int) { return std::nullopt; }
    static std::optional<pf::Url> urlWithQueryItemType(const std::map<std::string, std::string>&, int) { return std::nullopt; }
    static std::optional<pf::Url> urlWithQueryItemForPayType(const std::map<std::string, std::string>&, int) { return std::nullopt; }
    static std::optional<pf::Url> urlWithQueryItemForWPAType(const std::map<std::string, std::string>&, int) { return std::nullopt; }
};
