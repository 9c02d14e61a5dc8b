#include "core/storage/PlistFileManager.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"

namespace {

std::optional<std::string> pathFor(std::string_view fileName)
{
    if (fileName.empty() || fileName == "." || fileName == ".." || fileName.find('/') != std::string_view::npos
        || fileName.find('\0') != std::string_view::npos) {
        pf::Log::line("PlistFileManager: refused the file name \"" + std::string(fileName) + "\"");
        return std::nullopt;
    }
    return pf::FileManager::join(pf::Sandbox::current()->documentsPath(), std::string(fileName));
}

bool write(std::string_view fileName, const pf::Bytes& bytes)
{
    auto path = pathFor(fileName);
    if (!path || bytes.size() > PlistFileManager::kMaxFileBytes)
        return false;
    std::string error;
    if (!pf::FileManager::writeAtomically(*path, bytes, &error)) {
        pf::Log::line("PlistFileManager: cannot write " + *path + ": " + error);
        return false;
    }
    return true;
}

std::optional<pf::Bytes> read(std::string_view fileName)
{
    auto path = pathFor(fileName);
    if (!path)
        return std::nullopt;
    return pf::FileManager::read(*path, PlistFileManager::kMaxFileBytes);
}

// The file's value when it decodes to one of `kind`; nothing otherwise.
std::optional<pf::Value> readValue(std::string_view fileName,
    std::optional<pf::Value> (*decode)(const pf::Bytes&), pf::Value::Type kind)
{
    auto bytes = read(fileName);
    if (!bytes)
        return std::nullopt;
    auto value = decode(*bytes);
    if (!value || value->type() != kind)
        return std::nullopt;
    return value;
}

std::optional<pf::Value> unarchived(const pf::Bytes& bytes)
{
    return pf::KeyedUnarchiver::unarchivedValue(bytes);
}

std::optional<pf::Value> propertyList(const pf::Bytes& bytes)
{
    return pf::PropertyList::parse(bytes);
}

}

bool PlistFileManager::writePlistFileArrayInfoInto(std::string_view fileName, const pf::Value& list)
{
    if (!list.isArray())
        return false;
    // An empty archive means the list could not be read back as it is (nested too deep, or a
    // text that is not UTF-8 or holds a NUL).
    auto bytes = pf::KeyedArchiver::archivedValue(list);
    return !bytes.empty() && write(fileName, bytes);
}

std::optional<pf::Value> PlistFileManager::readArrayFromPlistFile(std::string_view fileName)
{
    return readValue(fileName, unarchived, pf::Value::Type::Array);
}

bool PlistFileManager::writePlistFileDictionaryInfoInto(std::string_view fileName, const pf::Value& dictionary)
{
    if (!dictionary.isDictionary())
        return false;
    std::string error;
    auto bytes = pf::PropertyList::write(dictionary, pf::PropertyList::Format::Xml, &error);
    if (!bytes) {
        pf::Log::line("PlistFileManager: cannot write a dictionary as a property list: " + error);
        return false;
    }
    return write(fileName, *bytes);
}

std::optional<pf::Value> PlistFileManager::readDictionaryFromPlistFile(std::string_view fileName)
{
    return readValue(fileName, propertyList, pf::Value::Type::Dictionary);
}

bool PlistFileManager::writePlistFileDataInfoInto(std::string_view fileName, const pf::Bytes& data)
{
    return write(fileName, data);
}

std::optional<pf::Bytes> PlistFileManager::readDataFromPlistFile(std::string_view fileName)
{
    return read(fileName);
}
