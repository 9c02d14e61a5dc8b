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
    m.localresult.handleAuthorizeResult = function (url) {
        return "NO";
    };
    m.netmonitor.statusChanged = function (status) {
        m.netmonitor.status = status;
        return "true";
    };
})(morrow);

var morrow_base = morrow_base || {};
morrow_base.getUserInfo = function () {
    return morrow.info.getUserInfo("getUserInfoResponse:", "getUserInfoResponse:");
};
