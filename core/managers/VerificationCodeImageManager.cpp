#include "core/managers/VerificationCodeImageManager.h"

#include "core/ContentFetcher.h"
#include "core/NetworkParameterAssistant.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Sandbox.h"
#include "platform/graphics/Image.h"

std::shared_ptr<VerificationCodeImageManager> VerificationCodeImageManager::sharedInstance()
{
    static const std::shared_ptr<VerificationCodeImageManager> instance = [] {
        auto manager = std::make_shared<VerificationCodeImageManager>();
        manager->createVerificationCodeImageDirectory();
        return manager;
    }();
    return instance;
}

pf::Rect VerificationCodeImageManager::wordImageRect(int index)
{
    return { 10.0 + (index % 3) * 40.0, 50.0 + (index / 3) * 40.0, 40, 40 };
}

std::string VerificationCodeImageManager::wordImageName(int index)
{
    return "word" + std::to_string(index + 1) + ".png";
}

bool VerificationCodeImageManager::createVerificationCodeImages(const std::string& address)
{
    removeAllImages();
    if (!downloadAndSaveOriginalImage(address))
        return false;
    auto original = readFileFromDocumentDirectory(kOriginalImageName);
    if (!original) {
        pf::Log::format("Captcha picture from %s could not be decoded", address.c_str());
        return false;
    }
    bool question = createCodeImage(*original);
    bool words = createWordsImage(*original);
    return question && words;
}

std::shared_ptr<pf::Image> VerificationCodeImageManager::getCodeImage() const
{
    return readFileFromDocumentDirectory(kCodeImageName);
}

std::shared_ptr<pf::Image> VerificationCodeImageManager::getWordsImageWithIndex(int index) const
{
    if (index < 0)
        return nullptr;
    return readFileFromDocumentDirectory(wordImageName(index));
}

bool VerificationCodeImageManager::downloadAndSaveOriginalImage(const std::string& address)
{
    auto data = ContentFetcher::fetchContentsOfAddress(address);
    if (!data || data->empty()) {
        if (isImageFileExisted(kOriginalImageName))
            pf::FileManager::removeFile(fetchFilePath(kOriginalImageName));
        return false;
    }
    return saveImageData(*data, kOriginalImageName);
}

namespace {

bool savePiece(VerificationCodeImageManager& manager, const pf::Image& image, const pf::Rect& rect, const std::string& name)
{
    if (manager.isImageFileExisted(name))
        pf::FileManager::removeFile(manager.fetchFilePath(name));
    auto piece = image.cropped(rect);
    if (!piece)
        return false;
    pf::Bytes png = piece->pngData();
    return !png.empty() && manager.saveImageData(png, name);
}

}

bool VerificationCodeImageManager::createCodeImage(const pf::Image& image)
{
    return savePiece(*this, image, codeImageRect(), kCodeImageName);
}

bool VerificationCodeImageManager::createWordsImage(const pf::Image& image)
{
    bool all = true;
    for (int i = 0; i < kWordCount; ++i)
        all = savePiece(*this, image, wordImageRect(i), wordImageName(i)) && all;
    return all;
}

bool VerificationCodeImageManager::createVerificationCodeImagesWithOriginalImage()
{
    auto original = readFileFromDocumentDirectory(kOriginalImageName);
    return original && createCodeImage(*original);
}

std::string VerificationCodeImageManager::fetchFilePath(const std::string& fileName) const
{
    return pf::Sandbox::current()->documentsPath() + "/" + kDirectoryName + "/" + fileName;
}

bool VerificationCodeImageManager::saveImageData(const pf::Bytes& data, const std::string& fileName)
{
    createVerificationCodeImageDirectory();
    if (isImageFileExisted(fileName))
        pf::FileManager::removeFile(fetchFilePath(fileName));
    std::string error;
    if (!pf::FileManager::writeAtomically(fetchFilePath(fileName), data, &error)) {
        pf::Log::format("Captcha file %s not written: %s", fileName.c_str(), error.c_str());
        return false;
    }
    return true;
}

bool VerificationCodeImageManager::isImageFileExisted(const std::string& fileName) const
{
    return pf::FileManager::exists(fetchFilePath(fileName));
}

std::shared_ptr<pf::Image> VerificationCodeImageManager::readFileFromDocumentDirectory(const std::string& fileName) const
{
    std::string path = fetchFilePath(fileName);
    auto data = pf::FileManager::read(path);
    if (!data || data->empty())
        return nullptr;
    auto image = pf::Image::decode(*data);
    // Named by its file, so a screen dump of the captcha says where a person can look at it.
    if (image)
        image->setName(path);
    return image;
}

void VerificationCodeImageManager::removeAllImages()
{
    std::vector<std::string> names { kOriginalImageName, kCodeImageName };
    for (int i = 0; i < kWordCount; ++i)
        names.push_back(wordImageName(i));
    for (const auto& name : names) {
        if (isImageFileExisted(name))
            pf::FileManager::removeFile(fetchFilePath(name));
    }
}

void VerificationCodeImageManager::removeLeftovers()
{
    pf::FileManager::removeLeftoverTemporaries(pf::Sandbox::current()->documentsPath() + "/" + kDirectoryName + "/");
}

void VerificationCodeImageManager::createVerificationCodeImageDirectory()
{
    std::string documents = pf::Sandbox::current()->documentsPath();
    // The folder survives between runs; only a missing one is made.
    if (!pf::FileManager::isDirectory(documents + "/" + kDirectoryName))
        createDirectory(kDirectoryName, documents);
}

bool VerificationCodeImageManager::createDirectory(const std::string& name, const std::string& parentPath)
{
    std::string error;
    if (!pf::FileManager::createDirectory(parentPath + "/" + name, false, &error)) {
        pf::Log::format("Create directory error: %s", error.c_str());
        return false;
    }
    return true;
}

std::string VerificationCodeImageManager::getVerificationCodeImageURL(const std::string& address)
{
    std::string url = address;
    for (const auto& [name, value] : NetworkParameterAssistant::parametersForVerificationCodeImage())
        url += "&" + name + "=" + value;
    return url;
}
