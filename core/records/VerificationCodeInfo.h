#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One captcha: the "body" object of "ka/capth". `verikey` is the text of "verikey" split at
// every "|" (empty pieces kept); there is no list form.
class VerificationCodeInfo {
public:
    // One record from one JSON object; any other value gives an empty record.
    static std::shared_ptr<VerificationCodeInfo> itemFromDictionary(const pf::Value& object);

    const RecordText& verifystr() const { return m_verifystr; }
    void setVerifystr(RecordText v) { m_verifystr = std::move(v); }
    const std::optional<std::vector<std::string>>& verikey() const { return m_verikey; }
    void setVerikey(std::optional<std::vector<std::string>> v) { m_verikey = std::move(v); }
    const RecordText& url() const { return m_url; }
    void setUrl(RecordText v) { m_url = std::move(v); }

private:
    RecordText m_verifystr;
    std::optional<std::vector<std::string>> m_verikey;
    RecordText m_url;
};
