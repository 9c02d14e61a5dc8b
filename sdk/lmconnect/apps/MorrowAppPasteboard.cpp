#include "sdk/lmconnect/apps/MorrowAppPasteboard.h"

#include "sdk/lmconnect/apps/APIResponseCoding.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/ResetRegistry.h"

namespace {

// Never destroyed: a session's destructor may reach the hand-off among the static destructors
// at process exit. A new launch forgets the place.
std::string& latestPlace()
{
    static std::string* place = [] {
        auto* made = new std::string;
        pf::ResetRegistry::add([made] { made->clear(); });
        return made;
    }();
    return *place;
}

std::optional<pf::Dictionary> readArchive(const std::optional<pf::Bytes>& data)
{
    if (!data || data->empty())
        return std::nullopt;
    // Another app's reply, read once and never written back: a lone surrogate reads as U+FFFD.
    auto value = pf::KeyedUnarchiver::unarchivedValue(*data, nullptr, pf::LoneSurrogates::Replace);
    if (!value || !value->asDictionary())
        return std::nullopt;
    return *value->asDictionary();
}

}

std::optional<std::string> MorrowAppPasteboard::saveDictionaryToPasteBoard(const pf::Dictionary& dict, const std::string& name)
{
    auto board = name.empty() ? pf::Pasteboard::withUniqueName() : pf::Pasteboard::withName(name, true);
    if (!board)
        return std::nullopt;
    board->setPersistent(true);
    board->setData(pf::KeyedArchiver::archivedValue(pf::Value(dict)), kNamedType);
    latestPlace() = board->name();
    return board->name();
}

std::optional<std::string> MorrowAppPasteboard::saveDictionaryByGeneralPastboardWithSchema(const pf::Dictionary& dict, const std::string& schema)
{
    std::string type = kGeneralTypePrefix + schema;
    pf::Pasteboard::general()->setData(pf::KeyedArchiver::archivedValue(pf::Value(dict)), type);
    latestPlace() = type;
    return type;
}

std::optional<pf::Dictionary> MorrowAppPasteboard::getDictionaryFromPasteBoard(const std::string& name)
{
    auto board = name.empty() ? nullptr : pf::Pasteboard::withName(name, false);
    if (!board)
        return std::nullopt;
    return readArchive(board->dataForType(kNamedType));
}

std::optional<pf::Dictionary> MorrowAppPasteboard::getDictionaryFromGeneralPasteBoard(const std::string& type)
{
    if (type.empty())
        return std::nullopt;
    auto board = pf::Pasteboard::general();
    auto data = board->dataForType(type);
    board->removeType(type);
    return readArchive(data);
}

const std::string& MorrowAppPasteboard::pasteboardName() { return latestPlace(); }

std::optional<pf::Dictionary> MorrowAppPasteboard::readReply(bool general, bool missingBoardMeansCancel)
{
    const std::string& place = latestPlace();
    if (general)
        return getDictionaryFromGeneralPasteBoard(place);
    auto reply = getDictionaryFromPasteBoard(place);
    if (!reply && missingBoardMeansCancel && !pf::Pasteboard::withName(place, false))
        reply = pf::Dictionary { { "user_cancelled", "YES" } };
    return reply;
}

std::shared_ptr<APIResponse> MorrowAppPasteboard::responseOf(const std::optional<pf::Dictionary>& reply)
{
    const pf::Value* data = reply ? reply->find("response_data") : nullptr;
    if (!data || !data->asData())
        return nullptr;
    return pf::KeyedUnarchiver::unarchivedObject<APIResponse>(*data->asData(), nullptr, pf::LoneSurrogates::Replace);
}
