// The LM Connect scripts' namespaces. Loaded first; it only defines, so it may run before the
// native objects exist.
var morrow = morrow || {};

(function (m) {
    function space(name) {
        m[name] = m[name] || {};
        return m[name];
    }

    // The session's values, which native code reads and writes ("morrow.oauth.accessToken").
    var session = space("oauth");
    session.accessToken = session.accessToken || "";
    session.openId = session.openId || "";
    session.expirationDate = session.expirationDate || 0;

    var tauth = space("tauth");
    tauth.appId = tauth.appId || "";
    tauth.initialised = tauth.initialised || false;
    // Run at creation and after every finished page load: only the first run registers.
    tauth.init = function (appId) {
        if (tauth.initialised && tauth.appId === appId)
            return "true";
        tauth.appId = appId;
        // Our own usage statistics start with the app id.
        var report = window.sdk_reportUtils;
        if (report && typeof report.startLM4Connect === "function")
            report.startLM4Connect(appId);
        // The LM share needs the app registered natively; the session's object may come later.
        var native = window.oauth;
        if (native && typeof native.registLMAPIWithLMAppId === "function") {
            native.registLMAPIWithLMAppId(JSON.stringify({ appid: appId }));
            tauth.initialised = true;
        }
        return "true";
    };

    space("result");
    space("localresult");
    space("share");
    space("netmonitor");
    space("info");
    space("lzone");
    space("blip");
    space("pub");
})(morrow);
