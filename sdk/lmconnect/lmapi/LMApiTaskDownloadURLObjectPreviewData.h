#pragma once

#include "sdk/lmconnect/lmapi/LMApiPreviewTask.h"

// Fetches the preview of a page share that has only the picture's address, then sends the
// share again: with the picture when the reply is one, without it when the reply is no picture,
// fails, is longer than a preview may be or takes longer than kTimeout. Either way the share is
// sent exactly once more.
class LMApiTaskDownloadURLObjectPreviewData : public LMApiPreviewTask {
public:
    using LMApiPreviewTask::LMApiPreviewTask;

    void requestDidLoadRawResponse(const std::shared_ptr<MorrowRequest>& request, const pf::Bytes& data) override;

protected:
    void main() override;
};
