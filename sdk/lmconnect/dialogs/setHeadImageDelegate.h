#pragma once

#include <memory>
#include <string>

namespace pf {
class Image;
}
class SetHeadImageViewController;

// What the avatar crop screen asks of its owner (the session).
class setHeadImageDelegate {
public:
    virtual ~setHeadImageDelegate() = default;
    // Starts the upload of `image`; its call number, or -1 when it cannot start.
    virtual int didFinishedSetUserLocalPic(SetHeadImageViewController&, const std::shared_ptr<pf::Image>& image, const std::string& fileName)
    {
        return -1;
    }
    // The dialog is to close; `seq` is the running upload's number (-1 for none).
    virtual bool didCancelled(int seq) { return false; }
};
