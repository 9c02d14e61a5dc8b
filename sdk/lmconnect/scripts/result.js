// Answers native code asks of the scripts about results.
(function (m) {
    m.result.loginComplete = function (token, openId, expiresInMs) {
        m.oauth.accessToken = token;
        m.oauth.openId = openId;
        m.oauth.expirationDate = expiresInMs;
        return "true";
    };
    m.result.shouldUserGetUserInfo = function () {
        return "false";
    };
    m.netmonitor.statusChanged = function (status) {
        m.netmonitor.status = status;
        return "true";
    };
})(morrow);
