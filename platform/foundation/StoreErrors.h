#pragma once

#include "platform/foundation/RetryingReadVfs.h"

namespace pf {

// How a store tells SQLite's failures apart: damage, a read the disk refused for good, and what
// may pass by itself (a later operation tries again; nothing is set aside or mended).
class StoreErrors {
public:
    // The file is not a database, or SQLite found its pages malformed.
    static bool isDamage(int code);
    // A read the disk refused at every try (see RetryingReadVfs): what a bad sector gives.
    static bool isRefusedRead(int extendedCode);
    // A lock, a full disk, no memory, an I/O error other than a refused read: a mend waits for a
    // later operation rather than take it for damage and leave rows behind.
    static bool isPassing(int extendedCode);
    // Whether a call that failed with `code` found a file that read whole and is wrong: SQLite
    // tells of damage, and no read of the call failed, for good or for now (`before` is this
    // thread's count of failed reads taken before the call). SQLite reports a page the disk
    // refused as damage too: for a store that keeps such a file where it lies rather than mend
    // it, only what this answers yes to is set aside.
    static bool isDamageReadWhole(int code, const RetryingReadVfs::Failures& before);
};

}
