#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pf {
class Url;
}

namespace peers {

// A stand-in for the Parley app on the simulated device: it owns the schemes "parleyim" and
// "parley", announces the interface version it takes on "parley_sdk_infomation", and reads
// each record an app stages for it as the real app would (general pasteboard from system 7,
// "parley_data" and "parley_file" before), checking types and limits and keeping what it read.
// Tests steer its answer: a send-message response through "<app id>://".
class ParleyApp : public std::enable_shared_from_this<ParleyApp> {
public:
    static constexpr const char* kBundleIdentifier = "com.quorvane.peers.parley";
    static constexpr const char* kSdkVersion = "1.4.2.1";

    struct Received {
        std::string url;
        std::string appID;          // from the address "parleyim://app/<id>/..."
        std::string action;         // "sendreq", "sendresp" or "" (just opened)
        pf::Dictionary record;      // the app's entry, as read
        std::optional<pf::Bytes> file; // before system 7: "parley_file"
        std::vector<std::string> problems; // every type or limit the record breaks
    };

    // Installs the stand-in into the app registry (replacing an earlier one) and writes
    // "parley_sdk_infomation".
    static std::shared_ptr<ParleyApp> install();
    void uninstall();

    std::vector<Received> received() const;
    // The registration records on "parley_register", by app id.
    static std::optional<pf::Dictionary> registrations();

    // Answer every later request with a send-message response of this result and command
    // (none: no answer).
    void setAnswer(std::optional<int> result, unsigned command = 2020);
    // Stages a record for an app and opens "<app id>://" as Parley does.
    static void sendRecord(const std::string& appID, const pf::Dictionary& record);

    // What a record breaks: keys of the wrong type, unknown command, fields over their limits.
    static std::vector<std::string> check(const pf::Dictionary& record, const std::optional<pf::Bytes>& file);

private:
    void opened(const pf::Url& url);

    mutable std::mutex m_mutex;
    std::vector<Received> m_received;
    std::optional<int> m_answerResult;
    unsigned m_answerCommand { 2020 };
};

}
