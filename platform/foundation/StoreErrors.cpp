#include "platform/foundation/StoreErrors.h"

#include <sqlite3.h>

namespace pf {

bool StoreErrors::isDamage(int code)
{
    code &= 0xFF;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

bool StoreErrors::isRefusedRead(int extendedCode)
{
    return extendedCode == SQLITE_IOERR_CORRUPTFS;
}

bool StoreErrors::isPassing(int extendedCode)
{
    if (isRefusedRead(extendedCode))
        return false;
    switch (extendedCode & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_NOMEM:
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_INTERRUPT:
        return true;
    default:
        return false;
    }
}

bool StoreErrors::isDamageReadWhole(int code, const RetryingReadVfs::Failures& before)
{
    return isDamage(code) && !isRefusedRead(code) && !RetryingReadVfs::failures().anySince(before);
}

}
