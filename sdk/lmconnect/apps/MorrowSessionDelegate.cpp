#include "sdk/lmconnect/apps/MorrowSessionDelegate.h"

#include <utility>

std::optional<MorrowSessionDelegate::Callback> MorrowSessionDelegate::callbackNamed(std::string_view name)
{
    static const std::pair<std::string_view, Callback> kTable[] = {
        { "getUserInfoResponse", &MorrowSessionDelegate::getUserInfoResponse },
        { "getListAlbumResponse", &MorrowSessionDelegate::getListAlbumResponse },
        { "getListPhotoResponse", &MorrowSessionDelegate::getListPhotoResponse },
        { "addShareResponse", &MorrowSessionDelegate::addShareResponse },
        { "uploadPicResponse", &MorrowSessionDelegate::uploadPicResponse },
        { "addAlbumResponse", &MorrowSessionDelegate::addAlbumResponse },
        { "addOneBlogResponse", &MorrowSessionDelegate::addOneBlogResponse },
        { "addTopicResponse", &MorrowSessionDelegate::addTopicResponse },
        { "checkPageFansResponse", &MorrowSessionDelegate::checkPageFansResponse },
        { "matchNickTipsResponse", &MorrowSessionDelegate::matchNickTipsResponse },
        { "getIntimateFriendsResponse", &MorrowSessionDelegate::getIntimateFriendsResponse },
        { "getVipInfoResponse", &MorrowSessionDelegate::getVipInfoResponse },
        { "getVipRichInfoResponse", &MorrowSessionDelegate::getVipRichInfoResponse },
        { "setUserHeadpicResponse", &MorrowSessionDelegate::setUserHeadpicResponse },
    };
    if (!name.empty() && name.back() == ':')
        name.remove_suffix(1);
    for (auto& [entry, callback] : kTable) {
        if (entry == name)
            return callback;
    }
    return std::nullopt;
}

bool MorrowSessionDelegate::deliver(std::string_view name, const std::shared_ptr<APIResponse>& response)
{
    auto callback = callbackNamed(name);
    if (!callback)
        return false;
    (this->**callback)(response);
    return true;
}
