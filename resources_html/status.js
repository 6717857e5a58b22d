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

  var PHASES = {
    exporting: 'Exporting\u2026',
    creating: 'Creating project\u2026',
    announcing: 'Preparing the upload\u2026',
    uploading: 'Uploading\u2026'
  };

  // The host sends byte counts as decimal text; anything else is unknown.
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

  // One decimal while it says something (below 10), whole numbers above.
  function scaled(bytes, unit) {
    var value = bytes / unit[0];
    if (unit[0] === 1) return String(Math.round(value));
    return value < 10 ? (Math.floor(value * 10) / 10).toFixed(1) : String(Math.floor(value));
  }

  function sizeText(bytes) {
    var unit = unitFor(bytes);
    return scaled(bytes, unit) + ' ' + unit[1];
  }

  function durationText(seconds) {
    if (seconds < 60) return 'about ' + Math.max(1, Math.ceil(seconds)) + ' s left';
    if (seconds < 3600) return 'about ' + Math.ceil(seconds / 60) + ' min left';
    var hours = Math.floor(seconds / 3600);
    return 'about ' + hours + ' h ' + Math.ceil((seconds - hours * 3600) / 60) + ' min left';
  }

  // {phase, known, percent, text}: `known` is false when the page cannot
  // tell how far along the upload is, and the bar then shows activity only.
  function describeProgress(members) {
    var phase = Object.prototype.hasOwnProperty.call(PHASES, members.phase) ? members.phase : '';
    var sent = count(members.sent);
    var total = count(members.total);
    var rate = count(members.rate);
    if (phase !== 'uploading' || total <= 0 || sent < 0) {
      return { phase: phase, known: false, percent: 0, text: PHASES[phase] || PHASES.uploading };
    }
    sent = Math.min(sent, total);
    // Nearest whole percent, but never 100 before the last byte is sent.
    var percent = Math.round((sent * 100) / total);
    if (percent === 100 && sent < total) percent = 99;
    var unit = unitFor(total);
    var parts = ['Uploading ' + percent + ' %', scaled(sent, unit) + ' of ' + scaled(total, unit) + ' ' + unit[1]];
    if (rate > 0) {
      var rateUnit = unitFor(rate);
      parts.push((rate / rateUnit[0] < 100 && rateUnit[0] > 1 ? (Math.floor((rate / rateUnit[0]) * 10) / 10).toFixed(1)
        : scaled(rate, rateUnit)) + ' ' + rateUnit[1] + '/s');
      if (sent < total) parts.push(durationText((total - sent) / rate));
    }
    return { phase: phase, known: true, percent: percent, text: parts.join(' \u00b7 ') };
  }

  var HEADINGS = {
    signin: 'Sign-in failed',
    projects: 'Could not load your projects',
    upload: 'Upload failed'
  };

  // A failed transfer carries libcurl's codes instead of an HTTP status:
  // 28 for a timeout and -1 (printed unsigned) when no connection was made.
  function statusSummary(code) {
    if (code === 4294967295) return 'Could not connect to StrataVox Fabriqo. Check the internet connection and try again.';
    if (code === 28) return 'StrataVox Fabriqo did not answer in time. Try again in a moment.';
    if (code === 401 || code === 403) return 'StrataVox Fabriqo refused the request (' + code + '). Signing in again may help.';
    if (code >= 500 && code < 600) return 'StrataVox Fabriqo had a problem (' + code + '). Try again in a moment.';
    return 'StrataVox Fabriqo answered with an unexpected status (' + code + ').';
  }

  function looksPlain(text) {
    return text.length <= 160 && !/[\r\n<>{}]/.test(text);
  }

  // The kind comes from what the page was waiting for; the error texts of
  // sign-in and of the project list settle it when the context cannot.
  function errorKind(text, context) {
    if (/^could not authenticate \(/.test(text)) return 'signin';
    if (/^could not retrieve projects \(/.test(text)) return 'projects';
    return HEADINGS[context] ? context : 'upload';
  }

  // {kind, heading, summary, details}: details is the raw text when the
  // summary does not already say all of it, else ''.
  function describeError(text, context) {
    var raw = typeof text === 'string' ? text.trim() : '';
    var kind = errorKind(raw, context);
    var status = /\((\d{1,10})\)$/.exec(raw);
    var summary;
    if (raw === '') summary = 'Something went wrong, and StrataVox Fabriqo gave no reason.';
    else if (status && raw.length <= 80) summary = statusSummary(Number(status[1]));
    else if (looksPlain(raw)) summary = raw.charAt(0).toUpperCase() + raw.slice(1);
    else summary = 'StrataVox Fabriqo sent an answer the add-in could not understand.';
    return { kind: kind, heading: HEADINGS[kind], summary: summary, details: summary.toLowerCase() === raw.toLowerCase() ? '' : raw };
  }

  return { describeProgress: describeProgress, describeError: describeError, sizeText: sizeText };
});
