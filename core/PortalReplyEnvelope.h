#pragma once

#include "platform/foundation/Value.h"

#include <string>

// A portal reply read as its envelope: a JSON object with "ret" (0 is success), "msg" (the text
// shown on failure) and "body" (the payload).
//
// Rules:
// - Bytes that are not JSON, or JSON whose top level is not an object, are no envelope at all:
//   `isObject` is false and the reply is a failure.
// - Success only when "ret" is the number 0 or the text "0"; a missing, null, non-numeric or
//   non-zero "ret" is a failure (reading a missing value as 0 would report failures as success).
// - `message` is "msg" as text (a number as its text), empty when missing or of another type.
class PortalReplyEnvelope {
public:
    static PortalReplyEnvelope parse(const pf::Bytes& data);
    static PortalReplyEnvelope fromValue(pf::Value reply);

    bool isObject() const { return m_reply.isDictionary(); }
    bool isSuccess() const;
    // The whole reply (missing when not an object).
    const pf::Value& reply() const { return m_reply; }
    const pf::Value& body() const { return m_reply["body"]; }
    std::string message() const;

private:
    pf::Value m_reply;
};
