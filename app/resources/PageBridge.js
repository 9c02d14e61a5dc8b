// The page side of the page bridge: a page registers handlers the app may call and calls the
// app's handlers, each with data and an optional answer callback. Messages to the app wait in
// a queue; a navigation of a hidden frame to "pagebridge://message" tells the app to fetch
// them. The app injects this script when a page has finished loading, then the page gets the
// event "PageBridgeReady" on its document (and window.onPageBridgeReady is called).
(function () {
    if (window.PageBridge) return;
    var queue = [], handlers = {}, callbacks = {}, seq = 0, frame = null;

    function send(message, responseCallback) {
        if (typeof responseCallback === 'function') {
            var id = 'page_cb_' + (++seq);
            callbacks[id] = responseCallback;
            message.callbackId = id;
        }
        queue.push(message);
        if (!frame) {
            frame = document.createElement('iframe');
            frame.style.display = 'none';
            document.documentElement.appendChild(frame);
        }
        frame.src = 'pagebridge://message';
    }

    function dispatch(message) {
        if (message.responseId) {
            var callback = callbacks[message.responseId];
            delete callbacks[message.responseId];
            if (callback) callback(message.responseData);
            return;
        }
        var respond = function () {};
        if (message.callbackId) {
            var callbackId = message.callbackId;
            respond = function (data) { send({ responseId: callbackId, responseData: data }); };
        }
        var handler = handlers[message.handlerName] || window.PageBridge._defaultHandler;
        if (!handler) {
            console.log('PageBridge: no handler for ' + message.handlerName);
            return;
        }
        try {
            handler(message.data, respond);
        } catch (e) {
            console.log('PageBridge: handler ' + message.handlerName + ' failed: ' + e);
        }
    }

    window.PageBridge = {
        registerHandler: function (name, handler) { handlers[name] = handler; },
        callHandler: function (name, data, responseCallback) {
            if (typeof data === 'function') { responseCallback = data; data = undefined; }
            send({ handlerName: name, data: data }, responseCallback);
        },
        send: function (data, responseCallback) { send({ data: data }, responseCallback); },
        init: function (defaultHandler) { window.PageBridge._defaultHandler = defaultHandler; },
        _fetchQueue: function () { var text = JSON.stringify(queue); queue = []; return text; },
        _handleMessageFromApp: function (text) { dispatch(JSON.parse(text)); }
    };

    if (typeof window.onPageBridgeReady === 'function') window.onPageBridgeReady(window.PageBridge);
    document.dispatchEvent({ type: 'PageBridgeReady', bridge: window.PageBridge });
})();
