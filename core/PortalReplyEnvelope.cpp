#include "core/PortalReplyEnvelope.h"

#include "platform/foundation/Json.h"

PortalReplyEnvelope PortalReplyEnvelope::parse(const pf::Bytes& data)
{
    auto parsed = pf::Json::parse(data);
    return fromValue(parsed ? std::move(*parsed) : pf::Value());
}

PortalReplyEnvelope PortalReplyEnvelope::fromValue(pf::Value reply)
{
    PortalReplyEnvelope envelope;
    if (reply.isDictionary())
        envelope.m_reply = std::move(reply);
    return envelope;
}

bool PortalReplyEnvelope::isSuccess() const
{
    const pf::Value& ret = m_reply["ret"];
    if (auto integer = ret.asInteger())
        return *integer == 0;
    if (auto real = ret.asReal())
        return *real == 0.0;
    if (const std::string* text = ret.asString())
        return *text == "0";
    return false;
}

std::string PortalReplyEnvelope::message() const
{
    const pf::Value& msg = m_reply["msg"];
    if (msg.isString() || msg.asInteger() || msg.asReal())
        return msg.stringValue();
    return {};
}
