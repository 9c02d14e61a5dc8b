// What native code asks of the scripts about results, and the replies it parks for them.
(function (m) {
    m.result.pending = m.result.pending || {};

    m.result.loginComplete = function (token, openId, expiresInMs) {
        m.oauth.accessToken = token;
        m.oauth.openId = openId;
        m.oauth.expirationDate = expiresInMs;
        return "true";
    };
    // A reply for the request sent under `callback` is parked natively under that name.
    m.result.httpResponse = function (callback, key) {
        m.result.pending[callback] = key;
        return "true";
    };
    m.result.shouldUserGetUserInfo = function () {
        return m.result.wantsUserInfo ? "true" : "false";
    };
    // A reply on the app's scheme that no app hand-off took: the web sign-in's browser reply,
    // or a Morrow API message. `url` is form-encoded, as the native side expects it back.
    m.localresult.handleAuthorizeResult = function (url) {
        var native = window.oauth;
        if (!native || typeof native.jsCallHandleOpenURLByOAuth !== "function")
            return "NO";
        return native.jsCallHandleOpenURLByOAuth(JSON.stringify({ urlStr: url })) === "YES" ? "YES" : "NO";
    };
    // A story: the native side has parked its values; it gets the session's token and open id.
    m.localresult.sendStory = function (callback) {
        var native = window.oauth;
        if (!native || typeof native.sendStoryImple !== "function")
            return "false";
        var answer = native.sendStoryImple(JSON.stringify({ accesstoken: m.oauth.accessToken, openid: m.oauth.openId }));
        return answer === "YES" ? "true" : "false";
    };
    m.netmonitor.statusChanged = function (status) {
        m.netmonitor.status = status;
        return "true";
    };
})(morrow);

// What a window the scripts opened may load: web pages only, never another app's address.
var appUtils = appUtils || {};
appUtils.nativeWebViewCallback = function (url) {
    return /^https?:\/\//i.test(String(url)) ? "true" : "false";
};

var morrow_base = morrow_base || {};
morrow_base.getUserInfo = function () {
    return morrow.info.getUserInfo("getUserInfoResponse:", "getUserInfoResponse:");
};
