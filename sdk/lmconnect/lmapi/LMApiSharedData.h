#pragma once

#include "sdk/lmconnect/host/MorrowPoolObject.h"

#include "platform/foundation/KeyedArchiver.h"

// The large data of a share ("previewimagedata", "file_data", "image_data_list") waiting in the
// data pool for the share script, which learns only its key.
class LMApiSharedData : public MorrowPoolObject {
public:
    static constexpr const char* kPoolClassName = "LMApiSharedData";

    explicit LMApiSharedData(pf::Dictionary data) : m_data(std::move(data)) { }
    const pf::Dictionary& data() const { return m_data; }

    std::string poolClassName() const override { return kPoolClassName; }
    std::optional<pf::Bytes> archivedData() const override
    {
        pf::Bytes archive = pf::KeyedArchiver::archivedValue(m_data);
        return archive.empty() ? std::nullopt : std::optional<pf::Bytes>(std::move(archive));
    }

private:
    pf::Dictionary m_data;
};
