#pragma once

#include "platform/foundation/UrlError.h"
#include "platform/foundation/UrlRequest.h"
#include "platform/foundation/UrlResponse.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace pf {

// The transport under URL loading: every asynchronous transfer of the process runs on one
// worker thread that drives a single curl multi handle; synchronous transfers run on the
// caller's thread.
//
// Rules:
// - Only http and https are spoken, also across redirects (at most 10 are followed).
// - The sinks of an asynchronous transfer are called on the worker thread, in order: response
//   (once), data (zero or more times), then either finish or error. Once `cancel` has
//   returned no sink is called again (a call under way finishes first); the worker removes the
//   transfer as soon as it wakes, which `cancel` makes it do.
// - `progress`, when set, hears the byte counts (sent, to send, received, to receive; a total
//   is 0 while unknown) each time one of them has changed, between the other sinks.
// - Sinks must not block or call back into the engine: they hand their call on (post it).
// - Cookies of the shared storage are sent and reply cookies stored (see UrlRequest).
// - At most `kMaxConnectionsPerHost` asynchronous transfers to one host are connected at a
//   time; the others wait in order. A screen asks for all its pictures at once, and as many
//   simultaneous connections overrun a small server's queue of waiting connections, whose
//   dropped connection attempts are only retried a second later.
class HttpEngine {
public:
    using TransferId = std::uint64_t;
    static constexpr long kMaxConnectionsPerHost = 4;

    struct Progress {
        std::int64_t sent { 0 };
        std::int64_t toSend { 0 };
        std::int64_t received { 0 };
        std::int64_t toReceive { 0 };
        bool operator==(const Progress&) const = default;
    };

    struct Sinks {
        std::function<void(UrlResponse)> response;
        std::function<void(Bytes)> data;
        std::function<void()> finish;
        std::function<void(UrlError)> error;
        std::function<void(Progress)> progress;
    };

    struct Result {
        std::optional<UrlResponse> response;
        Bytes data;
        std::optional<UrlError> error;
    };

    static HttpEngine& shared();

    TransferId start(const UrlRequest& request, Sinks sinks);
    void cancel(TransferId id);
    size_t activeTransfers() const;

    // Blocking, on the calling thread. `timeout` <= 0 uses the request's.
    static Result perform(const UrlRequest& request, double timeout = 0);

private:
    HttpEngine();
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}
