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
    coder.encodeValue("array", m_elements);
}

std::shared_ptr<LMDataArray> LMDataArray::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto array = std::make_shared<LMDataArray>();
    pf::Value list = coder.decodeValue("array");
    if (const pf::Array* items = list.asArray()) {
        array->m_elements = *items;
    } else if (!list.isMissing()) {
        // Written back, it would be lost.
        coder.fail("LMDataArray: \"array\" is no list");
        return nullptr;
    }
    return array;
}
