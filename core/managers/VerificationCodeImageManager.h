#pragma once

#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"

#include <memory>
#include <string>

namespace pf {
class Image;
}

// Prepares the pictures of the word-picking captcha. The portal sends one composite picture
// per captcha: a question strip at (10, 10, 120, 40) and a 3 x 3 grid of 40 x 40 word tiles
// below it, tile i at (10 + 40 (i mod 3), 50 + 40 (i div 3)). The manager downloads it, cuts
// it and keeps the pieces as PNG files in Documents/VerificationCodeImages:
//
//   VerificationCodeOriginalImage.png   the composite picture, bytes as received
//   CodeImage.png                       the question strip
//   word1.png ... word9.png             the tiles, row by row from the top left
//
// Rules:
// - Only the current captcha is kept: every preparation first removes all eleven files, so a
//   failed one never leaves the pieces of an earlier captcha behind.
// - The download is blocking (the caller's main thread) and goes through ContentFetcher: http
//   and https only, with a time-out and a size limit.
// - A piece is cut with clipping to the picture; a piece wholly outside gets no file.
// - The folder belongs to the current sandbox and is made again when missing.
// - Each launch removes the temporary files that writes of the pieces killed part-way left in
//   the folder (`removeLeftovers`); a captcha may never be shown again to replace them.
// - A picture read back from the folder is named by its file's path (dumps show the name).
class VerificationCodeImageManager : public std::enable_shared_from_this<VerificationCodeImageManager> {
public:
    static std::shared_ptr<VerificationCodeImageManager> sharedInstance();

    static constexpr const char* kDirectoryName = "VerificationCodeImages";
    static constexpr const char* kOriginalImageName = "VerificationCodeOriginalImage.png";
    static constexpr const char* kCodeImageName = "CodeImage.png";
    static constexpr int kWordCount = 9;
    static pf::Rect codeImageRect() { return { 10, 10, 120, 40 }; }
    static pf::Rect wordImageRect(int index);

    // The whole preparation: download, cut, save. True only when the picture was fetched and
    // decoded and the question strip and all nine tiles were written; the caller then shows
    // the captcha, and otherwise must not.
    bool createVerificationCodeImages(const std::string& address);

    // The question strip and tile `index` (0 to 8, kept as word<index + 1>.png); null when the
    // file is missing or unreadable.
    std::shared_ptr<pf::Image> getCodeImage() const;
    std::shared_ptr<pf::Image> getWordsImageWithIndex(int index) const;

    // The steps of the preparation.
    bool downloadAndSaveOriginalImage(const std::string& address);
    bool createCodeImage(const pf::Image& image);
    // True when all nine tiles were written.
    bool createWordsImage(const pf::Image& image);
    // Recreates the question strip from the saved composite picture.
    bool createVerificationCodeImagesWithOriginalImage();

    // Files of the folder.
    std::string fetchFilePath(const std::string& fileName) const;
    // Replaces the file (removing an old one first); false when it could not be written.
    bool saveImageData(const pf::Bytes& data, const std::string& fileName);
    bool isImageFileExisted(const std::string& fileName) const;
    std::shared_ptr<pf::Image> readFileFromDocumentDirectory(const std::string& fileName) const;
    void removeAllImages();
    // Removes what writes killed part-way left in the current sandbox's folder: only the
    // writer's temporary files ("<file>.tmp-<hex>"), never a link or another file. For the
    // app's start-up; makes no folder.
    static void removeLeftovers();

    void createVerificationCodeImageDirectory();
    bool createDirectory(const std::string& name, const std::string& parentPath);

    // The captcha picture's address with the signed parameters of a picture request appended
    // as "&name=value" pairs.
    static std::string getVerificationCodeImageURL(const std::string& address);

    static std::string wordImageName(int index);
};
