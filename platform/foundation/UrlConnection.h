#pragma once

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlError.h"
#include "platform/foundation/UrlRequest.h"
#include "platform/foundation/UrlResponse.h"

#include <functional>
#include <memory>
#include <optional>

namespace pf {

// An asynchronous URL load whose callbacks arrive on the main run loop.
//
// Rules:
// - `start` and `cancel` are for the main thread. A started connection keeps itself alive
//   until it finishes, fails or is cancelled, so a caller need not hold it.
// - Callbacks come in order: didReceiveResponse once, didReceiveData zero or more times, then
//   didFinishLoading or didFailWithError. Only transport failures fail; a 404 or 500 reply is
//   a response followed by its body and didFinishLoading.
// - After `cancel` no callback comes at all, and the callbacks (with what they captured) are
//   released, as they are after the last one has run.
// - Every callback runs, and everything the callbacks captured is destroyed, on the main
//   thread: the transfer thread holds the connection only weakly.
// - While loading, the connection counts as pending work of the main run loop.
// - Progress (set `didSendBodyData` or `didWriteData` before `start`): bytes of the body sent
//   and bytes of the reply received, each as (since the last call, so far, expected; expected is
//   0 while unknown). Counts that change while one report waits for the main loop are merged
//   into it, so a fast transfer posts few of them; every report comes before the final callback.
class UrlConnection : public std::enable_shared_from_this<UrlConnection> {
public:
    struct SyncResult {
        std::optional<UrlResponse> response;
        Bytes data;
        std::optional<UrlError> error;
        bool succeeded() const { return !error.has_value(); }
    };

    static std::shared_ptr<UrlConnection> create(UrlRequest request);
    ~UrlConnection();

    std::function<void(const UrlResponse&)> didReceiveResponse;
    std::function<void(const Bytes&)> didReceiveData;
    std::function<void()> didFinishLoading;
    std::function<void(const UrlError&)> didFailWithError;
    std::function<void(std::int64_t written, std::int64_t totalWritten, std::int64_t totalExpected)> didSendBodyData;
    std::function<void(std::int64_t written, std::int64_t totalWritten, std::int64_t totalExpected)> didWriteData;

    const UrlRequest& request() const { return m_request; }
    void start();
    void cancel();
    bool isLoading() const { return m_loading; }

    // Main thread: cancels every connection still loading (test tear-down).
    static void cancelAll();
    static size_t loadingCount();

    // Blocks the calling thread (any thread) until the reply is complete or failed.
    // `timeout` <= 0 uses the request's own.
    static SyncResult sendSynchronousRequest(const UrlRequest& request, double timeout = 0);

private:
    explicit UrlConnection(UrlRequest request);
    static void deliver(std::weak_ptr<UrlConnection> weak, std::function<void(UrlConnection&)> call, bool final);
    void finished();
    struct ProgressMailbox;
    void reportProgress(std::int64_t sent, std::int64_t toSend, std::int64_t received, std::int64_t toReceive);

    UrlRequest m_request;
    bool m_loading { false };
    bool m_started { false };
    std::uint64_t m_transfer { 0 };
    std::optional<PendingWork> m_pending;
    std::shared_ptr<UrlConnection> m_keepAlive;
    std::int64_t m_reportedSent { 0 };
    std::int64_t m_reportedReceived { 0 };
};

}
