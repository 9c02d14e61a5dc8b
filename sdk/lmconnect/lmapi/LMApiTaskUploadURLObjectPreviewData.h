#pragma once

#include "sdk/lmconnect/lmapi/LMApiPreviewTask.h"

// Uploads the preview of a page share as a 140 by 140 JPEG to the connect host and takes the
// address it answers as the share's preview address, then sends the share again. A preview that
// is no picture is dropped; a failed or late upload (kTimeout) leaves the share as it was.
class LMApiTaskUploadURLObjectPreviewData : public LMApiPreviewTask {
public:
    static constexpr int kSide = 140;
    static constexpr double kJpegQuality = 0.8;
    static constexpr const char* kPath = "lmconnectopen/upload_share_image";

    using LMApiPreviewTask::LMApiPreviewTask;

    void requestDidLoad(const std::shared_ptr<MorrowRequest>& request, const pf::Value& result, const pf::Bytes& data) override;

protected:
    void main() override;
};
