#include "tools/scriptbundle/ScriptBundleWriter.h"

#include "tools/scriptbundle/TestSigningKey.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Json.h"

#include <minizip/zip.h>

#include <algorithm>

namespace scriptbundle {

namespace {

pf::Bytes bytesOf(std::string_view text)
{
    return pf::Bytes(text.begin(), text.end());
}

}

std::string ScriptBundleWriter::keyForFileName(const std::string& fileName)
{
    std::string key = fileName;
    size_t dot = key.rfind('.');
    if (dot != std::string::npos)
        key[dot] = '_';
    return key;
}

std::string ScriptBundleWriter::verifyJson(const Files& scripts)
{
    pf::Dictionary hashes;
    for (auto& [name, data] : scripts)
        hashes.set(keyForFileName(name), pf::Crypto::sha1Hex(data));
    return pf::Json::write(pf::Value(std::move(hashes)), true);
}

std::optional<std::vector<ScriptBundleWriter::Entry>> ScriptBundleWriter::signedEntries(const Files& scripts,
    int version, int frequency, const std::string& keyPemPath, std::string* error)
{
    pf::Bytes verify = bytesOf(verifyJson(scripts));
    auto signature = TestSigningKey::sign(keyPemPath, verify, error);
    if (!signature)
        return std::nullopt;
    std::vector<Entry> entries;
    pf::Dictionary config { { "version", version }, { "frequency", frequency } };
    entries.push_back({ "config.json", bytesOf(pf::Json::write(pf::Value(std::move(config)))) });
    entries.push_back({ "js/", {} });
    for (auto& [name, data] : scripts)
        entries.push_back({ "js/" + name, data });
    entries.push_back({ "js/verify.json", verify });
    entries.push_back({ "js/verify.signature", *signature });
    return entries;
}

ScriptBundleWriter::Files ScriptBundleWriter::scriptsInFolder(const std::string& folder)
{
    Files files;
    auto names = pf::FileManager::contentsOfDirectory(folder);
    std::sort(names.begin(), names.end());
    for (auto& name : names) {
        if (name.size() > 3 && name.compare(name.size() - 3, 3, ".js") == 0) {
            if (auto data = pf::FileManager::read(pf::FileManager::join(folder, name)))
                files.emplace_back(name, *data);
        }
    }
    return files;
}

bool ScriptBundleWriter::writeZip(const std::string& path, const std::vector<Entry>& entries, std::string* error)
{
    zipFile zip = zipOpen64(path.c_str(), 0);
    if (!zip) {
        if (error)
            *error = "cannot create " + path;
        return false;
    }
    bool ok = true;
    for (auto& entry : entries) {
        zip_fileinfo info {};
        info.tmz_date.tm_mday = 1;
        info.tmz_date.tm_year = 2020;
        bool folder = !entry.name.empty() && entry.name.back() == '/';
        // Unix attributes in the high half: a regular file, a folder or a symbolic link.
        unsigned long mode = entry.symlink ? 0120777 : folder ? 040755 : 0100644;
        info.external_fa = mode << 16;
        const unsigned long madeByUnix = (3u << 8) | 20;
        ok = zipOpenNewFileInZip4_64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                 Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, madeByUnix, 0, 0)
            == ZIP_OK;
        if (ok && !entry.data.empty())
            ok = zipWriteInFileInZip(zip, entry.data.data(), static_cast<unsigned>(entry.data.size())) == ZIP_OK;
        if (ok)
            ok = zipCloseFileInZip(zip) == ZIP_OK;
        if (!ok)
            break;
    }
    if (zipClose(zip, nullptr) != ZIP_OK)
        ok = false;
    if (!ok && error)
        *error = "cannot write " + path;
    return ok;
}

}
