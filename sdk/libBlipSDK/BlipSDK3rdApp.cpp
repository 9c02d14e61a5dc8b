#include "sdk/libBlipSDK/BlipSDK3rdApp.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Url.h"
#include "sdk/libBlipSDK/BlipSDK.h"

namespace blip {

std::shared_ptr<BlipSDK3rdApp> BlipSDK3rdApp::currentApp()
{
    auto app = std::make_shared<BlipSDK3rdApp>();
    auto bundle = pf::Bundle::main();
    app->appKey = BlipSDK::registeredAppKey();
    if (!bundle)
        return app;
    if (const std::string* name = bundle->objectForInfoDictionaryKey("CFBundleDisplayName").asString())
        app->name = *name;
    std::string identifier = bundle->bundleIdentifier();
    if (!identifier.empty())
        app->bundleID = identifier;

    const pf::Value* icons = &bundle->objectForInfoDictionaryKey("CFBundleIconFiles");
    if (icons->isMissing())
        icons = &bundle->objectForInfoDictionaryKey("CFBundleIcons")["CFBundlePrimaryIcon"]["CFBundleIconFiles"];
    if (const pf::Array* names = icons->asArray(); names && !names->empty()) {
        const pf::Value& chosen = names->size() >= 2 ? (*names)[1] : (*names)[0];
        if (const std::string* name = chosen.asString())
            app->iconData = bundle->dataForResource(*name);
    }
    for (const char* fallback : { "icon@2x.png", "Icon@2x.png", "icon.png", "Icon.png" }) {
        if (app->iconData)
            break;
        app->iconData = bundle->dataForResource(fallback);
    }
    return app;
}

bool BlipSDK3rdApp::isAppInstalled() const
{
    if (!appKey || appKey->empty()) {
        BlipSDK::debugLog("BlipSDK3rdApp isAppInstalled appKey 为空，默认返回未安装！");
        return false;
    }
    auto url = pf::Url::fromString(callbackScheme());
    return url && pf::Application::shared().canOpenURL(*url);
}

bool BlipSDK3rdApp::isEqual(const BlipSDK3rdApp& other) const
{
    if (this == &other)
        return true;
    return appKey && other.appKey && bundleID && other.bundleID && *appKey == *other.appKey && *bundleID == *other.bundleID;
}

pf::Dictionary BlipSDK3rdApp::dictionaryWithApp(const BlipSDK3rdApp& app)
{
    pf::Dictionary d;
    if (app.name)
        d.set("name", *app.name);
    if (app.appKey)
        d.set("appKey", *app.appKey);
    if (app.bundleID)
        d.set("bundleID", *app.bundleID);
    if (app.iconData)
        d.set("iconData", *app.iconData);
    return d;
}

std::shared_ptr<BlipSDK3rdApp> BlipSDK3rdApp::appWithDictionary(const pf::Dictionary& d)
{
    auto app = std::make_shared<BlipSDK3rdApp>();
    auto text = [&](const char* key) -> std::optional<std::string> {
        const pf::Value* v = d.find(key);
        return v && v->asString() ? std::optional<std::string>(*v->asString()) : std::nullopt;
    };
    app->name = text("name");
    app->appKey = text("appKey");
    app->bundleID = text("bundleID");
    if (const pf::Value* icon = d.find("iconData"); icon && icon->asData())
        app->iconData = *icon->asData();
    return app;
}

}
