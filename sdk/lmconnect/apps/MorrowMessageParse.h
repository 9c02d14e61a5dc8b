#pragma once

#include <memory>
#include <variant>

namespace pf {
class Url;
}
class MorrowApiReq;
class MorrowApiResp;

// Reads a Morrow API address: the message staged for it on the general pasteboard, once (the
// type is cleared as it is read). Only the channel's own type is read, and only the channel's
// classes are made; anything else is nothing.
class MorrowMessageParse {
public:
    using Message = std::variant<std::monostate, std::shared_ptr<MorrowApiReq>, std::shared_ptr<MorrowApiResp>>;
    static Message parseMorrowMessage(const pf::Url& url);
    // Whether the address is one of the channel: a scheme of the app's "morrowApiIdentifier"
    // type, the channel's host and a request or response path.
    static bool isMorrowApiAddress(const pf::Url& url);
};
