#pragma once

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <memory>
#include <string>

// An advertisement record kept on a pasteboard for the LM app.
class LMApiAdItem {
public:
    static constexpr const char* kArchiveClassName = "LMApiAdItem";
    static constexpr std::int64_t kVersion = 1;

    std::string title;
    std::string description;
    pf::Bytes imageData;
    std::string target;

    void encodeWithCoder(pf::KeyedArchiver& coder) const
    {
        coder.encodeInteger("version", kVersion);
        coder.encodeText("title", title);
        coder.encodeText("desc", description);
        coder.encodeData("imgdata", imageData);
        coder.encodeText("target", target);
    }
    // Fields are read only from a record of version 1; another version is an empty item.
    static std::shared_ptr<LMApiAdItem> initWithCoder(pf::KeyedUnarchiver& coder)
    {
        auto item = std::make_shared<LMApiAdItem>();
        if (coder.decodeInteger("version") != kVersion)
            return item;
        item->title = coder.decodeText("title").value_or("");
        item->description = coder.decodeText("desc").value_or("");
        item->imageData = coder.decodeData("imgdata").value_or(pf::Bytes {});
        item->target = coder.decodeText("target").value_or("");
        return item;
    }
};
