#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

namespace blip {

// Rich content of a message: music, video or a web page (the subclasses). The base itself may
// not be sent.
class BPBaseMediaObject {
public:
    virtual ~BPBaseMediaObject() = default;

    std::optional<std::string> objectID;
    std::optional<std::string> title;
    std::optional<std::string> description;
    std::optional<pf::Bytes> thumbnailData;
    std::optional<std::string> scheme; // what a tap on the content opens

    virtual std::string className() const { return "BPBaseMediaObject"; }
    virtual std::optional<std::string> validate() const;
    virtual void storeToDictionary(pf::Dictionary& dictionary) const;
    virtual void loadFromDictionary(const pf::Dictionary& dictionary);

    // The object's keys plus "__class".
    static pf::Dictionary dictionaryWithMediaObject(const BPBaseMediaObject& object);
    // A music, video or web-page object named by "__class"; none for other names.
    static std::shared_ptr<BPBaseMediaObject> mappedMediaObjectWithDictionary(const pf::Dictionary& dictionary);

protected:
    static std::optional<std::string> text(const pf::Dictionary& d, const char* key);
    static void put(pf::Dictionary& d, const char* key, const std::optional<std::string>& value);
    // Whether an optional text is set and at most `max` UTF-16 units (or unset, when allowed).
    static bool fits(const std::optional<std::string>& value, size_t max, bool required);
};

}
