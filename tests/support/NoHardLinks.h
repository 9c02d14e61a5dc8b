#pragma once

namespace testsupport {

// A file system without hard links, as some are: while a `NoHardLinks` lives, every attempt to
// give a file a second name fails with EPERM. Caught, like `UnreadableRange`'s reads, by defining
// the system's calls in the test program itself.
class NoHardLinks {
public:
    NoHardLinks();
    ~NoHardLinks();
    NoHardLinks(const NoHardLinks&) = delete;
    NoHardLinks& operator=(const NoHardLinks&) = delete;
};

}
