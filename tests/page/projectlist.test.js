// Decoding of the project list and the printer catalogue, without a browser.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { percentEncodeUri, encodedList, PAGE_DIR } = require('./harness.js');
const { percentDecode, parse, ProjectListError, displayName, matcher } = require(path.join(PAGE_DIR, 'projectlist.js'));
const printers = require(path.join(PAGE_DIR, 'printers.js'));

test('percentDecode restores what the host encoded and refuses, clearly, what it cannot have sent', () => {
  const samples = ['Küche ☕ 東京', 'emoji 🧪🚀 and ß', 'a b/c?d=e&f#g', '100% sure', '"quoted" \\ back', 'tab\tnew\nline'];
  for (const text of samples) assert.equal(percentDecode(percentEncodeUri(text)), text, text);
  for (const [encoded, decoded] of [['a+b%2Bc', 'a+b+c'], ['%c3%a9t%C3%A9', 'été'], ['東%E4%BA%AC', '東京']]) {
    assert.equal(percentDecode(encoded), decoded, encoded);   // + is a plain character; lower-case hex; text already decoded
  }
  // A % that starts no escape, and bytes that are not UTF-8: the host encodes every % and sends UTF-8 only.
  for (const broken of ['100%', '50%zz', '%4', 'a%FFb', '%E6%9D']) {
    assert.throws(() => percentDecode(broken), (e) => e instanceof ProjectListError && /damaged/.test(e.message), broken);
  }
});

test.describe('parse', () => {
  test('yields the projects in order, skipping entries that cannot be chosen and blanking non-text members', () => {
    const projects = [
      { name: 'Küche ☕ 東京', description: 'first <b>one</b>', id: 'a1' },
      { name: '"><script>', description: '', id: 'b2' },
      { name: 'same', description: 'dup', id: 'a1' }
    ];
    assert.deepEqual(parse(encodedList(projects)), projects);
    assert.deepEqual(parse(percentEncodeUri('[]')), []);

    const odd = percentEncodeUri(JSON.stringify([
      null, 5, ['x'], { projectName: 'no id' }, { projectID: '' },
      { projectID: 'k', projectName: 7, projectDescription: null }
    ]));
    assert.deepEqual(parse(odd), [{ name: '', description: '', id: 'k' }]);

  });

  test('rejects a missing text, invalid JSON and a JSON value that is not an array', () => {
    for (const bad of [undefined, '', '%5B%7B', 'not json', '%5B%FF%5D', percentEncodeUri('{"projectID":"x"}'), '%22text%22']) {
      assert.throws(() => parse(bad), (e) => e instanceof ProjectListError && e.message.length > 0, String(bad));
    }
  });
});

test('names as shown: direction controls visible, blank and invisible names untitled, search by every word', () => {
  for (const [name, shown] of [
    ['invoice\u202Egpj.exe', 'invoice[U+202E]gpj.exe'],
    ['\u2067abc\u2069 \u200F\u061C', '[U+2067]abc[U+2069] [U+200F][U+61C]'],
    ['שלום עולם', 'שלום עולם'], [' \t ', 'Untitled project'], ['\u200B\u200D\uFEFF\u2060', 'Untitled project'], ['a\u200Bb', 'a\u200Bb'], ['', 'Untitled project'], [undefined, 'Untitled project']
  ]) {
    assert.equal(displayName(name), shown, JSON.stringify(name));
  }
  const projects = [{ id: 'a', name: 'Bracket Left' }, { id: 'b', name: '' }, { id: 'c', name: 'bracket right' }];
  for (const [query, ids] of [['BRACKET', ['a', 'c']], ['right brack', ['c']], ['untitled', ['b']], ['  ', ['a', 'b', 'c']], ['x', []]]) {
    assert.deepEqual(projects.filter(matcher(query)).map((p) => p.id), ids, query);
  }
});

test('every printer gets defaults of its kind that the choice lists offer', () => {
  for (const printer of ['', 'Stratavox Forge 2', 'Stratavox Forge CF', 'Composite Pro', 'Stratavox Mini', 'Single X']) {
    const d = printers.defaultsFor(printer);
    assert.ok(printers.printCores.includes(d.printcoreOne), printer);
    assert.ok(printers.materials.includes(d.materialOne), printer);
    assert.ok(d.printcoreTwo === '' || printers.printCores.includes(d.printcoreTwo), printer);
    assert.ok(d.materialTwo === '' || printers.materials.includes(d.materialTwo), printer);
    assert.equal(d.printcoreTwo === '', d.materialTwo === '', printer);
  }
  assert.match(printers.defaultsFor('Stratavox Forge Composite').printcoreOne, /^CC /);
  assert.equal(printers.defaultsFor('Stratavox Single').printcoreTwo, '');
  assert.notEqual(printers.defaultsFor('Stratavox Forge 2').printcoreTwo, '');
  assert.deepEqual(printers.defaultsFor(undefined), printers.defaultsFor(''));
});
