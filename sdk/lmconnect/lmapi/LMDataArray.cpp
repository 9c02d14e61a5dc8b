#include "sdk/lmconnect/lmapi/LMDataArray.h"

bool LMDataArray::removeObjectAtIndex(long index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_elements.size())
        return false;
    m_elements.erase(m_elements.begin() + index);
    return true;
}

void LMDataArray::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    pf::Array list;
    for (const auto& element : m_elements)
        list.push_back(element ? pf::Value(*element) : pf::Value::null());
    coder.encodeValue("array", list);
}

std::shared_ptr<LMDataArray> LMDataArray::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto array = std::make_shared<LMDataArray>();
    pf::Value list = coder.decodeValue("array");
    if (const pf::Array* items = list.asArray()) {
        for (const auto& item : *items) {
            const pf::Bytes* data = item.asData();
            array->m_elements.push_back(data ? std::optional<pf::Bytes>(*data) : std::nullopt);
        }
    }
    return array;
}
