#pragma once

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <memory>
#include <optional>
#include <vector>

// A list of archived objects, each kept as its own archive (or as a null marker when there was
// nothing to archive), so a reader that does not know one element's class still reads the
// others. Archived under "array" as a list of data and nulls; an element of another kind reads
// as null and is written back as it was. An "array" that is no list refuses the archive.
// An object whose archive is refused (a text that is not UTF-8 or holds a NUL) is never stood
// for by a null marker: the call that was handed it fails and the list stays as it was.
class LMDataArray {
public:
    static constexpr const char* kArchiveClassName = "LMDataArray";

    // None when one of the objects cannot be archived.
    template <typename T>
    static std::shared_ptr<LMDataArray> arrayWithObjectArray(const std::vector<std::shared_ptr<T>>& objects)
    {
        auto array = std::make_shared<LMDataArray>();
        array->m_elements.reserve(4);
        for (const auto& object : objects) {
            auto element = archive(object);
            if (!element)
                return nullptr;
            array->m_elements.push_back(std::move(*element));
        }
        return array;
    }

    // Each element read back; a null marker or an element that is no archive of a T is null.
    template <typename T>
    std::vector<std::shared_ptr<T>> objectArray() const
    {
        std::vector<std::shared_ptr<T>> out;
        for (const auto& element : m_elements) {
            const pf::Bytes* data = element.asData();
            out.push_back(data ? pf::KeyedUnarchiver::unarchivedObject<T>(*data) : nullptr);
        }
        return out;
    }

    size_t count() const { return m_elements.size(); }
    // Nothing is ignored; false when nothing was added (nothing given, or its archive refused).
    template <typename T>
    bool addObject(const std::shared_ptr<T>& object)
    {
        auto element = object ? archive(object) : std::nullopt;
        if (!element)
            return false;
        m_elements.push_back(std::move(*element));
        return true;
    }
    template <typename T>
    bool replaceObjectAtIndex(long index, const std::shared_ptr<T>& object)
    {
        if (!object || index < 0 || static_cast<size_t>(index) >= m_elements.size())
            return false;
        auto element = archive(object);
        if (!element)
            return false;
        m_elements[static_cast<size_t>(index)] = std::move(*element);
        return true;
    }
    bool removeObjectAtIndex(long index);
    void removeAllObjects() { m_elements.clear(); }

    void encodeWithCoder(pf::KeyedArchiver& coder) const;
    static std::shared_ptr<LMDataArray> initWithCoder(pf::KeyedUnarchiver& coder);

private:
    // The element standing for `object`: its archive, or the null marker for no object; none when
    // its archive is refused.
    template <typename T>
    static std::optional<pf::Value> archive(const std::shared_ptr<T>& object)
    {
        if (!object)
            return pf::Value::null();
        pf::Bytes data = pf::KeyedArchiver::archivedData(*object);
        if (data.empty())
            return std::nullopt;
        return pf::Value(std::move(data));
    }

    pf::Array m_elements;
};
