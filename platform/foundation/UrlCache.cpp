#include "platform/foundation/UrlCache.h"

namespace pf {

UrlCache& UrlCache::shared()
{
    static UrlCache* cache = new UrlCache();
    return *cache;
}

}
