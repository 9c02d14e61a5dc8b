// The LM Connect scripts' namespaces. Loaded first; it only defines, so it may run before the
// native objects exist.
var morrow = morrow || {};

(function (m) {
    function space(name) {
        m[name] = m[name] || {};
        return m[name];
    }

    var oauth = space("oauth");
    oauth.accessToken = oauth.accessToken || "";
    oauth.openId = oauth.openId || "";
    oauth.expirationDate = oauth.expirationDate || 0;

    var tauth = space("tauth");
    tauth.appId = tauth.appId || "";
    tauth.initialised = tauth.initialised || false;
    // Run at creation and after every finished page load: only the first run registers.
    tauth.init = function (appId) {
        if (tauth.initialised && tauth.appId === appId)
            return "true";
        tauth.appId = appId;
        tauth.initialised = true;
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
