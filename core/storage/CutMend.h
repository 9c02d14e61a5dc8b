#pragma once

#include <string>

// What a mend killed on the way (a power cut, the app ended) left, put right by the first
// operation of the next launch before anything reads or writes the store:
// - the store also named aside, with the mended file finished at its working name: the mended
//   file takes the store's place; with none finished, the store is mended again;
// - the store moved aside (no second names) and the mended file finished: the journals left
//   behind at the store's name follow the damaged file first (to the aside record's name, when
//   the record is trusted; see MendNames), then the mended file takes its place;
// - the store in place: whatever the mend left at its working names (a file half built, or
//   built and never placed, with its journals) goes, as do journals of the file aside still
//   beside the new store, and the store is used (and mended again, if it is damaged).
// A file aside is never written through, and a journal never parted from a file in use.
class CutMend {
public:
    enum class Outcome {
        None,      // nothing of a mend cut short (or what it left was put right)
        Finished,  // the mended file took the store's place
        MendAgain, // the store is also named aside and nothing mended is left: it is mended again
        Blocked,   // what it left cannot be put right now
    };

    static Outcome finish(const std::string& path);
};
