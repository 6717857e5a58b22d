// What the page says about an upload in progress and about a failure,
// without a browser.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { describeProgress, describeError } = require('../../resources_html/status.js');

const MB = 1000 * 1000;

test('progress lines: phases without counts show activity, the upload shows how far, how fast and how long', () => {
  // [phase, sent, total, rate, known, percent, text]
  const CASES = [
    ['exporting', '0', '0', '0', false, 0, 'Exporting…'],
    ['creating', '0', '0', '0', false, 0, 'Creating project…'],
    ['announcing', '0', '0', '0', false, 0, 'Preparing the upload…'],
    ['uploading', '0', '0', '0', false, 0, 'Uploading…'],                       // total not known yet
    ['', '5', '10', '1', false, 0, 'Uploading…'],                                // a phase the page does not know
    ['uploading', '', '10', '1', false, 0, 'Uploading…'],
    ['uploading', String(120 * MB), String(286 * MB), String(12.3 * MB), true, 42, 'Uploading 42 % · 120 of 286 MB · 12.3 MB/s · about 14 s left'],
    ['uploading', '0', String(286 * MB), '0', true, 0, 'Uploading 0 % · 0.0 of 286 MB'],
    ['uploading', '998', '999', '500', true, 99, 'Uploading 99 % · 998 of 999 bytes · 500 bytes/s · about 1 s left'],
    ['uploading', String(1 * MB), String(4294967295), String(2 * MB), true, 0, 'Uploading 0 % · 0.0 of 4.2 GB · 2.0 MB/s · about 36 min left'],
    ['uploading', '3000', '2000', '10', true, 100, 'Uploading 100 % · 2.0 of 2.0 kB · 10 bytes/s'],   // never past the end
    ['uploading', String(10 * MB), String(9000 * MB), String(1 * MB), true, 0, 'Uploading 0 % · 0.0 of 9.0 GB · 1.0 MB/s · about 2 h 30 min left']
  ];
  for (const [phase, sent, total, rate, known, percent, text] of CASES) {
    assert.deepEqual(describeProgress({ phase, sent, total, rate }), { phase: phase === '' ? '' : phase, known, percent, text },
      [phase, sent, total, rate].join(' '));
  }
});

test('errors: a heading of their kind, a summary without codes or markup, the raw text only when it says more', () => {
  const html = '<html><body>' + '<p>Bad gateway</p>'.repeat(100) + '</body></html>';
  // [text, what the page was doing, heading, summary, details kept]
  const CASES = [
    ['could not authenticate (4294967295)', 'signin', 'Sign-in failed', /^Could not connect to StrataVox Fabriqo/, true],
    ['could not authenticate (400)', 'projects', 'Sign-in failed', /unexpected status \(400\)/, true],
    ['could not parse login response.', 'signin', 'Sign-in failed', /^Could not parse login response\.$/, false],
    ['could not retrieve projects (28)', 'signin', 'Could not load your projects', /did not answer in time/, true],
    ['could not retrieve projects (401)', 'projects', 'Could not load your projects', /refused the request \(401\)/, true],
    ['could not create new project (502)', 'upload', 'Upload failed', /had a problem \(502\)/, true],
    ['could not upload file content (4294967295)', 'upload', 'Upload failed', /^Could not connect/, true],
    ['Could not find CAM Document.', 'upload', 'Upload failed', /^Could not find CAM Document\.$/, false],
    ['the transfer stalled: no progress for 60 seconds', 'upload', 'Upload failed', /^The transfer stalled/, false],
    [html, 'upload', 'Upload failed', /could not understand/, true],
    ['line one\nline two', 'upload', 'Upload failed', /could not understand/, true],
    ['', 'upload', 'Upload failed', /gave no reason/, false],
    [undefined, 'projects', 'Could not load your projects', /gave no reason/, false]
  ];
  for (const [text, context, heading, summary, detailed] of CASES) {
    const error = describeError(text, context);
    const label = String(text).slice(0, 40);
    assert.equal(error.heading, heading, label);
    assert.match(error.summary, summary, label);
    assert.doesNotMatch(error.summary, /4294967295|[<>\n]/, label);
    assert.ok(error.summary.length <= 160, label);
    assert.equal(error.details, detailed ? text.trim() : '', label);
  }
});
