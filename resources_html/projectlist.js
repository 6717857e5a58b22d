/*
 * Reads the "projectlist" member that the host sends: a JSON array of
 * {"projectName", "projectDescription", "projectID"} objects whose UTF-8
 * bytes were percent-encoded with upper-case %XX escapes.
 *
 * The decoder is deliberately more forgiving than decodeURIComponent: a '%'
 * that does not start a valid escape is kept as it is, '+' is an ordinary
 * character, and byte sequences that are not valid UTF-8 become U+FFFD.
 * Only a text that is not a JSON array is an error, reported by throwing
 * ProjectListError so the page can say so instead of failing silently.
 *
 * Loaded as a classic script by the page (global QrvnProjectList) and as a
 * CommonJS module by the tests.
 */
(function (root, factory) {
  'use strict';
  var api = factory();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.QrvnProjectList = api;
})(this, function () {
  'use strict';

  function ProjectListError(message) {
    this.name = 'ProjectListError';
    this.message = message;
  }
  ProjectListError.prototype = Object.create(Error.prototype);
  ProjectListError.prototype.constructor = ProjectListError;

  function hexValue(code) {
    if (code >= 48 && code <= 57) return code - 48;        // 0-9
    if (code >= 65 && code <= 70) return code - 55;        // A-F
    if (code >= 97 && code <= 102) return code - 87;       // a-f
    return -1;
  }

  // Percent-escapes become bytes; everything else is taken as text and
  // contributes its own UTF-8 bytes, so already-decoded characters survive.
  function percentDecode(text) {
    var encoder = new TextEncoder();
    var bytes = [];
    var plainStart = 0;
    var i = 0;

    function flushPlain(end) {
      if (end > plainStart) {
        var chunk = encoder.encode(text.slice(plainStart, end));
        for (var k = 0; k < chunk.length; k++) bytes.push(chunk[k]);
      }
    }

    while (i < text.length) {
      if (text.charCodeAt(i) === 37 && i + 2 < text.length) {
        var high = hexValue(text.charCodeAt(i + 1));
        var low = hexValue(text.charCodeAt(i + 2));
        if (high >= 0 && low >= 0) {
          flushPlain(i);
          bytes.push(high * 16 + low);
          i += 3;
          plainStart = i;
          continue;
        }
      }
      i += 1;
    }
    flushPlain(text.length);
    return new TextDecoder('utf-8', { fatal: false }).decode(new Uint8Array(bytes));
  }

  function textMember(object, key) {
    var value = object[key];
    return typeof value === 'string' ? value : '';
  }

  // Returns [{name, description, id}] in the order of the list; entries
  // that are not objects or carry no id cannot be chosen and are left out.
  function parse(encoded) {
    if (typeof encoded !== 'string' || encoded === '') {
      throw new ProjectListError('The project list is empty or missing.');
    }
    var parsed;
    try {
      parsed = JSON.parse(percentDecode(encoded));
    } catch (e) {
      throw new ProjectListError('The project list could not be read.');
    }
    if (!Array.isArray(parsed)) {
      throw new ProjectListError('The project list could not be read.');
    }
    var projects = [];
    parsed.forEach(function (entry) {
      if (entry === null || typeof entry !== 'object' || Array.isArray(entry)) return;
      var id = textMember(entry, 'projectID');
      if (id === '') return;
      projects.push({
        name: textMember(entry, 'projectName'),
        description: textMember(entry, 'projectDescription'),
        id: id
      });
    });
    return projects;
  }

  // Direction controls inside a name could make it read as something else
  // ("invoice\u202Egpj.exe" shows as "invoiceexe.jpg"), so they are shown
  // as what they are; the page also isolates every name from its
  // surroundings.
  var BIDI_CONTROLS = /[\u061C\u200E\u200F\u202A-\u202E\u2066-\u2069]/g;

  function displayName(name) {
    var text = typeof name === 'string' ? name : '';
    if (text.trim() === '') return 'Untitled project';
    return text.replace(BIDI_CONTROLS, function (ch) {
      return '[U+' + ch.charCodeAt(0).toString(16).toUpperCase() + ']';
    });
  }

  // The project the user worked with last comes first; the rest keep the
  // service's order.
  function ordered(projects, rememberedId) {
    var first = projects.filter(function (p) { return p.id === rememberedId; }).slice(0, 1);
    return first.concat(projects.filter(function (p) { return p !== first[0]; }));
  }

  // Case-insensitive match of every word of the query against the shown name.
  function matches(project, query) {
    var name = displayName(project.name).toLocaleLowerCase();
    return query.toLocaleLowerCase().split(/\s+/).every(function (word) {
      return name.indexOf(word) >= 0;
    });
  }

  return {
    percentDecode: percentDecode, parse: parse, ProjectListError: ProjectListError,
    displayName: displayName, ordered: ordered, matches: matches
  };
});
