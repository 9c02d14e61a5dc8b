#pragma once

#include "sdk/lmconnect/lmapi/LMPasteboard.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

// A pasteboard holding one archived object (or one plain value, such as a dictionary). Setting
// nothing empties it; setting what cannot be archived answers false and leaves it as it was. The
// general-pasteboard variants keep the same archive on the device's general pasteboard under the
// type equal to the name. What it reads is the LM app's message, read once and never written
// back, so a lone UTF-16 surrogate in it reads as U+FFFD.
class LMObjectPasteboard : public LMPasteboard {
public:
    using LMPasteboard::LMPasteboard;

    template <typename T>
    bool setObject(const std::shared_ptr<T>& object) const { return setArchive(object, false); }
    template <typename T>
    bool setObjectByGeneralPastboard(const std::shared_ptr<T>& object) const { return setArchive(object, true); }
    // None when there is no data or it is not an archive of a T.
    template <typename T>
    std::shared_ptr<T> object() const { return unarchive<T>(readData()); }
    template <typename T>
    std::shared_ptr<T> objectFromGeneralPastboard() const { return unarchive<T>(readGeneralData()); }

    bool setValue(const pf::Value& value) const { return setValueArchive(value, false); }
    bool setValueByGeneralPastboard(const pf::Value& value) const { return setValueArchive(value, true); }
    std::optional<pf::Value> value() const { return unarchiveValue(readData()); }
    std::optional<pf::Value> valueFromGeneralPastboard() const { return unarchiveValue(readGeneralData()); }

private:
    template <typename T>
    bool setArchive(const std::shared_ptr<T>& object, bool general) const
    {
        std::string error;
        auto data = object ? std::optional<pf::Bytes>(pf::KeyedArchiver::archivedData(*object, &error)) : std::nullopt;
        return writeArchive(data, error, general);
    }
    bool setValueArchive(const pf::Value& value, bool general) const
    {
        std::string error;
        auto data = value.isNone() ? std::nullopt : std::optional<pf::Bytes>(pf::KeyedArchiver::archivedValue(value, &error));
        return writeArchive(data, error, general);
    }
    template <typename T>
    static std::shared_ptr<T> unarchive(const std::optional<pf::Bytes>& data)
    {
        return data ? pf::KeyedUnarchiver::unarchivedObject<T>(*data, nullptr, pf::LoneSurrogates::Replace) : nullptr;
    }
    static std::optional<pf::Value> unarchiveValue(const std::optional<pf::Bytes>& data)
    {
        return data ? pf::KeyedUnarchiver::unarchivedValue(*data, nullptr, pf::LoneSurrogates::Replace) : std::nullopt;
    }
};
