#include "core/UserTokenStore.h"

#include "platform/foundation/TextEncoding.h"
#include "platform/foundation/UserDefaults.h"

bool UserTokenStore::canKeep(const std::string& token)
{
    return pf::TextEncoding::isNulFreeUtf8(token);
}

bool UserTokenStore::record(const std::string& token)
{
    return pf::UserDefaults::standard()->setObjectIfWritten(kUserTokenKey, pf::Value(token));
}

std::optional<std::string> UserTokenStore::token()
{
    return pf::UserDefaults::standard()->stringForKey(kUserTokenKey);
}

void UserTokenStore::clear()
{
    pf::UserDefaults::standard()->removeObjectForKey(kUserTokenKey);
}
