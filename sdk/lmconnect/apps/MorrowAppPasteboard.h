#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

struct APIResponse;

// The pasteboards of the sign-in hand-off with the LM and LZone apps: a request is written as a
// keyed archive of a dictionary, on a named pasteboard under "lzappDataType" or on the general
// pasteboard under "com.morrow.<scheme>", and the app's reply is read back from the same place.
//
// Rules:
// - The place of the latest request is remembered (only that request can be answered); a new
//   launch forgets it.
// - Another app's data is read as plain values only, and a reply's "response_data" only as an
//   Open API result; anything else is no reply. A general reply is removed as it is read.
// - Main thread only.
class MorrowAppPasteboard {
public:
    static constexpr const char* kNamedType = "lzappDataType";
    static constexpr const char* kGeneralTypePrefix = "com.morrow.";

    // The save calls answer the name or type written (and remember it). Without a name, a
    // pasteboard of a new unique name.
    static std::optional<std::string> saveDictionaryToPasteBoard(const pf::Dictionary& dict, const std::string& name = {});
    static std::optional<std::string> saveDictionaryByGeneralPastboardWithSchema(const pf::Dictionary& dict, const std::string& schema);
    static std::optional<pf::Dictionary> getDictionaryFromPasteBoard(const std::string& name);
    static std::optional<pf::Dictionary> getDictionaryFromGeneralPasteBoard(const std::string& type);
    // Where the latest request was written: a pasteboard name or a general type; "" before one.
    static const std::string& pasteboardName();

    // The reply to the latest request, from the general pasteboard or from its named one. With
    // `missingBoardMeansCancel`, a named pasteboard that no longer exists reads as the user's
    // cancel ("user_cancelled" = "YES").
    static std::optional<pf::Dictionary> readReply(bool general, bool missingBoardMeansCancel);
    // The Open API result a reply carries in "response_data"; none for anything else.
    static std::shared_ptr<APIResponse> responseOf(const std::optional<pf::Dictionary>& reply);
};
