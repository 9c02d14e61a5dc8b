#include "sdk/lmconnect/update/JsUpdateVersionController.h"

#include "sdk/lmconnect/update/ScriptArchiveUnpacker.h"
#include "sdk/lmconnect/update/TOSDKUpdateVerify.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"

#include <algorithm>
#include <charconv>
#include <cmath>

JsUpdateVersionController::JsUpdateVersionController(std::string localJsFolderPath)
    : m_folder(std::move(localJsFolderPath))
{
}

bool JsUpdateVersionController::isUpdated() const
{
    return pf::UserDefaults::standard()->boolForKey(kUpdatedKey);
}

std::string JsUpdateVersionController::latestVersion() const
{
    return getVersion();
}

std::string JsUpdateVersionController::getVersion()
{
    return pf::UserDefaults::standard()->stringForKey(kVersionKey).value_or(std::string());
}

long long JsUpdateVersionController::getFrequency() const
{
    // A value stored before the bounds existed is bounded as it is read.
    return boundedFrequency(pf::UserDefaults::standard()->integerForKey(kFrequencyKey));
}

std::optional<long long> JsUpdateVersionController::versionNumber(const pf::Value& version)
{
    long long number = 0;
    if (const std::string* text = version.asString()) {
        auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), number);
        if (error != std::errc() || end != text->data() + text->size())
            return std::nullopt;
    } else if (auto integer = version.asInteger()) {
        number = *integer;
    } else if (version.isNumber() && !version.asBool()) {
        double real = version.doubleValue();
        if (!(real >= 1 && real <= double(kMaxVersion)) || real != std::floor(real))
            return std::nullopt;
        number = static_cast<long long>(real);
    } else {
        return std::nullopt;
    }
    if (number < 1 || number > kMaxVersion)
        return std::nullopt;
    return number;
}

long long JsUpdateVersionController::boundedFrequency(long long minutes)
{
    return minutes <= 0 ? 0 : std::clamp(minutes, kMinFrequency, kMaxFrequency);
}

std::optional<double> JsUpdateVersionController::getLastUpdateTime() const
{
    auto date = pf::UserDefaults::standard()->dateForKey(kLastUpdateKey);
    if (!date)
        return std::nullopt;
    return date->secondsSince1970();
}

void JsUpdateVersionController::setVersionInfo(const std::string& version, long long frequency, bool updateTime)
{
    auto defaults = pf::UserDefaults::standard();
    defaults->setString(kVersionKey, version);
    defaults->setBool(kUpdatedKey, true);
    defaults->setInteger(kFrequencyKey, boundedFrequency(frequency));
    if (updateTime)
        defaults->setDate(kLastUpdateKey, pf::Date { pf::RunLoop::main().now() });
    defaults->synchronize();
}

void JsUpdateVersionController::clearVersionInfo()
{
    auto defaults = pf::UserDefaults::standard();
    defaults->removeObjectForKey(kUpdatedKey);
    defaults->removeObjectForKey(kVersionKey);
    defaults->removeObjectForKey(kFrequencyKey);
    defaults->synchronize();
}

long long JsUpdateVersionController::getFinalFrequency() const
{
    long long frequency = getFrequency();
    return frequency > 0 ? frequency : kDefaultFrequency;
}

long long JsUpdateVersionController::getTimerDelay() const
{
    auto last = getLastUpdateTime();
    if (!last)
        return 0;
    double minutes = (pf::RunLoop::main().now() - *last) / 60.0;
    double frequency = static_cast<double>(getFrequency());
    if (!(minutes <= frequency))
        return 0;
    // A last update "in the future" (the date was set back) waits one period, not for ever.
    return static_cast<long long>(std::min(frequency, frequency - minutes));
}

std::vector<std::string> JsUpdateVersionController::getFinalJsPaths() const
{
    std::vector<std::string> paths;
    auto list = pf::FileManager::read(pf::FileManager::join(m_folder, "verify.json"));
    auto parsed = list ? pf::Json::parse(*list) : std::nullopt;
    if (!parsed || !parsed->isDictionary())
        return paths;
    for (auto& [key, value] : *parsed->asDictionary()) {
        std::string name = TOSDKUpdateVerify::fileNameForKey(key);
        if (!ScriptArchiveUnpacker::isSafeName(name) || name.find('/') != std::string::npos)
            continue;
        std::string path = pf::FileManager::join(m_folder, name);
        if (name == "init.js")
            paths.insert(paths.begin(), path);
        else
            paths.push_back(path);
    }
    return paths;
}

std::optional<JsUpdateVersionController::JsUpdateVersionInfo> JsUpdateVersionController::getJsInfo() const
{
    if (!isUpdated())
        return std::nullopt;
    auto files = getFinalJsPaths();
    if (files.empty())
        return std::nullopt;
    return JsUpdateVersionInfo { true, std::move(files), m_folder };
}
