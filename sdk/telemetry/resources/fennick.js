// The Fennick channel's script. The SDK calls QYRA_FennickInit once with
// {netIOFn: the native network function} (script contexts only: a page has none) and
// QYRA_Fennick with each list of command maps. Commands are kept (the latest 1000, for
// reading back) and, where there is a network function and the server set
// QYRA_FennickUploadURL, uploaded in order in batches of at most 50 as
// {"commands": [...]}, one upload at a time; a failed batch goes back to the front.
var QYRA_FennickState = {
  netIOFn: null,
  received: [],
  pending: [],
  uploading: false,
  uploads: 0,
  failures: 0,
  lastFailure: null
};

function QYRA_FennickInit(options) {
  QYRA_FennickState.netIOFn = options && typeof options.netIOFn === 'function' ? options.netIOFn : null;
}

function QYRA_Fennick(commands) {
  var state = QYRA_FennickState;
  if (!commands || typeof commands.length !== 'number') return;
  for (var i = 0; i < commands.length; i++) {
    state.received.push(commands[i]);
    state.pending.push(commands[i]);
  }
  if (state.received.length > 1000) state.received.splice(0, state.received.length - 1000);
  if (state.pending.length > 1000) state.pending.splice(0, state.pending.length - 1000);
  QYRA_FennickFlush();
}

function QYRA_FennickFlush() {
  var state = QYRA_FennickState;
  if (!state.netIOFn || state.uploading || state.pending.length === 0) return;
  if (typeof QYRA_FennickUploadURL !== 'string') return;
  var batch = state.pending.splice(0, 50);
  state.uploading = true;
  state.netIOFn({
    url: QYRA_FennickUploadURL,
    request_type: 'POST',
    request_headers: {'Content-Type': 'application/json'},
    body_type: 'string',
    body: JSON.stringify({commands: batch})
  }, function () {
    state.uploading = false;
    state.uploads++;
    QYRA_FennickFlush();
  }, function (result) {
    state.uploading = false;
    state.failures++;
    state.lastFailure = result;
    state.pending = batch.concat(state.pending);
  });
}
