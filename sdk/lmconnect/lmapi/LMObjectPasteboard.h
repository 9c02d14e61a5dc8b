#pragma once

#include "sdk/lmconnect/lmapi/LMPasteboard.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

// A pasteboard holding one archived object (or one plain value, such as a dictionary). Setting
// nothing empties it. The general-pasteboard variants keep the same archive on the device's
// general pasteboard under the type equal to the name.
class LMObjectPasteboard : public LMPasteboard {
public:
    using LMPasteboard::LMPasteboard;

    template <typename T>
    void setObject(const std::shared_ptr<T>& object) const { writeData(archive(object)); }
    template <typename T>
    void setObjectByGeneralPastboard(const std::shared_ptr<T>& object) const { writeGeneralData(archive(object)); }
    // None when there is no data or it is not an archive of a T.
    template <typename T>
    std::shared_ptr<T> object() const { return unarchive<T>(readData()); }
    template <typename T>
    std::shared_ptr<T> objectFromGeneralPastboard() const { return unarchive<T>(readGeneralData()); }

    void setValue(const pf::Value& value) const { writeData(archiveValue(value)); }
    void setValueByGeneralPastboard(const pf::Value& value) const { writeGeneralData(archiveValue(value)); }
    std::optional<pf::Value> value() const { return unarchiveValue(readData()); }
    std::optional<pf::Value> valueFromGeneralPastboard() const { return unarchiveValue(readGeneralData()); }

private:
    template <typename T>
    static std::optional<pf::Bytes> archive(const std::shared_ptr<T>& object)
    {
        if (!object)
            return std::nullopt;
        return pf::KeyedArchiver::archivedData(*object);
    }
    template <typename T>
    static std::shared_ptr<T> unarchive(const std::optional<pf::Bytes>& data)
    {
        return data ? pf::KeyedUnarchiver::unarchivedObject<T>(*data) : nullptr;
    }
    static std::optional<pf::Bytes> archiveValue(const pf::Value& value)
    {
        if (value.isNone())
            return std::nullopt;
        return pf::KeyedArchiver::archivedValue(value);
    }
    static std::optional<pf::Value> unarchiveValue(const std::optional<pf::Bytes>& data)
    {
        return data ? pf::KeyedUnarchiver::unarchivedValue(*data) : std::nullopt;
    }
};
