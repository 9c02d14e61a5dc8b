#pragma once

#include "sdk/lmconnect/host/MorrowMethodDescription.h"

#include <memory>
#include <string>
#include <vector>

// One script-visible native object: its name in the page (a dotted name makes nested objects)
// and its functions in registration order. The handlers hold their receiver weakly or not at
// all; the object does not keep a receiver alive.
class MorrowJSObject {
public:
    explicit MorrowJSObject(std::string jsObjKey) : m_jsObjKey(std::move(jsObjKey)) { }

    // Adds a function taking `argumentCount` arguments; refused (false, nothing added) without a
    // name or handler, or when the codes are not one per argument.
    bool transformNativeMethod(MorrowMethodDescription::Handler handler, size_t argumentCount, std::string jsFunc,
        int returnType, std::vector<int> argumentCodes);
    // The first function of that name.
    const MorrowMethodDescription* findMethod(const std::string& jsFunc) const;

    const std::string& jsObjKey() const { return m_jsObjKey; }
    const std::vector<MorrowMethodDescription>& methodList() const { return m_methodList; }

private:
    std::string m_jsObjKey;
    std::vector<MorrowMethodDescription> m_methodList;
};
