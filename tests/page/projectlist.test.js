// Decoding of the project list and the printer catalogue, without a browser.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { percentDecode, parse, ProjectListError } = require('../../resources_html/projectlist.js');
const printers = require('../../resources_html/printers.js');
const { percentEncodeUri, encodedList } = require('./harness.js');

test.describe('percentDecode', () => {
  test('restores UTF-8 text of every width that the host encoded', () => {
    const samples = ['Küche ☕ 東京', 'emoji 🧪🚀 and ß', 'a b/c?d=e&f#g', '100% sure', '"quoted" \\ back', 'tab\tnew\nline'];
    for (const text of samples) {
      assert.equal(percentDecode(percentEncodeUri(text)), text, text);
    }
  });

  test('treats + as a plain character, not a space', () => {
    assert.equal(percentDecode('a+b%2Bc'), 'a+b+c');
  });

  test('keeps a % that does not start a valid escape', () => {
    assert.equal(percentDecode('100%'), '100%');
    assert.equal(percentDecode('50%zz'), '50%zz');
    assert.equal(percentDecode('%4'), '%4');
    assert.equal(percentDecode('%%41'), '%A');
  });

  test('accepts lower-case hex digits and already decoded characters', () => {
    assert.equal(percentDecode('%c3%a9t%C3%A9'), 'été');
    assert.equal(percentDecode('東%E4%BA%AC'), '東京');
  });

  test('turns byte sequences that are not UTF-8 into U+FFFD instead of failing', () => {
    assert.equal(percentDecode('a%FFb'), 'a\uFFFDb');
    assert.equal(percentDecode('%E6%9D'), '\uFFFD');
  });
});

test.describe('parse', () => {
  test('yields the projects in order with their three texts', () => {
    const projects = [
      { name: 'Küche ☕ 東京', description: 'first <b>one</b>', id: 'a1' },
      { name: '"><script>', description: '', id: 'b2' },
      { name: 'same', description: 'dup', id: 'a1' }
    ];
    assert.deepEqual(parse(encodedList(projects)), projects);
  });

  test('reads a list whose text holds a stray % or bytes that are not UTF-8', () => {
    const encoded = percentEncodeUri('[{"projectID":"x","projectName":"100') + '%' +
      percentEncodeUri('","projectDescription":"') + '%FF' + percentEncodeUri('"}]');
    assert.deepEqual(parse(encoded), [{ name: '100%', description: '\uFFFD', id: 'x' }]);
  });

  test('skips entries that cannot be chosen and blanks members that are not text', () => {
    const text = percentEncodeUri(JSON.stringify([
      null, 5, ['x'], { projectName: 'no id' }, { projectID: '' },
      { projectID: 'k', projectName: 7, projectDescription: null }
    ]));
    assert.deepEqual(parse(text), [{ name: '', description: '', id: 'k' }]);
  });

  test('rejects a missing text, invalid JSON and a JSON value that is not an array', () => {
    for (const bad of [undefined, '', '%5B%7B', 'not json', percentEncodeUri('{"projectID":"x"}'), '%22text%22']) {
      assert.throws(() => parse(bad), (e) => e instanceof ProjectListError && e.message.length > 0, String(bad));
    }
  });

  test('an empty array is a valid, empty list', () => {
    assert.deepEqual(parse(percentEncodeUri('[]')), []);
  });
});

test.describe('printer catalogue', () => {
  test('every printer gets defaults that the choice lists offer', () => {
    for (const printer of ['', 'Stratavox Forge 2', 'Stratavox Forge CF', 'Composite Pro', 'Stratavox Mini', 'Single X']) {
      const d = printers.defaultsFor(printer);
      assert.ok(printers.printCores.includes(d.printcoreOne), printer);
      assert.ok(printers.materials.includes(d.materialOne), printer);
      assert.ok(d.printcoreTwo === '' || printers.printCores.includes(d.printcoreTwo), printer);
      assert.ok(d.materialTwo === '' || printers.materials.includes(d.materialTwo), printer);
      assert.equal(d.printcoreTwo === '', d.materialTwo === '', printer);
    }
  });

  test('printers differ in their defaults by kind', () => {
    const composite = printers.defaultsFor('Stratavox Forge Composite');
    const single = printers.defaultsFor('Stratavox Single');
    const dual = printers.defaultsFor('Stratavox Forge 2');
    assert.match(composite.printcoreOne, /^CC /);
    assert.equal(single.printcoreTwo, '');
    assert.notEqual(dual.printcoreTwo, '');
    assert.deepEqual(printers.defaultsFor(undefined), printers.defaultsFor(''));
  });
});
