#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace peers {

// A request as it reached the vendor-services server.
struct PeerRequest {
    std::string method;
    std::string path;  // without the query, the vendor's prefix included
    std::string query; // as written, without "?"
    std::vector<std::pair<std::string, std::string>> headers;
    // The body as it came; empty for a multipart body, which is recorded as its parts.
    std::string body;
    struct Part {
        std::string name;
        std::string filename; // empty for a text part
        std::string contentType;
        std::string data;
        bool operator==(const Part&) const = default;
    };
    std::vector<Part> parts;

    // The first header of that name (any letter case); none when absent.
    std::optional<std::string> header(const std::string& name) const;
    // The first value of a query field, decoded ("+" is a blank); none when absent.
    std::optional<std::string> queryValue(const std::string& name) const;
};

// What the server answers. `dropConnection` closes the connection without an answer;
// `truncateAfter` declares the whole body but sends only that many bytes; `delaySeconds`
// holds the answer back (real seconds, bounded by the server's stop); `hold` keeps it back until
// the server's `releaseHeld` (or its stop).
struct PeerReply {
    int status { 200 };
    std::string body;
    std::string contentType { "text/plain; charset=utf-8" };
    std::vector<std::pair<std::string, std::string>> headers;
    bool dropConnection { false };
    std::optional<size_t> truncateAfter;
    double delaySeconds { 0 };
    bool hold { false };

    static PeerReply json(std::string body, int status = 200);
    static PeerReply bytes(std::string body, std::string contentType, int status = 200);
};

}
