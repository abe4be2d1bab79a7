// In-page messages to the SDK: a navigation to tolm://<host>/<name>?<parameters>. Every
// value goes as a percent-encoded string (objects as JSON); absent values are left out.
function tolmSend(host, name, parameters) {
  var pairs = [];
  for (var key in parameters) {
    if (!parameters.hasOwnProperty(key)) continue;
    var value = parameters[key];
    if (value === undefined || value === null) continue;
    if (typeof value !== 'string') value = typeof value === 'object' ? JSON.stringify(value) : String(value);
    pairs.push(encodeURIComponent(key) + '=' + encodeURIComponent(value));
  }
  tolmPost('tolm://' + host + '/' + name + (pairs.length ? '?' + pairs.join('&') : ''));
}

// A web engine keeps only the last of the location changes one turn makes: the first
// message of a turn goes at once, the others each on a turn of its own, in order.
var tolmOutbox = [];
function tolmPost(url) {
  tolmOutbox.push(url);
  if (tolmOutbox.length === 1) tolmDeliver();
}
function tolmDeliver() {
  location.href = tolmOutbox[0];
  setTimeout(function () {
    tolmOutbox.shift();
    if (tolmOutbox.length) tolmDeliver();
  }, 0);
}
