#pragma once

#include "core/records/RelatedGiftInfo.h"

#include <memory>

namespace testsupport {

// A related gift with the three fields the record and store tests tell apart.
inline std::shared_ptr<RelatedGiftInfo> related(int fid, RecordText title, int status)
{
    auto r = std::make_shared<RelatedGiftInfo>();
    r->setFid(fid);
    r->setTitle(std::move(title));
    r->setStatus(status);
    return r;
}

}
