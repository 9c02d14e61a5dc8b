#pragma once

#include "platform/foundation/Value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class MRA4LCEvent;
namespace pf { class DispatchQueue; }

// Sends uploads, one at a time, synchronously on the serial queue "MRA4LCHttpDispatcher": a POST
// of the events' JSON array, enciphered (and gzip-framed from 256 bytes on), whose reply may carry
// server configuration.
class MRA4LCDispatcher : public std::enable_shared_from_this<MRA4LCDispatcher> {
public:
    static constexpr size_t kGzipThreshold = 256;
    static constexpr double kTimeout = 10;
    // A reply carries at most two small configurations; a longer one is not read.
    static constexpr size_t kMaxReplyBytes = 1 << 20;

    // Made on first use; a new launch (`pf::ResetRegistry`) makes a new one.
    static std::shared_ptr<MRA4LCDispatcher> getInstance();

    // Does nothing: no connection stays open between uploads.
    void close() { }

    void sendEvent(const MRA4LCEvent& event, std::function<void(bool)> callback);
    // Nothing (and no callback) for an empty list. The callback runs on the dispatcher's queue,
    // before the reply's configuration is applied.
    void send(std::vector<std::string> texts, std::function<void(bool)> callback);

    // The body of an upload of `json` and its "Content-Encoding"; none when compression fails.
    static std::optional<pf::Bytes> frame(const pf::Bytes& json, std::string& encoding);
    // One upload: YES with the deciphered reply bytes (empty for an empty reply, or one above
    // `kMaxReplyBytes`: the upload was taken all the same).
    static bool nsRequest(const pf::Bytes& json, pf::Bytes& reply);

private:
    // A new launch: the uploads already queued end first; one under way keeps the old instance.
    static void resetShared();
    MRA4LCDispatcher();
    std::shared_ptr<pf::DispatchQueue> m_queue;
};
