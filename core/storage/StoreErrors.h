#pragma once

// How the store tells SQLite's failures apart: damage (mended), a read the disk refused for good
// (damage too), and what may pass by itself (a later operation tries again; nothing is mended).
class StoreErrors {
public:
    // The file is not a database, or SQLite found its pages malformed.
    static bool isDamage(int code);
    // A read the disk refused at every try (see RetryingReadVfs): what a bad sector gives.
    static bool isRefusedRead(int extendedCode);
    // A lock, a full disk, no memory, an I/O error other than a refused read: a mend waits for a
    // later operation rather than take it for damage and leave rows behind.
    static bool isPassing(int extendedCode);
};
