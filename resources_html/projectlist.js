/*
 * Reads the "projectlist" member that the host sends: a JSON array of
 * {"projectName", "projectDescription", "projectID"} objects whose UTF-8
 * bytes were percent-encoded with upper-case %XX escapes.
 *
 * The platform's decoder reads it: '+' is an ordinary character, and the
 * host encodes every '%' and sends valid UTF-8 only, so a '%' that starts no
 * escape or bytes that are not UTF-8 mean the text was damaged on the way.
 * That, and a text that is not a JSON array, is reported by throwing
 * ProjectListError so the page can say so instead of showing a wrong list.
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

  function percentDecode(text) {
    try {
      return decodeURIComponent(text);
    } catch (e) {
      throw new ProjectListError('The project list arrived damaged (a broken %-escape or bytes that are not UTF-8).');
    }
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
      if (e instanceof ProjectListError) throw e;
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
  // as what they are; the page also isolates every name that stands inside
  // a sentence (a drop-down row is a paragraph of its own and needs none).
  var BIDI_CONTROLS = /[\u061C\u200E\u200F\u202A-\u202E\u2066-\u2069]/g;
  // A name of spaces, joiners and other marks that draw nothing would show
  // as a blank row.
  var INVISIBLE = /^[\s\u00AD\u034F\u115F\u1160\u17B4\u17B5\u180B-\u180F\u200B-\u200D\u2060-\u2064\u3164\uFE00-\uFE0F\uFEFF\uFFA0]*$/;

  function displayName(name) {
    var text = typeof name === 'string' ? name : '';
    if (INVISIBLE.test(text)) return 'Untitled project';
    return text.replace(BIDI_CONTROLS, function (ch) {
      return '[U+' + ch.charCodeAt(0).toString(16).toUpperCase() + ']';
    });
  }

  // The lower-cased shown name the search compares with, kept on each
  // project as "key": a list is prepared once, and a keystroke only compares.
  function prepareForSearch(projects) {
    for (var i = 0; i < projects.length; i++) projects[i].key = displayName(projects[i].name).toLocaleLowerCase();
  }

  // A test for the projects whose shown name holds every word of the
  // query, case-insensitively.
  function matcher(query) {
    var words = query.toLocaleLowerCase().split(/\s+/).filter(Boolean);
    return function (project) {
      if (project.key === undefined) prepareForSearch([project]);
      for (var i = 0; i < words.length; i++) {
        if (project.key.indexOf(words[i]) < 0) return false;
      }
      return true;
    };
  }

  return {
    percentDecode: percentDecode, parse: parse, ProjectListError: ProjectListError,
    displayName: displayName, prepareForSearch: prepareForSearch, matcher: matcher
  };
});
