/*
 * Message bridge between the palette page and the host.
 *
 * This comment is the one place that defines how the page and the host talk;
 * the simulated host's palette bridge implements the host side of it.
 *
 * Page -> host
 *   window.qrvnHost.sendToHost(action, dataJsonText)
 *     Provided by the host's web view before or after the page loads.
 *     `action` is a message name ("apploaded", "createproject", ...);
 *     `dataJsonText` is the text of one JSON object whose members are all
 *     strings (keys written in ascending order). The return value is ignored.
 *     When the host object is missing (page opened in a plain browser, or
 *     the web view injects it late), messages wait in an outbox and are
 *     delivered, in order, as soon as it appears: on the next send, on the
 *     next message from the host, or on an explicit flush().
 *
 * Host -> page
 *   window.qrvnPalette.receive(action, dataJsonText)
 *     Defined here. `dataJsonText` is the text of one JSON object whose
 *     first member is "eventID" followed by string members in ascending key
 *     order. Text that is not a JSON object is treated as an empty object,
 *     and members that are not strings are dropped, so a handler always sees
 *     a plain object of strings. Messages that arrive before the page has
 *     registered its handler are kept and handed over when it does.
 *
 * Page code uses only QrvnBridge.send(action, members) and
 * QrvnBridge.onMessage(handler); it never touches the two globals itself.
 */
(function (root) {
  'use strict';

  var outbox = [];
  var inbox = [];
  var handler = null;

  function hostEndpoint() {
    var host = root.qrvnHost;
    if (host && typeof host.sendToHost === 'function') return host;
    return null;
  }

  // Stable, sorted keys: the host compares keys byte-wise, and a fixed
  // order makes the messages easy to read in logs and tests.
  function toJsonText(members) {
    var out = {};
    Object.keys(members || {}).sort().forEach(function (key) {
      var value = members[key];
      out[key] = value === undefined || value === null ? '' : String(value);
    });
    return JSON.stringify(out);
  }

  function parseMembers(dataJsonText) {
    var parsed;
    try {
      parsed = JSON.parse(dataJsonText);
    } catch (e) {
      return {};
    }
    var members = {};
    if (parsed === null || typeof parsed !== 'object' || Array.isArray(parsed)) return members;
    Object.keys(parsed).forEach(function (key) {
      if (typeof parsed[key] === 'string') members[key] = parsed[key];
    });
    return members;
  }

  function flush() {
    var host = hostEndpoint();
    if (!host) return false;
    while (outbox.length > 0) {
      var message = outbox.shift();
      try {
        host.sendToHost(message.action, message.data);
      } catch (e) {
        if (root.console) root.console.error('sendToHost failed for "' + message.action + '"', e);
      }
    }
    return true;
  }

  function send(action, members) {
    outbox.push({ action: String(action), data: toJsonText(members) });
    if (!flush() && root.console) {
      root.console.warn('no host bridge yet; "' + action + '" is queued');
    }
  }

  function dispatch(action, members) {
    try {
      handler(action, members);
    } catch (e) {
      if (root.console) root.console.error('handling "' + action + '" failed', e);
    }
  }

  function receive(action, dataJsonText) {
    flush();
    var members = parseMembers(typeof dataJsonText === 'string' ? dataJsonText : '');
    if (handler) dispatch(String(action), members);
    else inbox.push({ action: String(action), members: members });
  }

  function onMessage(fn) {
    handler = fn;
    while (handler && inbox.length > 0) {
      var message = inbox.shift();
      dispatch(message.action, message.members);
    }
  }

  root.qrvnPalette = { receive: receive };
  root.QrvnBridge = { send: send, onMessage: onMessage, flush: flush };
})(window);
