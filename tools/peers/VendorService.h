#pragma once

#include "tools/peers/PeerExchange.h"

#include <optional>
#include <string>

namespace peers {

// One vendor's endpoints on the vendor-services server, all under one path prefix such as
// "/stats/" or "/blip/". The server calls `handle` on its own threads, one request at a time
// per service (it holds the service's lock), with the path still carrying the prefix. A
// service that has no answer for a path returns none and the server answers 404.
//
// Services keep what tests want to read (parsed uploads, recorded calls) behind accessors of
// their own; those accessors lock `mutex()` too.
class VendorService {
public:
    virtual ~VendorService() = default;

    // The path prefix, beginning and ending with "/".
    virtual std::string prefix() const = 0;
    virtual std::optional<PeerReply> handle(const PeerRequest& request) = 0;

    // The server's root address ("http://127.0.0.1:<port>/"), set when the service is added,
    // for services whose pages link to their own addresses.
    void setRootURL(std::string root) { m_rootURL = std::move(root); }
    const std::string& rootURL() const { return m_rootURL; }
    // rootURL() plus the prefix without its leading "/".
    std::string baseURL() const { return m_rootURL + prefix().substr(1); }

private:
    std::string m_rootURL;
};

}
