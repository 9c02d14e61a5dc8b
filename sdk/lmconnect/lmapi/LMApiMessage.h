#pragma once

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <cstdint>
#include <memory>

class LMApiObject;

// One content with its message type (5: a share to LM). Archived as "ApiVersion" 1, "type" and
// "object", the bytes of a separate archive of the content's LMApiObjectCoderImpl; an archive
// below version 1 reads as an empty message of type 0. A content whose archive is refused refuses
// the message's.
//
// A message remembers whether a job has already fetched its preview (`setAssociatedTask`), so
// the share's second pass goes on without fetching again.
class LMApiMessage {
public:
    static constexpr const char* kArchiveClassName = "LMApiMessage";
    static constexpr std::int64_t kApiVersion = 1;
    enum Type : std::uint32_t {
        ShowFromLM = 1, ShowAnswer = 2, GetFromLM = 3, GetAnswer = 4, SendToLM = 5, AnswerFromLM = 6, SendToLZone = 7
    };

    static std::shared_ptr<LMApiMessage> messageWithObject(std::shared_ptr<LMApiObject> object, std::uint32_t type = SendToLM)
    {
        auto message = std::make_shared<LMApiMessage>();
        message->object = std::move(object);
        message->type = type;
        return message;
    }

    std::shared_ptr<LMApiObject> object;
    std::uint32_t type { 0 };

    void setAssociatedTask(const void* task) { m_associated = task != nullptr; }
    bool isAssociatedWithTask() const { return m_associated; }

    void encodeWithCoder(pf::KeyedArchiver& coder) const;
    static std::shared_ptr<LMApiMessage> initWithCoder(pf::KeyedUnarchiver& coder);

private:
    bool m_associated { false };
};
