// Decoding of the project list and the printer catalogue, without a browser.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { percentEncodeUri, encodedList, PAGE_DIR } = require('./harness.js');
const { percentDecode, parse, ProjectListError, displayName, matcher } = require(path.join(PAGE_DIR, 'projectlist.js'));
const printers = require(path.join(PAGE_DIR, 'printers.js'));

test('the list decodes what the host encoded and refuses, clearly, what it cannot have sent', () => {
  const damaged = (e) => e instanceof ProjectListError && /damaged/.test(e.message);
  for (const text of ['Küche ☕ 東京', 'emoji 🧪🚀 and ß', 'a b/c?d=e&f#g', '100% sure', '"quoted" \\ back', 'tab\tnew\nline']) {
    assert.equal(percentDecode(percentEncodeUri(text)), text, text);
  }
  // + is a plain character; lower-case hex; text already decoded.
  for (const [encoded, decoded] of [['a+b%2Bc', 'a+b+c'], ['%c3%a9t%C3%A9', 'été'], ['東%E4%BA%AC', '東京']]) {
    assert.equal(percentDecode(encoded), decoded, encoded);
  }
  // A % that starts no escape, and bytes that are not UTF-8: the host encodes every % and sends UTF-8 only.
  for (const broken of ['100%', '50%zz', '%4', 'a%FFb', '%E6%9D']) assert.throws(() => percentDecode(broken), damaged, broken);

  // The projects in order, skipping entries that cannot be chosen and blanking members that are not text.
  const projects = [
    { name: 'Küche ☕ 東京', description: 'first <b>one</b>', id: 'a1' }, { name: '"><script>', description: '', id: 'b2' },
    { name: 'same', description: 'dup', id: 'a1' }
  ];
  const odd = [null, 5, ['x'], { projectName: 'no id' }, { projectID: '' }, { projectID: 'k', projectName: 7, projectDescription: null }];
  for (const [encoded, expected] of [[encodedList(projects), projects], [percentEncodeUri('[]'), []],
    [percentEncodeUri(JSON.stringify(odd)), [{ name: '', description: '', id: 'k' }]]]) {
    assert.deepEqual(parse(encoded), expected);
  }
  for (const bad of [undefined, '', '%5B%7B', 'not json', '%5B%FF%5D', percentEncodeUri('{"projectID":"x"}'), '%22text%22']) {
    assert.throws(() => parse(bad), (e) => e instanceof ProjectListError && e.message.length > 0, String(bad));
  }
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
  // [printer, a second extruder, print core 1 is a composite core]
  for (const [printer, two, composite] of [['', true, false], [undefined, true, false], ['Stratavox Forge 2', true, false],
    ['Stratavox Forge CF', true, true], ['Stratavox Forge Composite', true, true], ['Composite Pro', true, true],
    ['Stratavox Mini', false, false], ['Stratavox Single', false, false], ['Single X', false, false]]) {
    const d = printers.defaultsFor(printer);
    assert.ok(printers.printCores.includes(d.printcoreOne) && printers.materials.includes(d.materialOne), printer);
    assert.ok([d.printcoreTwo, d.materialTwo].every((v, i) => v === '' || [printers.printCores, printers.materials][i].includes(v)), printer);
    assert.deepEqual([d.printcoreTwo !== '', d.materialTwo !== '', d.printcoreOne.startsWith('CC ')], [two, two, composite], printer);
  }
});
