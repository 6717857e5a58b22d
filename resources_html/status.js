/*
 * Words for what the host reports: the line under the progress bar from an
 * "uploadprogress" message, and the heading and one-line summary of an
 * error screen. No DOM here, so every wording can be checked without a
 * browser.
 *
 * Loaded as a classic script by the page (global QrvnStatus) and as a
 * CommonJS module by the tests.
 */
(function (root, factory) {
  'use strict';
  var api = factory();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.QrvnStatus = api;
})(this, function () {
  'use strict';

  var SERVICE = 'StrataVox Fabriqo';
  var DOT = ' \u00b7 ';

  var PHASES = {
    exporting: 'Exporting\u2026',
    creating: 'Creating the project\u2026',
    announcing: 'Preparing the upload\u2026',
    uploading: 'Starting the upload\u2026'
  };

  // The host sends byte counts as decimal text; anything else is malformed.
  function count(text) {
    return typeof text === 'string' && /^[0-9]{1,16}$/.test(text) ? Number(text) : -1;
  }

  var UNITS = [[1e9, 'GB'], [1e6, 'MB'], [1e3, 'kB']];

  function unitFor(bytes) {
    for (var i = 0; i < UNITS.length; i++) {
      if (bytes >= UNITS[i][0]) return UNITS[i];
    }
    return [1, 'bytes'];
  }

  // Rounded down, so nothing reads as done before it is; one decimal while
  // it says something (below 10), whole numbers above, unless `decimals`
  // asks for more.
  function scaled(bytes, unit, decimals) {
    if (unit[0] === 1) return String(bytes);
    var value = bytes / unit[0];
    var places = decimals !== undefined ? decimals : value < 10 ? 1 : 0;
    var factor = Math.pow(10, places);
    return (Math.floor(value * factor + 1e-9) / factor).toFixed(places);
  }

  // "120 of 286 MB"; more decimals while the two would read the same
  // although bytes are still missing.
  function amountText(sent, total) {
    var unit = unitFor(total);
    var a = scaled(sent, unit);
    var b = scaled(total, unit);
    for (var places = 1; a === b && sent < total && unit[0] > 1 && places <= 3; places++) {
      a = scaled(sent, unit, places);
      b = scaled(total, unit, places);
    }
    return a + ' of ' + b + ' ' + unit[1];
  }

  function rateText(rate) {
    var unit = unitFor(rate);
    if (unit[0] === 1) return rate + (rate === 1 ? ' byte/s' : ' bytes/s');
    return scaled(rate, unit, rate / unit[0] < 100 ? 1 : 0) + ' ' + unit[1] + '/s';
  }

  function durationText(seconds) {
    if (seconds < 60) return 'about ' + Math.max(1, Math.ceil(seconds)) + ' s left';
    var minutes = Math.ceil(seconds / 60);
    if (minutes < 60) return 'about ' + minutes + ' min left';
    if (minutes > 24 * 60) return 'more than a day left';
    var hours = Math.floor(minutes / 60);
    minutes -= hours * 60;
    return 'about ' + hours + ' h' + (minutes > 0 ? ' ' + minutes + ' min' : '') + ' left';
  }

  // {phase, known, percent, text}, or null when the message is malformed
  // (the page then keeps what it showed). `known` is false while the page
  // cannot tell how far along the upload is, and the bar then shows
  // activity only. An `aged` estimate has outlived its speed: the line
  // then says what the upload waits for instead of a speed and a time.
  function describeProgress(members, aged) {
    var phase = members.phase;
    var sent = count(members.sent);
    var total = count(members.total);
    var rate = count(members.rate);
    if (!Object.prototype.hasOwnProperty.call(PHASES, phase) || sent < 0 || total < 0 || rate < 0) return null;
    if (phase !== 'uploading' || total === 0) {
      return { phase: phase, known: false, percent: 0, text: PHASES[phase] };
    }
    sent = Math.min(sent, total);
    // Nearest whole percent, but never 100 before the last byte is sent.
    var percent = Math.round((sent * 100) / total);
    if (percent === 100 && sent < total) percent = 99;
    var parts = [percent + ' %', amountText(sent, total)];
    if (aged && sent < total) parts.push('waiting for ' + SERVICE + '\u2026');
    else if (rate > 0) {
      parts.push(rateText(rate));
      if (sent < total) parts.push(durationText((total - sent) / rate));
    }
    return { phase: phase, known: true, percent: percent, text: parts.join(DOT) };
  }

  var HEADINGS = {
    signin: 'Sign-in failed',
    projects: 'Could not load your projects',
    upload: 'Upload failed'
  };

  // What the user is told for each kind the host reports: [topic, summary].
  // The topic is what the user must learn (a problem of the service, of
  // the connection, on this computer, with the sign-in); "{status}" stands
  // for the HTTP status, which every answer's summary names.
  var KINDS = {
    server: ['server', SERVICE + ' had a problem ({status}). Try again in a moment.'],
    client: ['server', SERVICE + ' did not accept the request ({status}).'],
    answer: ['server', SERVICE + ' sent an answer the add-in could not use ({status}).'],
    toolarge: ['server', SERVICE + ' sent an answer larger than the add-in accepts.'],
    refused: ['signin', SERVICE + ' refused the request ({status}). Signing in again may help: use \u201cSign out from ' +
      SERVICE + '\u201d, then sign in.'],
    resolve: ['connection', 'Could not find ' + SERVICE + ' on the network. Check the internet connection and try again.'],
    connect: ['connection', 'Could not connect to ' + SERVICE + '. Check the internet connection and try again.'],
    certificate: ['connection', 'The connection to ' + SERVICE + ' could not be verified. A proxy or a wrong clock on ' +
      'this computer can cause this.'],
    timeout: ['connection', SERVICE + ' did not answer in time. Try again in a moment.'],
    stalled: ['connection', 'The connection stopped moving for too long. Check the internet connection and try again.'],
    nothttps: ['connection', 'The service address is not a secure (https) address, so nothing was sent.'],
    aborted: ['cancelled', 'The request was cancelled.'],
    file: ['computer', 'The file could not be prepared on this computer, so nothing was uploaded. The details say why.'],
    local: ['computer', 'Something on this computer stopped the request before it was sent. The details say what.']
  };

  // {heading, summary, details, topic} from the error screen's members:
  // "kind" and "status" settle the summary and `context` (what the page
  // was waiting for: "signin", "projects" or "upload") the heading. The
  // text in "errormessage" is never read for meaning, only kept as the
  // details; a host that sends no "kind" gets a summary that points there.
  function describeError(members, context) {
    var raw = typeof members.errormessage === 'string' ? members.errormessage.trim() : '';
    var status = /^[0-9]{3}$/.test(members.status || '') ? members.status : '';
    var known = Object.prototype.hasOwnProperty.call(KINDS, members.kind) ? KINDS[members.kind] : null;
    var heading = HEADINGS[context] || HEADINGS.upload;
    var topic;
    var summary;
    if (known) {
      topic = known[0];
      summary = known[1].replace('{status}', status === '' ? 'no status' : status);
    } else {
      topic = 'unknown';
      summary = raw === '' ? 'Something went wrong, and no reason was given.' : 'Something went wrong. The details show what was reported.';
    }
    // A sign-in the service turned down is worth repeating; the button
    // that does it says so.
    if (context === 'signin' && (topic === 'server' || topic === 'signin') && members.kind !== 'server') {
      topic = 'signin';
      summary = SERVICE + ' did not accept the sign-in' + (status === '' ? '.' : ' (' + status + ').') +
        ' Signing in again usually helps.';
    }
    return { heading: heading, summary: summary, details: raw, topic: topic };
  }

  return { describeProgress: describeProgress, describeError: describeError };
});
