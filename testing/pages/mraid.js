// A small MRAID script for tests, standing in for the one the ad network hosts: the
// bridge functions an ad calls become tolm:// messages, and what the SDK tells the page
// through QYRA_ReceiveMessage is kept in mraid.log as short lines ("state:resized",
// "size:300x250", "visible:1", "error:resize:<message>", or the bare event name), for
// tests to read.
var mraid = (function () {
  var state = 'loading';
  var size = null;
  var customClose = false;
  var resizeProperties = {};
  var log = [];

  function send(name, parameters) {
    var query = [];
    for (var key in parameters) {
      query.push(encodeURIComponent(key) + '=' + encodeURIComponent(String(parameters[key])));
    }
    location.href = 'tolm://mraid/' + name + (query.length ? '?' + query.join('&') : '');
  }

  function withAction(action, properties) {
    var parameters = { a: action };
    for (var key in properties) parameters[key] = properties[key];
    return parameters;
  }

  function receive(name, payload) {
    payload = payload || {};
    if (name === 'onStateChanged') {
      state = payload.state;
      log.push('state:' + state);
    } else if (name === 'onSizeChanged') {
      size = payload.width + 'x' + payload.height;
      log.push('size:' + size);
    } else if (name === 'onAdVisibilityChanged') {
      log.push('visible:' + payload.visible);
    } else if (name === 'onError') {
      log.push('error:' + payload.action + ':' + payload.message);
    } else {
      log.push(name);
    }
  }

  window.addEventListener('load', function () {
    state = 'default';
    send('mraidLoaded', {});
  });

  return {
    log: log,
    receive: receive,
    getState: function () { return state; },
    getSize: function () { return size; },
    useCustomClose: function (value) { customClose = !!value; },
    setResizeProperties: function (properties) { resizeProperties = properties; },
    resize: function () { send('mraid', withAction('resize', resizeProperties)); },
    expand: function (url) {
      var parameters = { a: url ? 'webapp' : 'expand', custom_close: customClose ? '1' : '0' };
      if (url) parameters.u = url;
      send('open', parameters);
    },
    setOrientationProperties: function (properties) {
      send('mraid', withAction('setOrientationProperties', properties));
    },
    open: function (url) { send('open', { a: 'app', u: url }); },
    storePicture: function (url) { send('mraid', { a: 'storePicture', uri: url }); },
    createCalendarEvent: function (event) { send('mraid', withAction('createCalendarEvent', event)); }
  };
})();

function QYRA_ReceiveMessage(name, payload) {
  mraid.receive(name, payload);
}
