#include "sdk/libParleySDK/AppCommunicate.h"

#include "platform/foundation/Pasteboard.h"
#include "sdk/libParleySDK/ParleyApiUtil.h"

namespace parley {

namespace {

std::shared_ptr<pf::Pasteboard> persistentBoard(const std::string& name)
{
    auto board = pf::Pasteboard::withName(name, true);
    if (board)
        board->setPersistent(true);
    return board;
}

}

std::shared_ptr<pf::Pasteboard> AppCommunicate::getDataPasteboard()
{
    return persistentBoard(getDataPasteboardName());
}

std::shared_ptr<pf::Pasteboard> AppCommunicate::getFilePasteboard()
{
    return persistentBoard(getFilePasteboardName());
}

std::shared_ptr<pf::Pasteboard> AppCommunicate::getDataPasteboardForSystem7Plus()
{
    return pf::Pasteboard::general();
}

std::optional<pf::Dictionary> AppCommunicate::takeList(const std::shared_ptr<pf::Pasteboard>& board, pf::LoneSurrogates lone)
{
    if (!board)
        return std::nullopt;
    auto list = ParleyApiUtil::propertyListFromData(board->dataForType(kContentType), lone);
    if (!list)
        return std::nullopt;
    board->setData({}, kContentType);
    if (const pf::Dictionary* all = list->asDictionary())
        return *all;
    return std::nullopt;
}

std::optional<pf::Dictionary> AppCommunicate::entry(const std::optional<pf::Dictionary>& all, const std::string& appID)
{
    if (!all || appID.empty())
        return std::nullopt;
    const pf::Value* value = all->find(appID);
    if (!value || !value->asDictionary())
        return std::nullopt;
    return *value->asDictionary();
}

bool AppCommunicate::writeList(const std::shared_ptr<pf::Pasteboard>& board, const pf::Dictionary& list)
{
    if (!board)
        return false;
    auto data = ParleyApiUtil::dataFromPropertyList(list);
    if (!data)
        return false;
    board->setData(std::move(*data), kContentType);
    return true;
}

std::optional<pf::Dictionary> AppCommunicate::propertyListForAllApp()
{
    return takeList(getDataPasteboard(), pf::LoneSurrogates::Damage);
}

std::optional<pf::Dictionary> AppCommunicate::propertyListForAllAppForSystem7Plus()
{
    return takeList(getDataPasteboardForSystem7Plus(), pf::LoneSurrogates::Replace);
}

std::optional<pf::Dictionary> AppCommunicate::propertyListForAppID(const std::string& appID)
{
    if (appID.empty())
        return std::nullopt;
    return entry(takeList(getDataPasteboard(), pf::LoneSurrogates::Replace), appID);
}

std::optional<pf::Dictionary> AppCommunicate::propertyListForAppIDForSystem7Plus(const std::string& appID)
{
    if (appID.empty())
        return std::nullopt;
    return entry(propertyListForAllAppForSystem7Plus(), appID);
}

bool AppCommunicate::setPropertyList(const pf::Dictionary& list, const std::string& appID)
{
    if (appID.empty())
        return false;
    pf::Dictionary all = propertyListForAllApp().value_or(pf::Dictionary {});
    all.set(appID, list);
    return writeList(getDataPasteboard(), all);
}

bool AppCommunicate::setPropertyListForSystem7Plus(const pf::Dictionary& list, const std::string& appID)
{
    if (appID.empty())
        return false;
    return writeList(getDataPasteboardForSystem7Plus(), pf::Dictionary { { appID, list } });
}

bool AppCommunicate::setFileData(const std::optional<pf::Bytes>& data, const std::string& appID)
{
    auto board = getFilePasteboard();
    if (!board || appID.empty())
        return false;
    board->setData(data.value_or(pf::Bytes {}), kContentType);
    return true;
}

std::optional<pf::Bytes> AppCommunicate::fileDataForAppID(const std::string& appID)
{
    auto board = getFilePasteboard();
    if (!board)
        return std::nullopt;
    auto data = board->dataForType(kContentType);
    board->setData({}, kContentType);
    if (!data || data->empty() || data->size() > AppCommunicateData::kMaxFileData || appID.empty())
        return std::nullopt;
    return data;
}

bool AppCommunicate::setAppCommunicateData(const AppCommunicateData& record, const std::string& appID)
{
    if (!record.propertList() || appID.empty())
        return false;
    if (ParleyApiUtil::isSystem7plus())
        return setPropertyListForSystem7Plus(*record.propertList(), appID);
    if (!setPropertyList(*record.propertList(), appID))
        return false;
    // The data pasteboard holds the record now; a file that cannot follow fails the staging
    // rather than leaving the record to point at stale file data.
    return setFileData(record.fileData, appID);
}

std::shared_ptr<AppCommunicateData> AppCommunicate::appCommunicateDataForAppID(const std::string& appID)
{
    if (appID.empty())
        return nullptr;
    if (ParleyApiUtil::isSystem7plus())
        return appCommunicateDataForAppIDForSystem7Plus(appID);
    auto list = propertyListForAppID(appID);
    if (!list)
        return nullptr;
    auto record = std::make_shared<AppCommunicateData>(*list);
    record->fileData = fileDataForAppID(appID);
    return record;
}

std::shared_ptr<AppCommunicateData> AppCommunicate::appCommunicateDataForAppIDForSystem7Plus(const std::string& appID)
{
    auto list = propertyListForAppIDForSystem7Plus(appID);
    if (!list)
        return nullptr;
    auto record = std::make_shared<AppCommunicateData>(*list);
    const pf::Value* file = list->find("fileData");
    if (file && file->asData() && file->asData()->size() <= AppCommunicateData::kMaxFileData)
        record->fileData = *file->asData();
    return record;
}

}
