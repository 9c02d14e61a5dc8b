#include "sdk/lmconnect/apps/MorrowBaseMessageObj.h"

bool MorrowBaseMessageObj::isVaild() const { return withinText(sName); }

size_t MorrowBaseMessageObj::characters(const std::optional<std::string>& text)
{
    if (!text)
        return 0;
    size_t units = 0;
    for (unsigned char c : *text) {
        if ((c & 0xC0) != 0x80)
            units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}

void MorrowBaseMessageObj::encodeBase(pf::KeyedArchiver& coder) const
{
    coder.encodeInteger("nVersion", nVersion);
    coder.encodeText("sName", sName);
    coder.encodeValue("dictExpandInfo", dictExpandInfo);
}

void MorrowBaseMessageObj::decodeBase(pf::KeyedUnarchiver& coder)
{
    nVersion = std::int32_t(coder.decodeInteger("nVersion"));
    sName = coder.decodeText("sName");
    dictExpandInfo = coder.decodeValue("dictExpandInfo");
}

void MorrowBaseMessageObj::encodeWithCoder(pf::KeyedArchiver& coder) const { encodeBase(coder); }

std::shared_ptr<MorrowBaseMessageObj> MorrowBaseMessageObj::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto object = std::make_shared<MorrowBaseMessageObj>();
    object->decodeBase(coder);
    return object;
}
