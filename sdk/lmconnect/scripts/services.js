// Sign-in, Open API and share entry points. They answer "false" (or -1 for a share) until the
// session's own objects are registered by the step that brings them; nothing runs at load time.
(function (m) {
    m.tauth.login = function (permissions) {
        m.tauth.permissions = permissions;
        return "false";
    };
    m.tauth.inAuth = function (permissions) {
        m.tauth.extraPermissions = permissions;
        return "false";
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

    m.share.shareMessageToLM = function (message) {
        return -1;
    };
})(morrow);
