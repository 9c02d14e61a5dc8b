#pragma once

#include "tools/peers/VendorService.h"

#include <mutex>
#include <nlohmann/json.hpp>
#include <vector>

namespace peers {

// The LM Connect statistics upload under "/lmconnectutil/": POST "sdk" with a body enciphered
// with RC4 under the engine's key; "rc4,gzip" bodies carry a 4-byte big-endian length, then gzip.
// Each JSON array that arrives whole is kept; the answer is what a test set (status, reply
// "Content-Encoding", a "cfg" object enciphered or not, a delay).
class LMStatUploadService : public VendorService {
public:
    static constexpr const char* kPrefix = "/lmconnectutil/";
    static constexpr const char* kKey = "5e0b7d2a91c4f3e86a1d0c57b2e94f83";

    struct Answer {
        int status { 200 };
        std::optional<nlohmann::json> cfg {};
        bool encipher { false };
        std::string encoding {}; // the reply's "Content-Encoding"; "rc4" when enciphering and empty
        double delaySeconds { 0 };
    };

    std::string prefix() const override { return kPrefix; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;

    void setAnswer(Answer answer);
    // Every upload's events, in arrival order.
    std::vector<nlohmann::json> uploads() const;
    // Bodies that could not be read, with the reason.
    std::vector<std::string> refusals() const;

    static void rc4(std::string& data);

private:
    mutable std::mutex m_mutex;
    Answer m_answer;
    std::vector<nlohmann::json> m_uploads;
    std::vector<std::string> m_refusals;
};

}
