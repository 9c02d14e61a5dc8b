#pragma once

#include <cstdint>
#include <memory>

class APIBase;

// Hears the progress of an Open API call's exchange, on the main run loop.
class APIBaseDelegate {
public:
    virtual ~APIBaseDelegate() = default;
    virtual void apiBaseDidSendBodyData(const std::shared_ptr<APIBase>& apiBase, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) { }
    virtual void apiBaseDidWriteData(const std::shared_ptr<APIBase>& apiBase, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t expectedTotalBytes) { }
};
