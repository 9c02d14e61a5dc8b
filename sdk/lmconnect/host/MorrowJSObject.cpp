#include "sdk/lmconnect/host/MorrowJSObject.h"

bool MorrowJSObject::transformNativeMethod(MorrowMethodDescription::Handler handler, size_t argumentCount,
    std::string jsFunc, int returnType, std::vector<int> argumentCodes)
{
    if (!handler || jsFunc.empty() || argumentCodes.size() != argumentCount)
        return false;
    m_methodList.push_back({ std::move(jsFunc), std::move(argumentCodes), returnType, std::move(handler) });
    return true;
}

const MorrowMethodDescription* MorrowJSObject::findMethod(const std::string& jsFunc) const
{
    for (auto& method : m_methodList) {
        if (method.jsMethodKey == jsFunc)
            return &method;
    }
    return nullptr;
}
