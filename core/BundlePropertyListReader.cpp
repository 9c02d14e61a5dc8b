#include "core/BundlePropertyListReader.h"

#include "platform/foundation/Bundle.h"

BundlePropertyListReader::BundlePropertyListReader(const std::string& name)
{
    if (auto bundle = pf::Bundle::main())
        m_list = bundle->propertyListResource(name).value_or(pf::Value());
}

std::string BundlePropertyListReader::text(const char* key) const
{
    const std::string* text = m_list[key].asString();
    return text ? *text : std::string();
}
