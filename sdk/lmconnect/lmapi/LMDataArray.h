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
class LMDataArray {
public:
    static constexpr const char* kArchiveClassName = "LMDataArray";

    template <typename T>
    static std::shared_ptr<LMDataArray> arrayWithObjectArray(const std::vector<std::shared_ptr<T>>& objects)
    {
        auto array = std::make_shared<LMDataArray>();
        array->m_elements.reserve(4);
        for (const auto& object : objects)
            array->m_elements.push_back(archive(object));
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
    // Nothing is ignored.
    template <typename T>
    void addObject(const std::shared_ptr<T>& object)
    {
        if (object)
            m_elements.push_back(archive(object));
    }
    template <typename T>
    bool replaceObjectAtIndex(long index, const std::shared_ptr<T>& object)
    {
        if (!object || index < 0 || static_cast<size_t>(index) >= m_elements.size())
            return false;
        m_elements[static_cast<size_t>(index)] = archive(object);
        return true;
    }
    bool removeObjectAtIndex(long index);
    void removeAllObjects() { m_elements.clear(); }

    void encodeWithCoder(pf::KeyedArchiver& coder) const;
    static std::shared_ptr<LMDataArray> initWithCoder(pf::KeyedUnarchiver& coder);

private:
    template <typename T>
    static pf::Value archive(const std::shared_ptr<T>& object)
    {
        if (!object)
            return pf::Value::null();
        pf::Bytes data = pf::KeyedArchiver::archivedData(*object);
        return data.empty() ? pf::Value::null() : pf::Value(std::move(data));
    }

    pf::Array m_elements;
};
