#pragma once

#include "platform/foundation/Value.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

// The read of a remote address's whole content: blocking, for the few places that fetch on the
// main thread (the captcha picture, the side menu's avatar), or answered later on the main run
// loop (the share picture), so the screen goes on meanwhile. The address comes from a portal
// reply, so it is not trusted.
//
// Rules:
// - Only http and https addresses are fetched; any other scheme (file, data, ...) or a text
//   that is not a URL gives nothing without touching the network.
// - The fetch gives up after `timeout` seconds and refuses a reply longer than `maxBytes`
//   while it arrives, so a hostile server can neither hang the screen for long nor fill memory.
// - Only a 2xx reply is content: an error page is nothing.
// - The asynchronous read answers exactly once, on the main run loop and never inside the call;
//   until then it counts as pending work of the main loop.
class ContentFetcher {
public:
    using Completion = std::function<void(std::optional<pf::Bytes> content)>;

    static constexpr double kDefaultTimeout = 10;
    static constexpr size_t kDefaultMaxBytes = 2 * 1024 * 1024;

    static std::optional<pf::Bytes> fetchContentsOfAddress(const std::string& address,
        double timeout = kDefaultTimeout, size_t maxBytes = kDefaultMaxBytes);
    static void fetchContentsOfAddressLater(const std::string& address, Completion completion,
        double timeout = kDefaultTimeout, size_t maxBytes = kDefaultMaxBytes);
    // Whether `address` is one this fetcher would try (an http or https URL with a host).
    static bool isFetchableAddress(const std::string& address);
};
