#include "platform/web/DomPrelude.h"

namespace pf {

const char* DomPrelude::source()
{
    return R"JS((function (global, native) {
var VOID = { area: 1, base: 1, br: 1, col: 1, embed: 1, hr: 1, img: 1, input: 1, link: 1, meta: 1, param: 1, source: 1, track: 1, wbr: 1 };
var BLOCK = { address: 1, article: 1, aside: 1, blockquote: 1, body: 1, center: 1, dd: 1, div: 1, dl: 1, dt: 1, fieldset: 1,
    figure: 1, footer: 1, form: 1, h1: 1, h2: 1, h3: 1, h4: 1, h5: 1, h6: 1, header: 1, hr: 1, li: 1, main: 1, nav: 1, ol: 1,
    p: 1, pre: 1, section: 1, table: 1, tr: 1, td: 1, th: 1, ul: 1, br: 1, label: 1 };
var UNSEEN = { head: 1, script: 1, style: 1, template: 1, noscript: 1, title: 1, meta: 1, link: 1, iframe: 1, option: 1 };
var frames = {}, frameSeq = 0, timers = {}, timerSeq = 0, timerNesting = 0;

function define(proto, name, get, set) {
    Object.defineProperty(proto, name, { get: get, set: set, configurable: true, enumerable: true });
}
function str(v) { return v === undefined || v === null ? '' : String(v); }

function Node() {}
Node.ELEMENT_NODE = 1; Node.TEXT_NODE = 3; Node.DOCUMENT_NODE = 9;
function Element(tag) { this.nodeType = 1; this.tagName = tag.toUpperCase(); this.nodeName = this.tagName; this.localName = tag;
    this.childNodes = []; this.parentNode = null; this._attrs = {}; this._order = []; this.style = {}; }
function Text(data) { this.nodeType = 3; this.nodeName = '#text'; this.data = str(data); this.childNodes = []; this.parentNode = null; }
function Document() { this.nodeType = 9; this.nodeName = '#document'; this.childNodes = []; this.parentNode = null; this.readyState = 'loading'; }
Element.prototype = Object.create(Node.prototype); Element.prototype.constructor = Element;
Text.prototype = Object.create(Node.prototype); Text.prototype.constructor = Text;
Document.prototype = Object.create(Node.prototype); Document.prototype.constructor = Document;
var document = new Document();

function isConnected(node) { while (node) { if (node === document) return true; node = node.parentNode; } return false; }
function walk(node, visit) {
    var stack = [node];
    while (stack.length) {
        var n = stack.pop();
        if (visit(n) === false) return;
        for (var i = n.childNodes.length - 1; i >= 0; i--) stack.push(n.childNodes[i]);
    }
}
function detach(child) {
    var p = child.parentNode;
    if (!p) return;
    var i = p.childNodes.indexOf(child);
    if (i >= 0) p.childNodes.splice(i, 1);
    child.parentNode = null;
}
function frameSource(el) { return el._attrs.hasOwnProperty('src') ? el._attrs.src : null; }
function navigateFrame(el) {
    var src = frameSource(el);
    if (src === null || src === '') return;
    var id = ++frameSeq;
    frames[id] = el;
    if (!native.frameNavigate(id, src)) delete frames[id];
}
function insert(parent, child, ref) {
    if (!(child instanceof Node)) throw new TypeError('not a node');
    if (parent.nodeType === 3) throw new Error('HierarchyRequestError: a text has no children');
    for (var p = parent; p; p = p.parentNode) if (p === child) throw new Error('HierarchyRequestError: a node cannot contain itself');
    if (ref !== null && ref !== undefined && ref.parentNode !== parent) throw new Error('NotFoundError: the reference is not a child');
    detach(child);
    var list = parent.childNodes, at = ref ? list.indexOf(ref) : -1;
    if (at < 0) list.push(child); else list.splice(at, 0, child);
    child.parentNode = parent;
    if (isConnected(parent))
        walk(child, function (n) { if (n.tagName === 'IFRAME') navigateFrame(n); });
    return child;
}
Node.prototype.appendChild = function (child) { return insert(this, child, null); };
Node.prototype.insertBefore = function (child, ref) { return insert(this, child, ref || null); };
Node.prototype.removeChild = function (child) {
    if (!child || child.parentNode !== this) throw new Error('NotFoundError: not a child of this node');
    detach(child); return child;
};
Node.prototype.replaceChild = function (n, old) { insert(this, n, old); return this.removeChild(old); };
Node.prototype.hasChildNodes = function () { return this.childNodes.length > 0; };
Node.prototype.contains = function (n) { for (; n; n = n.parentNode) if (n === this) return true; return false; };
define(Node.prototype, 'firstChild', function () { return this.childNodes[0] || null; });
define(Node.prototype, 'lastChild', function () { return this.childNodes[this.childNodes.length - 1] || null; });
define(Node.prototype, 'nextSibling', function () { var p = this.parentNode; return p ? p.childNodes[p.childNodes.indexOf(this) + 1] || null : null; });
define(Node.prototype, 'previousSibling', function () { var p = this.parentNode; return p ? p.childNodes[p.childNodes.indexOf(this) - 1] || null : null; });
define(Node.prototype, 'ownerDocument', function () { return document; });
define(Node.prototype, 'textContent', function () {
    if (this.nodeType === 3) return this.data;
    var out = [];
    walk(this, function (n) { if (n.nodeType === 3) out.push(n.data); });
    return out.join('');
}, function (v) {
    if (this.nodeType === 3) { this.data = str(v); return; }
    while (this.childNodes.length) detach(this.childNodes[0]);
    if (str(v) !== '') insert(this, new Text(v), null);
});
define(Text.prototype, 'nodeValue', function () { return this.data; }, function (v) { this.data = str(v); });

// Events: handlers named "on" + type (functions or attribute text), then listeners; clicks
// and submissions travel up to the document.
Node.prototype.addEventListener = function (type, fn) {
    if (typeof fn !== 'function') return;
    var l = this._listeners || (this._listeners = {});
    (l[type] || (l[type] = [])).push(fn);
};
Node.prototype.removeEventListener = function (type, fn) {
    var list = this._listeners && this._listeners[type];
    if (list) { var i = list.indexOf(fn); if (i >= 0) list.splice(i, 1); }
};
function handlerOf(node, type) {
    var h = node['on' + type];
    if (typeof h === 'function') return h;
    if (node._attrs && node._attrs.hasOwnProperty('on' + type)) {
        // Handler text sees the element, then its form, then the document, as names.
        var scoped = 'with (document) with (this.form || {}) with (this) {\n' + node._attrs['on' + type] + '\n}';
        try { return new Function('event', scoped); } catch (e) { native.log('handler not compiled: ' + e); }
    }
    return null;
}
function fire(target, type, bubbles) {
    var event = { type: type, target: target, defaultPrevented: false, stopped: false,
        preventDefault: function () { this.defaultPrevented = true; }, stopPropagation: function () { this.stopped = true; } };
    for (var node = target; node; node = bubbles ? node.parentNode : null) {
        event.currentTarget = node;
        var h = handlerOf(node, type);
        if (h && h.call(node, event) === false) event.defaultPrevented = true;
        var list = node._listeners && node._listeners[type];
        if (list) { list = list.slice(); for (var i = 0; i < list.length; i++) list[i].call(node, event); }
        if (event.stopped) break;
    }
    return event;
}
Node.prototype.dispatchEvent = function (event) {
    var e = fire(this, event && event.type, !!(event && event.bubbles));
    return !e.defaultPrevented;
};

// Elements.
Element.prototype.getAttribute = function (name) {
    name = str(name).toLowerCase();
    return this._attrs.hasOwnProperty(name) ? this._attrs[name] : null;
};
Element.prototype.hasAttribute = function (name) { return this._attrs.hasOwnProperty(str(name).toLowerCase()); };
Element.prototype.setAttribute = function (name, value) {
    name = str(name).toLowerCase();
    if (!this._attrs.hasOwnProperty(name)) this._order.push(name);
    this._attrs[name] = str(value);
    if (name === 'src' && this.tagName === 'IFRAME' && isConnected(this)) navigateFrame(this);
};
Element.prototype.removeAttribute = function (name) {
    name = str(name).toLowerCase();
    if (!this._attrs.hasOwnProperty(name)) return;
    delete this._attrs[name];
    this._order.splice(this._order.indexOf(name), 1);
};
function reflect(name, attr) {
    define(Element.prototype, name, function () { return this.getAttribute(attr) || ''; }, function (v) { this.setAttribute(attr, v); });
}
reflect('id', 'id'); reflect('className', 'class'); reflect('name', 'name'); reflect('href', 'href'); reflect('src', 'src');
reflect('action', 'action'); reflect('placeholder', 'placeholder'); reflect('title', 'title'); reflect('alt', 'alt');
define(Element.prototype, 'type', function () {
    var t = this.getAttribute('type');
    if (t) return t.toLowerCase();
    return this.tagName === 'BUTTON' ? 'submit' : this.tagName === 'INPUT' ? 'text' : '';
}, function (v) { this.setAttribute('type', v); });
define(Element.prototype, 'method', function () { return (this.getAttribute('method') || 'get').toLowerCase(); }, function (v) { this.setAttribute('method', v); });
define(Element.prototype, 'value', function () {
    if (this.tagName === 'SELECT') {
        var opts = this.getElementsByTagName('option'), chosen = null;
        for (var i = 0; i < opts.length; i++) if (opts[i].selected) chosen = opts[i];
        if (!chosen) chosen = opts[0];
        return chosen ? chosen.value : '';
    }
    if (this.tagName === 'OPTION' && !this.hasAttribute('value')) return this.textContent;
    if (this._value !== undefined) return this._value;
    if (this.tagName === 'TEXTAREA') return this.textContent;
    var v = this.getAttribute('value');
    if (v === null && (this.type === 'checkbox' || this.type === 'radio')) return 'on';
    return v === null ? '' : v;
}, function (v) {
    if (this.tagName === 'SELECT') {
        var opts = this.getElementsByTagName('option');
        for (var i = 0; i < opts.length; i++) opts[i].selected = opts[i].value === str(v);
        return;
    }
    this._value = str(v);
});
define(Element.prototype, 'checked', function () { return this._checked !== undefined ? this._checked : this.hasAttribute('checked'); },
    function (v) { this._checked = !!v; });
define(Element.prototype, 'selected', function () { return this._selected !== undefined ? this._selected : this.hasAttribute('selected'); },
    function (v) { this._selected = !!v; });
define(Element.prototype, 'disabled', function () { return this.hasAttribute('disabled'); },
    function (v) { if (v) this.setAttribute('disabled', ''); else this.removeAttribute('disabled'); });
define(Element.prototype, 'children', function () { return this.childNodes.filter(function (n) { return n.nodeType === 1; }); });
define(Element.prototype, 'form', function () { for (var n = this.parentNode; n; n = n.parentNode) if (n.tagName === 'FORM') return n; return null; });
define(Element.prototype, 'elements', function () {
    var out = [];
    walk(this, function (n) { if (n.tagName === 'INPUT' || n.tagName === 'SELECT' || n.tagName === 'TEXTAREA' || n.tagName === 'BUTTON') out.push(n); });
    return out;
});
define(Element.prototype, 'innerHTML', function () { return this.childNodes.map(serialize).join(''); }, function (html) {
    var tree = native.parseFragment(str(html));
    if (typeof tree !== 'string') throw new Error('innerHTML: the markup was refused');
    while (this.childNodes.length) detach(this.childNodes[0]);
    var nodes = JSON.parse(tree);
    for (var i = 0; i < nodes.length; i++) if (nodes[i] !== null) insert(this, build(nodes[i]), null);
});
function escapeText(s) { return s.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;'); }
function serialize(n) {
    if (n.nodeType === 3) return escapeText(n.data);
    var tag = n.localName, out = '<' + tag;
    for (var i = 0; i < n._order.length; i++) out += ' ' + n._order[i] + '="' + escapeText(n._attrs[n._order[i]]).replace(/"/g, '&quot;') + '"';
    out += '>';
    if (VOID[tag]) return out;
    return out + n.childNodes.map(serialize).join('') + '</' + tag + '>';
}
Element.prototype.getElementsByTagName = Document.prototype.getElementsByTagName = function (tag) {
    tag = str(tag).toUpperCase();
    var out = [], root = this;
    walk(this, function (n) { if (n !== root && n.nodeType === 1 && (tag === '*' || n.tagName === tag)) out.push(n); });
    return out;
};
Element.prototype.getElementsByClassName = Document.prototype.getElementsByClassName = function (cls) {
    var out = [], root = this;
    walk(this, function (n) { if (n !== root && n.nodeType === 1 && (' ' + n.className + ' ').indexOf(' ' + cls + ' ') >= 0) out.push(n); });
    return out;
};
function matches(n, sel) {
    var m = /^([a-zA-Z0-9]*)(?:#([\w-]+))?(?:\.([\w-]+))?$/.exec(sel);
    if (!m || n.nodeType !== 1) return false;
    return (!m[1] || n.tagName === m[1].toUpperCase()) && (!m[2] || n.id === m[2]) && (!m[3] || (' ' + n.className + ' ').indexOf(' ' + m[3] + ' ') >= 0);
}
Element.prototype.querySelectorAll = Document.prototype.querySelectorAll = function (sel) {
    var out = [], root = this;
    sel = str(sel).trim();
    walk(this, function (n) { if (n !== root && matches(n, sel)) out.push(n); });
    return out;
};
Element.prototype.querySelector = Document.prototype.querySelector = function (sel) { return this.querySelectorAll(sel)[0] || null; };
Element.prototype.click = function () { activate(this); };
Element.prototype.focus = Element.prototype.blur = function () {};
Element.prototype.submit = function () { if (this.tagName === 'FORM') sendForm(this, null); };

// Default actions.
function activate(el) {
    var e = fire(el, 'click', true);
    if (e.defaultPrevented) return;
    for (var n = el; n; n = n.parentNode) {
        if (n.tagName === 'A' && n.hasAttribute('href')) { native.navigate(n.getAttribute('href'), 'link'); return; }
        if ((n.tagName === 'BUTTON' || n.tagName === 'INPUT') && n.type === 'submit') {
            var form = n.form;
            if (form && !fire(form, 'submit', true).defaultPrevented) sendForm(form, n);
            return;
        }
    }
}
function sendForm(form, submitter) {
    var pairs = [];
    var els = form.elements;
    for (var i = 0; i < els.length; i++) {
        var el = els[i], name = el.name, type = el.type;
        if (!name || el.disabled) continue;
        if (el.tagName === 'BUTTON' || type === 'submit' || type === 'image') { if (el === submitter) pairs.push([name, el.value]); continue; }
        if (type === 'button' || type === 'reset' || type === 'file') continue;
        if ((type === 'checkbox' || type === 'radio') && !el.checked) continue;
        pairs.push([name, el.value]);
    }
    native.submit(form.method, form.getAttribute('action') || '', pairs);
}

// The document.
function find(pred) { var found = null; walk(document, function (n) { if (pred(n)) { found = n; return false; } }); return found; }
function child(parent, tag) { if (!parent) return null; for (var i = 0; i < parent.childNodes.length; i++) if (parent.childNodes[i].tagName === tag) return parent.childNodes[i]; return null; }
define(Document.prototype, 'documentElement', function () { return child(this, 'HTML'); });
define(Document.prototype, 'head', function () { return child(this.documentElement, 'HEAD'); });
define(Document.prototype, 'body', function () { return child(this.documentElement, 'BODY'); });
define(Document.prototype, 'title', function () {
    var t = find(function (n) { return n.tagName === 'TITLE'; });
    return t ? t.textContent.replace(/\s+/g, ' ').trim() : '';
}, function (v) {
    var t = find(function (n) { return n.tagName === 'TITLE'; });
    if (!t) { t = new Element('title'); var head = this.head || this.documentElement; if (!head) return; insert(head, t, null); }
    t.textContent = v;
});
define(Document.prototype, 'URL', function () { return native.documentUrl(); });
define(Document.prototype, 'forms', function () { return this.getElementsByTagName('form'); });
define(Document.prototype, 'links', function () { return this.getElementsByTagName('a').filter(function (a) { return a.hasAttribute('href'); }); });
define(Document.prototype, 'cookie', function () { return ''; }, function () {});
Document.prototype.createElement = function (tag) {
    tag = str(tag).toLowerCase();
    if (!/^[a-z][a-z0-9-]*$/.test(tag)) throw new Error('InvalidCharacterError: ' + tag);
    return new Element(tag);
};
Document.prototype.createTextNode = function (data) { return new Text(data); };
Document.prototype.getElementById = function (id) { id = str(id); return find(function (n) { return n.nodeType === 1 && n._attrs.id === id; }); };
Document.prototype.getElementsByName = function (name) { name = str(name); var out = []; walk(this, function (n) { if (n.nodeType === 1 && n._attrs.name === name) out.push(n); }); return out; };

// The parsed document's nodes are made when a script first reaches them: an element of the
// tree reads its children, attributes and style on first use, then keeps them as its own.
var tree = null;
var treeElement = Object.create(Element.prototype), treeText = Object.create(Text.prototype);
function own(node, name, value) {
    Object.defineProperty(node, name, { value: value, writable: true, enumerable: true, configurable: true });
    return value;
}
function lazy(proto, name, make) {
    Object.defineProperty(proto, name, { get: function () { return own(this, name, make(this)); },
        set: function (v) { own(this, name, v); }, configurable: true, enumerable: true });
}
function readAttributes(n) { var a = tree.attributes(n); own(n, '_attrs', a[0]); own(n, '_order', a[1]); return a; }
lazy(treeElement, 'childNodes', function (n) { return tree.children(n); });
lazy(treeElement, '_attrs', function (n) { return readAttributes(n)[0]; });
lazy(treeElement, '_order', function (n) { return readAttributes(n)[1]; });
lazy(treeElement, 'style', function () { return {}; });
lazy(treeText, 'childNodes', function () { return []; });

function build(t) {
    if (typeof t === 'string') return new Text(t);
    var el = new Element(t[0]);
    for (var k in t[1]) if (t[1].hasOwnProperty(k)) { el._attrs[k] = t[1][k]; el._order.push(k); }
    for (var i = 0; i < t[2].length; i++) if (t[2][i] !== null) { var c = build(t[2][i]); el.childNodes.push(c); c.parentNode = el; }
    return el;
}

// The window.
var locationObject = {};
function parts() { return /^([a-zA-Z][a-zA-Z0-9+.-]*:)?(?:\/\/([^\/?#]*))?([^?#]*)(\?[^#]*)?(#.*)?$/.exec(native.documentUrl()) || []; }
define(locationObject, 'href', function () { return native.documentUrl(); }, function (v) { native.navigate(str(v), 'other'); });
define(locationObject, 'protocol', function () { return parts()[1] || ''; });
define(locationObject, 'host', function () { return parts()[2] || ''; });
define(locationObject, 'hostname', function () { return (parts()[2] || '').replace(/:\d+$/, ''); });
define(locationObject, 'pathname', function () { return parts()[3] || ''; });
define(locationObject, 'search', function () { return parts()[4] || ''; });
define(locationObject, 'hash', function () { return parts()[5] || ''; });
locationObject.assign = locationObject.replace = function (v) { native.navigate(str(v), 'other'); };
locationObject.reload = function () { native.navigate(native.documentUrl(), 'reload'); };
locationObject.toString = function () { return native.documentUrl(); };

// Timers set from timers nest; past five levels a delay is at least 4 ms, so that a timer
// re-arming itself at zero delay cannot keep the loop busy.
function addTimer(fn, ms, repeats, args) {
    var id = ++timerSeq, level = timerNesting + 1;
    ms = Number(ms) || 0;
    if (ms < 0) ms = 0;
    if (level > 5 && ms < 4) ms = 4;
    timers[id] = { fn: fn, args: args, repeats: repeats, level: level };
    if (!native.setTimer(id, ms, repeats)) delete timers[id];
    return id;
}
global.window = global; global.self = global; global.top = global; global.parent = global;
global.document = document;
Object.defineProperty(global, 'location', { get: function () { return locationObject; }, set: function (v) { native.navigate(str(v), 'other'); }, configurable: false });
global.navigator = { userAgent: 'Mozilla/5.0 (Linux) Quorvane/1.0', language: 'zh-CN', platform: 'Linux' };
global.console = { log: function () { native.log(Array.prototype.map.call(arguments, str).join(' ')); } };
global.console.info = global.console.warn = global.console.error = global.console.debug = global.console.log;
global.alert = function (text) { native.alert(str(text)); };
global.setTimeout = function (fn, ms) { return addTimer(fn, ms, false, Array.prototype.slice.call(arguments, 2)); };
global.setInterval = function (fn, ms) { return addTimer(fn, ms, true, Array.prototype.slice.call(arguments, 2)); };
global.clearTimeout = global.clearInterval = function (id) { if (timers[id]) { delete timers[id]; native.clearTimer(id); } };
global.addEventListener = function (type, fn) { Node.prototype.addEventListener.call(global, type, fn); };
global.removeEventListener = function (type, fn) { Node.prototype.removeEventListener.call(global, type, fn); };
global.Node = Node; global.Element = Element; global.HTMLElement = Element; global.Text = Text; global.Document = Document;

// What a person reads: one line per block of text, link, control or button.
function visible(n) {
    if (n.nodeType !== 1) return true;
    if (UNSEEN[n.localName] || n.hasAttribute('hidden') || n.style.display === 'none' || n.style.visibility === 'hidden') return false;
    if (/display\s*:\s*none/i.test(n.getAttribute('style') || '')) return false;
    return !(n.tagName === 'INPUT' && n.type === 'hidden');
}
function quote(s) { return '"' + s.replace(/\\/g, '\\\\').replace(/"/g, '\\"') + '"'; }
function readLines() {
    var lines = [], text = '';
    function flush() { var t = text.replace(/\s+/g, ' ').trim(); if (t) lines.push('text ' + quote(t)); text = ''; }
    function visit(n, depth) {
        if (depth > 200 || !visible(n)) return;
        if (n.nodeType === 3) { text += n.data; return; }
        var tag = n.localName;
        if (tag === 'a' && n.hasAttribute('href')) { flush(); lines.push('link ' + quote(n.textContent.replace(/\s+/g, ' ').trim())); return; }
        if (tag === 'input' || tag === 'textarea' || tag === 'select' || tag === 'button') {
            flush();
            var label = n.name || n.id || n.placeholder;
            if (tag === 'button' || n.type === 'submit' || n.type === 'button') lines.push('button ' + quote(tag === 'button' ? n.textContent.replace(/\s+/g, ' ').trim() : n.value || 'Submit'));
            else if (n.type === 'checkbox' || n.type === 'radio') lines.push(n.type + ' ' + quote(label) + (n.checked ? ' checked' : ''));
            else lines.push('field ' + quote(label) + ' value=' + quote(n.type === 'password' ? n.value.replace(/./g, '*') : n.value));
            return;
        }
        if (BLOCK[tag]) flush();
        for (var i = 0; i < n.childNodes.length; i++) visit(n.childNodes[i], depth + 1);
        if (BLOCK[tag]) flush();
    }
    if (document.body) visit(document.body, 0);
    flush();
    return lines;
}
function norm(s) { return str(s).replace(/\s+/g, ' ').trim(); }
function findVisible(pred) {
    var found = null;
    (function visit(n, depth) {
        if (found || depth > 200 || !visible(n)) return;
        if (n.nodeType === 1 && pred(n)) { found = n; return; }
        for (var i = 0; i < n.childNodes.length; i++) visit(n.childNodes[i], depth + 1);
    })(document.body || document, 0);
    return found;
}
function isField(n) { return (n.tagName === 'INPUT' && n.type !== 'submit' && n.type !== 'button' && n.type !== 'hidden') || n.tagName === 'TEXTAREA' || n.tagName === 'SELECT'; }

return {
    adopt: function (handle) {
        tree = handle;
        tree.elementPrototype = treeElement;
        tree.textPrototype = treeText;
        var root = tree.root();
        document.childNodes.push(root);
        root.parentNode = document;
    },
    title: function () { return document.title; },
    lines: readLines,
    loaded: function () {
        document.readyState = 'complete';
        fire(global, 'load', false);
        var body = document.body;
        if (body && body._attrs.hasOwnProperty('onload')) { var h = handlerOf(body, 'load'); if (h) h.call(global, { type: 'load' }); }
    },
    frameLoaded: function (id) {
        var el = frames[id];
        delete frames[id];
        if (el) fire(el, 'load', false);
    },
    timer: function (id) {
        var t = timers[id];
        if (!t) return;
        if (!t.repeats) delete timers[id];
        var outer = timerNesting;
        timerNesting = t.level;
        try {
            if (typeof t.fn === 'function') t.fn.apply(global, t.args); else (0, eval)(str(t.fn));
        } finally {
            timerNesting = outer;
        }
    },
    tapLink: function (text) {
        var a = findVisible(function (n) { return n.tagName === 'A' && n.hasAttribute('href') && norm(n.textContent) === text; });
        if (!a) return false;
        activate(a); return true;
    },
    fill: function (field, value) {
        var el = findVisible(function (n) { return isField(n) && (n.name === field || n.id === field || n.placeholder === field); });
        if (!el) return false;
        if (el.type === 'checkbox' || el.type === 'radio') el.checked = value !== '' && value !== 'false' && value !== '0';
        else el.value = value;
        fire(el, 'input', true); fire(el, 'change', true);
        return true;
    },
    press: function (control) {
        var b = findVisible(function (n) {
            if (n.tagName === 'BUTTON') return norm(n.textContent) === control || n.name === control || n.id === control;
            return n.tagName === 'INPUT' && (n.type === 'submit' || n.type === 'button') && (n.value === control || n.name === control || n.id === control);
        });
        if (!b) return false;
        activate(b); return true;
    }
};
}))JS";
}

}
