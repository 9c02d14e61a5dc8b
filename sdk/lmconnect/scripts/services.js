// Sign-in, Open API and share entry points. They use native objects registered after the scripts
// load, so nothing runs at load time; without those objects they answer "false" (or -1).
(function (m) {
    function appScheme() {
        return "morrow" + m.tauth.appId;
    }
    function has(name) {
        return typeof window[name] !== "undefined";
    }
    // The LM app's sign-in: the request goes on a pasteboard and the app is opened with
    // "mlmOpensdkSSoLogin://SSoLogin/<reply scheme>/<pasteboard>?generalpastboard=0|1".
    function loginInLM(permissions) {
        if (!has("openapi") || !has("openApi") || !has("openUi"))
            return false;
        if (openUi.getLMInfo(JSON.stringify({ appSchema: appScheme() })) !== "YES")
            return false;
        if (openApi.isAppVersion(JSON.stringify({ v2: "mlmopensdkapiV2://lmapp", sso: "mlmOpensdkSSoLogin://lmapp" })) !== "true")
            return false;
        var request = JSON.stringify({ permission: permissions, appid: m.tauth.appId, ResponseType: "token",
            jsVersion: openapi.getJSVersion(), bundleId: openapi.getBundleIdentifier(), appScheme: appScheme() });
        var general = openapi.isSupportPastboard(JSON.stringify({ url: "mlmopensdkapiV2://" })) === "true";
        var place = general ? openapi.saveDictionaryByGeneralPastboardWithSchema(request) : openapi.saveDictionary(request);
        if (!place)
            return false;
        var url = "mlmOpensdkSSoLogin://SSoLogin/" + appScheme() + "/" + place + "?generalpastboard=" + (general ? "1" : "0");
        return openapi.openURL(JSON.stringify({ url: url })) === "true";
    }
    // The web sign-in in a window of the SDK.
    function loginInWeb(permissions, extra) {
        if (!has("oauth") || typeof oauth.authorizeInWebviewKitWithParams !== "function")
            return false;
        var params = { permission: permissions, appid: m.tauth.appId, appScheme: appScheme(),
            redirecURI: "auth://www.morrow.lm/oauth2.0/login_jump" };
        for (var key in extra)
            params[key] = extra[key];
        return oauth.authorizeInWebviewKitWithParams(JSON.stringify(params)) === "true";
    }

    m.tauth.login = function (permissions) {
        m.tauth.permissions = permissions;
        return loginInLM(permissions) || loginInWeb(permissions, {}) ? "true" : "false";
    };
    m.tauth.inAuth = function (permissions) {
        m.tauth.extraPermissions = permissions;
        return loginInWeb(permissions, { isAdd: "1", accessToken: m.oauth.accessToken }) ? "true" : "false";
    };
    function notYet(callback) {
        return "false";
    }
    m.info.getUserInfo = notYet;
    m.info.getVipUserInfo = notYet;
    m.info.getVipUserRichInfo = notYet;
    m.lzone.listAlbum = notYet;
    m.lzone.listPhotos = notYet;
    m.lzone.addShare = notYet;
    m.lzone.uploadPicture = notYet;
    m.lzone.addAlbum = notYet;
    m.lzone.sendBlog = notYet;
    m.lzone.sendShuoshuo = notYet;
    m.blip.checkFans = notYet;
    m.blip.nickTips = notYet;
    m.blip.atFriends = notYet;
    m.pub.jscall = notYet;

    // A share for the LM app: the message's data is staged on the pasteboards, then the app is
    // opened with "mlmapi://share/<object type>?..." (the values percent-escaped). Answers the
    // native result code: 0 opened, -1 failed, 4 nothing to share, 5 bad address, 7 later.
    m.share.shareMessageToLM = function (message) {
        if (!has("nativeApi") || !message)
            return -1;
        if (nativeApi.isRegistScheme() !== "YES")
            return -1;
        var isUrl = message.isUrlObject === "YES";
        if (isUrl) {
            if (nativeApi.checkLMApiURLMessage() !== "YES" || nativeApi.isLargeDataLengthLegal("url") !== "YES")
                return 4;
            if (String(nativeApi.resendUrlObjectSyncShare()) === "7")
                return 7;
            nativeApi.setURLObjectPasteBoardDatas();
        } else if (message.object_type === "LMApiImageObject") {
            nativeApi.setImageObjectPasteBoardDatas();
        } else if (message.object_type === "LMApiExtendObject") {
            nativeApi.setExtendObjectPasteBoardDatas();
        } else {
            nativeApi.setCommonObjectPasteBoardDatas();
        }
        var fields = {
            src: nativeApi.getLMScheme(), app_name: message.app_name, title: message.object_title,
            description: message.object_description, text: message.text_data, url: message.object_targetUrl,
            image_url: message.object_imageUrl, flash_url: message.flash_url, message_type: message.message_type,
            share_type: String(message.shareType), key: message.key_ImageDataArray || "", cflag: message.cflag
        };
        var query = [];
        for (var name in fields)
            query.push(name + "=" + encodeURIComponent(fields[name] === undefined ? "" : fields[name]));
        return Number(nativeApi.openURL("mlmapi://share/" + message.object_type + "?" + query.join("&")));
    };
})(morrow);
