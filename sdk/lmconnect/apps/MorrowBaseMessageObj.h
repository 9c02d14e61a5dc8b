#pragma once

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// One message of the Morrow API channel; `nVersion` tells the kind (0 text, 1 image, 2 audio,
// 3 video, 4 image with video). Every kind, this base included, checks its own limits.
class MorrowBaseMessageObj {
public:
    static constexpr const char* kArchiveClassName = "MorrowBaseMessageObj";
    static constexpr size_t kTextLimit = 1048576; // characters or bytes
    static constexpr size_t kImageLimit = 10485760;

    explicit MorrowBaseMessageObj(std::int32_t version = 0) : nVersion(version) { }
    virtual ~MorrowBaseMessageObj() = default;

    std::int32_t nVersion { 0 };
    std::optional<std::string> sName;
    pf::Value dictExpandInfo;

    virtual bool isVaild() const;

    // Each kind is written under its own class name, also through a pointer to this base.
    virtual std::string_view archiveClassName() const { return kArchiveClassName; }
    virtual void encodeWithCoder(pf::KeyedArchiver& coder) const;
    static std::shared_ptr<MorrowBaseMessageObj> initWithCoder(pf::KeyedUnarchiver& coder);

    // Length of a text in UTF-16 units, as its limits count characters.
    static size_t characters(const std::optional<std::string>& text);
    static bool withinText(const std::optional<std::string>& text) { return characters(text) <= kTextLimit; }
    static bool withinData(const std::optional<pf::Bytes>& data, size_t limit = kTextLimit) { return !data || data->size() <= limit; }

protected:
    void encodeBase(pf::KeyedArchiver& coder) const;
    void decodeBase(pf::KeyedUnarchiver& coder);
};
