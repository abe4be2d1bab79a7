// The script that sets up each heap of the content process: the wire format of values,
// the timers, and (for pages) the small page environment. It runs once per heap, before
// any page or SDK script, and keeps its own references to the built-ins it needs, so a
// page that replaces JSON or Object later cannot change how replies are made.
#include "platform/web/content/Bootstrap.h"

namespace platform::content {

const char* const kBootstrapSource = R"JS(
(function (io, mode) {
  var global = new Function('return this')();
  var geval = eval;
  var stringify = JSON.stringify, parse = JSON.parse;
  var keys = Object.keys, isArray = Array.isArray, defineProperty = Object.defineProperty;
  var RealDate = Date, Str = String, Num = Number, isFiniteNum = isFinite;
  var HANDLE = '__morvaneHandle__';
  // One round trip's events are capped in count and in the length of their JSON; the
  // host ends a process whose reply passes ContentProcess::kMaxReplyBytes. Console and
  // alert text is cut to what the host keeps of one message (WebPage::kMaxMessageBytes).
  // A navigation to a URL longer than WebPage::kMaxNavigationURLBytes is dropped here,
  // so the host never reads it.
  var MAX_EVENTS = 10000, MAX_EVENT_BYTES = 6 * 1024 * 1024, MAX_MESSAGE = 16 * 1024, MAX_DEPTH = 64;
  var MAX_URL = 256 * 1024;

  var events = [];
  var eventBytes = 0;
  var dropped = 0;
  function emit(ev) {
    var size = stringify(ev).length;
    if (events.length >= MAX_EVENTS || size > MAX_EVENT_BYTES - eventBytes) { dropped++; return; }
    eventBytes += size;
    events[events.length] = ev;
  }
  function clip(message) {
    return message.length > MAX_MESSAGE ? message.substring(0, MAX_MESSAGE) : message;
  }
  function text(v) {
    try { return Str(v); } catch (e) { return ''; }
  }
  function describe(e) {
    if (e !== null && typeof e === 'object') {
      var name = '', message = '';
      try { name = Str(e.name); message = Str(e.message); } catch (x) { return text(e); }
      return name + ': ' + message;
    }
    return text(e);
  }

  // Values cross the pipe as JSON; functions stay here and travel as handles.
  var handles = {}, nextHandle = 1;
  function toWire(v, allowHandles, depth, seen) {
    if (depth > MAX_DEPTH) throw new TypeError('value too deep');
    var t = typeof v;
    if (v === null || t === 'boolean' || t === 'string') return v;
    if (t === 'number') return isFiniteNum(v) ? v : null;
    if (t === 'undefined') return undefined;
    if (t === 'function') {
      if (!allowHandles) throw new TypeError('unsupported result type');
      var id = nextHandle++;
      handles[id] = v;
      var h = {};
      h[HANDLE] = id;
      return h;
    }
    if (t !== 'object') throw new TypeError('unsupported result type');
    for (var s = 0; s < seen.length; s++) {
      if (seen[s] === v) throw new TypeError('cyclic value');
    }
    seen[seen.length] = v;
    var out, i;
    if (isArray(v)) {
      out = [];
      for (i = 0; i < v.length; i++) {
        var e = toWire(v[i], allowHandles, depth + 1, seen);
        out[i] = e === undefined ? null : e;
      }
    } else {
      out = {};
      var ks = keys(v);
      for (i = 0; i < ks.length; i++) {
        var w = toWire(v[ks[i]], allowHandles, depth + 1, seen);
        if (w !== undefined) out[ks[i]] = w;
      }
    }
    seen.length = seen.length - 1;
    return out;
  }
  function fromWire(v, depth) {
    if (depth > MAX_DEPTH || v === null || typeof v !== 'object') return v;
    var i;
    if (isArray(v)) {
      for (i = 0; i < v.length; i++) v[i] = fromWire(v[i], depth + 1);
      return v;
    }
    var ks = keys(v);
    if (ks.length === 1 && ks[0] === HANDLE) return handles[v[HANDLE]];
    for (i = 0; i < ks.length; i++) v[ks[i]] = fromWire(v[ks[i]], depth + 1);
    return v;
  }

  // Time: the host's clock, so that virtual time in tests is what the page sees.
  var nowMs = 0;
  function HostDate(a, b, c, d, e, f, g) {
    if (!(this instanceof HostDate)) return new RealDate(nowMs).toString();
    switch (arguments.length) {
      case 0: return new RealDate(nowMs);
      case 1: return new RealDate(a);
      case 2: return new RealDate(a, b);
      case 3: return new RealDate(a, b, c);
      case 4: return new RealDate(a, b, c, d);
      case 5: return new RealDate(a, b, c, d, e);
      case 6: return new RealDate(a, b, c, d, e, f);
      default: return new RealDate(a, b, c, d, e, f, g);
    }
  }
  HostDate.prototype = RealDate.prototype;
  HostDate.now = function () { return nowMs; };
  HostDate.parse = RealDate.parse;
  HostDate.UTC = RealDate.UTC;
  defineProperty(global, 'Date', { value: HostDate, writable: true, configurable: true });

  // Timers live on the host's run loop; here we keep only the callbacks.
  var timers = {}, nextTimer = 1;
  function delayOf(ms) {
    var d = Num(ms);
    if (!(d > 0)) return 0;
    return d > 2147483647 ? 2147483647 : d;
  }
  function addTimer(fn, ms, args, repeats) {
    if (typeof fn !== 'function') {
      var code = text(fn);
      fn = function () { geval(code); };
    }
    var id = nextTimer++;
    var delay = delayOf(ms);
    timers[id] = { fn: fn, args: args, repeats: repeats };
    emit({ type: 'setTimer', timer: id, delay: delay, repeats: repeats });
    return id;
  }
  function removeTimer(id) {
    var key = Num(id);
    if (timers.hasOwnProperty(key)) {
      delete timers[key];
      emit({ type: 'clearTimer', timer: key });
    }
  }
  function restArgs(list, from) {
    var out = [];
    for (var i = from; i < list.length; i++) out[out.length] = list[i];
    return out;
  }
  function fireTimer(id) {
    var t = timers[id];
    if (!t) return;
    if (!t.repeats) delete timers[id];
    try { t.fn.apply(global, t.args); } catch (e) { emit({ type: 'console', level: 'error', message: 'Uncaught ' + describe(e) }); }
  }
  var page = null;
  if (mode === 'page') {
    global.setTimeout = function (fn, ms) { return addTimer(fn, ms, restArgs(arguments, 2), false); };
    global.setInterval = function (fn, ms) { return addTimer(fn, ms, restArgs(arguments, 2), true); };
    global.clearTimeout = function (id) { removeTimer(id); };
    global.clearInterval = function (id) { removeTimer(id); };
    page = makePage();
  }

  function makePage() {
    var state = { url: 'about:blank', readyState: 'loading', bodyText: '', title: '' };
    var style = {};
    var last = { bodyText: '', background: '', width: '', height: '' };
    var listeners = { window: {}, document: {} };
    var elements = {};
    var frameList = [];

    function navigate(url, mainFrame, kind, frame) {
      var target = text(url);
      if (target.length > MAX_URL) { dropped++; return; }
      emit({ type: 'navigation', url: target, mainFrame: mainFrame, navigationType: kind, frame: frame || '' });
    }
    function setReadyState(s) {
      if (state.readyState === s) return;
      state.readyState = s;
      emit({ type: 'readyState', state: s });
    }
    function listen(target) {
      return {
        add: function (type, fn) {
          if (typeof fn !== 'function') return;
          var key = text(type), list = listeners[target][key] || (listeners[target][key] = []);
          list[list.length] = fn;
        },
        remove: function (type, fn) {
          var list = listeners[target][text(type)];
          if (!list) return;
          for (var i = 0; i < list.length; i++) if (list[i] === fn) { list.splice(i, 1); return; }
        }
      };
    }
    function dispatch(target, event, self) {
      var list = listeners[target][event.type];
      var handler = target === 'window' ? global['on' + event.type] : document['on' + event.type];
      var calls = list ? list.slice(0) : [];
      if (typeof handler === 'function') calls.unshift(handler);
      for (var i = 0; i < calls.length; i++) {
        try { calls[i].call(self, event); } catch (e) { emit({ type: 'console', level: 'error', message: 'Uncaught ' + describe(e) }); }
      }
      return true;
    }
    function makeEvent(type) { return { type: text(type), bubbles: false, cancelable: false, initEvent: initEvent }; }
    function initEvent(type, bubbles, cancelable) { this.type = text(type); this.bubbles = !!bubbles; this.cancelable = !!cancelable; }

    var location = {};
    defineProperty(location, 'href', { get: function () { return state.url; }, set: function (v) { navigate(v, true, 'other', ''); }, enumerable: true });
    location.assign = function (v) { navigate(v, true, 'other', ''); };
    location.replace = function (v) { navigate(v, true, 'other', ''); };
    location.reload = function () { navigate(state.url, true, 'reload', ''); };
    location.toString = function () { return state.url; };

    var bodyListeners = listen('document');
    var body = {};
    defineProperty(body, 'innerText', { get: function () { return state.bodyText; }, set: function (v) { state.bodyText = text(v); }, enumerable: true });
    defineProperty(body, 'textContent', { get: function () { return state.bodyText; }, set: function (v) { state.bodyText = text(v); }, enumerable: true });
    defineProperty(body, 'style', { value: style, enumerable: true });

    var winListeners = listen('window');
    var document = {
      getElementById: function (id) { var key = text(id); return elements.hasOwnProperty(key) ? elements[key] : null; },
      createEvent: function () { return makeEvent(''); },
      addEventListener: bodyListeners.add,
      removeEventListener: bodyListeners.remove,
      dispatchEvent: function (event) { return dispatch('document', event, document); }
    };
    defineProperty(document, 'readyState', { get: function () { return state.readyState; }, enumerable: true });
    defineProperty(document, 'URL', { get: function () { return state.url; }, enumerable: true });
    defineProperty(document, 'body', { value: body, enumerable: true });
    defineProperty(document, 'location', { get: function () { return location; }, set: function (v) { navigate(v, true, 'other', ''); }, enumerable: true });
    defineProperty(document, 'title', { get: function () { return state.title; }, set: function (v) { state.title = text(v); }, enumerable: true });

    function makeFrame(name) {
      var frameLocation = {};
      var frameURL = 'about:blank';
      defineProperty(frameLocation, 'href', { get: function () { return frameURL; }, set: function (v) { navigate(v, false, 'other', name); }, enumerable: true });
      frameLocation.assign = function (v) { navigate(v, false, 'other', name); };
      frameLocation.replace = function (v) { navigate(v, false, 'other', name); };
      var win = { name: name };
      defineProperty(win, 'location', { get: function () { return frameLocation; }, set: function (v) { navigate(v, false, 'other', name); }, enumerable: true });
      win.setURL = function (u) { frameURL = u; };
      return win;
    }

    var frames = [];
    defineProperty(global, 'window', { value: global, enumerable: true });
    defineProperty(global, 'self', { value: global, enumerable: true });
    defineProperty(global, 'top', { value: global, enumerable: true });
    defineProperty(global, 'parent', { value: global, enumerable: true });
    defineProperty(global, 'frames', { value: frames, enumerable: true });
    defineProperty(global, 'document', { value: document, enumerable: true });
    defineProperty(global, 'location', { get: function () { return location; }, set: function (v) { navigate(v, true, 'other', ''); }, enumerable: true });
    global.navigator = { userAgent: io.userAgent, language: 'en-US', platform: 'Morvane' };
    global.addEventListener = winListeners.add;
    global.removeEventListener = winListeners.remove;
    global.dispatchEvent = function (event) { return dispatch('window', event, global); };
    global.alert = function (message) { emit({ type: 'alert', message: arguments.length ? clip(text(message)) : '' }); };
    global.open = function (url) { emit({ type: 'openWindow', url: text(url), navigationType: 'other' }); return null; };
    function log(level) {
      return function () {
        var parts = [];
        for (var i = 0; i < arguments.length; i++) parts[parts.length] = text(arguments[i]);
        emit({ type: 'console', level: level, message: clip(parts.join(' ')) });
      };
    }
    global.console = { log: log('log'), info: log('info'), warn: log('warn'), error: log('error'), debug: log('debug') };

    function camel(name) {
      return name.replace(/-([a-z])/g, function (m, c) { return c.toUpperCase(); });
    }
    function px(v) {
      if (v === undefined || v === null || v === '') return null;
      var n = parseFloat(text(v));
      return isFiniteNum(n) && n >= 0 ? n : null;
    }

    function load(req) {
      state.url = text(req.documentURL || 'about:blank');
      state.title = text(req.title || '');
      state.bodyText = text(req.bodyText || '');
      var decl = text(req.bodyStyle || '').split(';');
      for (var i = 0; i < decl.length; i++) {
        var colon = decl[i].indexOf(':');
        if (colon <= 0) continue;
        var prop = decl[i].slice(0, colon).replace(/^\s+|\s+$/g, '').toLowerCase();
        if (prop) style[camel(prop)] = decl[i].slice(colon + 1).replace(/^\s+|\s+$/g, '');
      }
      var list = req.elements || [];
      for (var j = 0; j < list.length; j++) addElement(list[j]);
      setReadyState('loading');
      runScripts(req.scripts, 'start');
      runScripts(req.scripts, 'page');
      setReadyState('interactive');
      runScripts(req.scripts, 'end');
      dispatch('document', makeEvent('DOMContentLoaded'), document);
      setReadyState('complete');
      dispatch('window', makeEvent('load'), global);
    }
    function addElement(el) {
      if (!el || typeof el !== 'object') return;
      var tag = text(el.tag).toLowerCase(), id = text(el.id || ''), node;
      if (tag === 'iframe') {
        var name = text(el.name || el.id || ('frame' + frames.length));
        var win = makeFrame(name);
        win.setURL(text(el.src || 'about:blank'));
        frames[frames.length] = win;
        if (name) frames[name] = win;
        node = { tagName: 'IFRAME', id: id, name: name, contentWindow: win };
        defineProperty(node, 'src', { get: function () { return win.location.href; }, set: function (v) { navigate(v, false, 'other', name); }, enumerable: true });
      } else if (tag === 'a') {
        var href = text(el.href || ''), target = text(el.target || '');
        node = { tagName: 'A', id: id, href: href, target: target, click: function () {
          if (this.target === '_blank') emit({ type: 'openWindow', url: text(this.href), navigationType: 'linkClicked' });
          else navigate(this.href, true, 'linkClicked', '');
        } };
      } else if (tag === 'form') {
        node = { tagName: 'FORM', id: id, action: text(el.action || ''), submit: function () { navigate(this.action || state.url, true, 'formSubmitted', ''); } };
      } else {
        return;
      }
      if (id && !elements.hasOwnProperty(id)) elements[id] = node;
    }
    function runScripts(list, phase) {
      if (!isArray(list)) return;
      for (var i = 0; i < list.length; i++) {
        var s = list[i];
        if (!s || s.phase !== phase) continue;
        try { geval(text(s.text)); } catch (e) {
          emit({ type: 'console', level: 'error', message: 'Uncaught ' + describe(e) + (s.url ? ' (' + text(s.url) + ')' : '') });
        }
      }
    }
    // Reports what changed in the page's look since the last request.
    function report() {
      var bg = style.backgroundColor === undefined ? (style.background === undefined ? '' : text(style.background)) : text(style.backgroundColor);
      var w = px(style.width), h = px(style.height);
      var ws = w === null ? '' : Str(w), hs = h === null ? '' : Str(h);
      if (state.bodyText !== last.bodyText) { last.bodyText = state.bodyText; emit({ type: 'bodyText', text: state.bodyText }); }
      if (bg !== last.background) { last.background = bg; emit({ type: 'backgroundColor', color: bg }); }
      if (ws !== last.width || hs !== last.height) {
        last.width = ws; last.height = hs;
        emit({ type: 'contentSize', width: w, height: h });
      }
    }
    return { load: load, report: report };
  }

  function errorOf(e) {
    if (e !== null && typeof e === 'object') {
      var name = 'Error', message = '';
      try { name = text(e.name); message = text(e.message); } catch (x) { message = text(e); }
      return { name: name, message: message };
    }
    return { name: 'Error', message: text(e) };
  }

  function setResult(reply, value, allowHandles) {
    try {
      var w = toWire(value, allowHandles, 0, []);
      if (w !== undefined) reply.result = w;
    } catch (e) {
      reply.unsupported = true;
    }
    reply.text = (value === undefined || value === null) ? '' : text(value);
  }

  function installNative(name) {
    global[name] = function () {
      var args = [];
      for (var i = 0; i < arguments.length; i++) {
        var w = toWire(arguments[i], true, 0, []);
        args[i] = w === undefined ? null : w;
      }
      var answer = parse(io.nativeCall(name, stringify(args)));
      if (answer.error !== undefined) throw new Error(text(answer.error));
      return fromWire(answer.result, 0);
    };
  }

  return function (line) {
    var req = parse(line);
    var reply = { id: req.id };
    var outer = events, outerDropped = dropped, outerBytes = eventBytes;
    events = [];
    dropped = 0;
    eventBytes = 0;
    if (typeof req.now === 'number') nowMs = req.now;
    if (isArray(req.release)) {
      for (var r = 0; r < req.release.length; r++) delete handles[req.release[r]];
    }
    var handlesAllowed = mode !== 'page';
    try {
      switch (req.op) {
        case 'load':
          if (page) page.load(req);
          break;
        case 'context':
          break;
        case 'evaluate':
          setResult(reply, geval(text(req.script)), handlesAllowed);
          break;
        case 'fireTimer':
          fireTimer(Num(req.timer));
          break;
        case 'installNative':
          installNative(text(req.name));
          break;
        case 'get':
          setResult(reply, global[text(req.name)], true);
          break;
        case 'call':
          var fn = handles[req.handle];
          if (typeof fn !== 'function') throw new TypeError('not a function');
          var args = fromWire(isArray(req.args) ? req.args : [], 0);
          setResult(reply, fn.apply(undefined, args), true);
          break;
        default:
          throw new TypeError('unknown request');
      }
    } catch (e) {
      reply.error = errorOf(e);
    }
    if (page) {
      try { page.report(); } catch (e2) {}
    }
    reply.events = events;
    if (dropped) reply.droppedEvents = dropped;
    events = outer;
    dropped = outerDropped;
    eventBytes = outerBytes;
    return stringify(reply);
  };
})
)JS";

}  // namespace platform::content
