// What the page says about an upload in progress and about a failure,
// without a browser.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { PAGE_DIR } = require('./harness.js');
const { describeProgress, describeError } = require(path.join(PAGE_DIR, 'status.js'));

const MB = 1000 * 1000;

test('progress lines: phases show activity, the upload how far, how fast and how long; malformed reports are refused', () => {
  // [phase, sent, total, rate, aged, percent (null: activity only), line (null: refused)]
  const CASES = [
    ['exporting', '0', '0', '0', false, null, 'Exporting…'],
    ['uploading', '0', '0', '0', false, null, /…$/],                                         // total not known yet
    ['uploading', String(120 * MB), String(286 * MB), String(12.3 * MB), false, 42, '42 % · 120 of 286 MB · 12.3 MB/s · about 14 s left'],
    ['uploading', '0', String(286 * MB), '0', false, 0, '0 % · 0.0 of 286 MB'],
    ['uploading', '998', '999', '1', false, 99, '99 % · 998 of 999 bytes · 1 byte/s · about 1 s left'],
    ['uploading', '4290000000', '4294967295', String(2 * MB), false, 99, '99 % · 4.290 of 4.294 GB · 2.0 MB/s · about 3 s left'],
    ['uploading', String(286.2 * MB), String(286.5 * MB), String(100 * MB), false, 99, '99 % · 286.2 of 286.5 MB · 100 MB/s · about 1 s left'],
    ['uploading', '3000', '2000', '10', false, 100, '100 % · 2.0 of 2.0 kB · 10 bytes/s'],      // never past the end
    ['uploading', String(10 * MB), String(9000 * MB), String(1 * MB), false, 0, '0 % · 0.0 of 9.0 GB · 1.0 MB/s · about 2 h 30 min left'],
    ['uploading', '0', String(3599.5 * MB), String(1 * MB), false, 0, '0 % · 0.0 of 3.5 GB · 1.0 MB/s · about 1 h left'],
    ['uploading', '0', '4294967295', '1', false, 0, '0 % · 0.0 of 4.2 GB · 1 byte/s · more than a day left'],
    // An estimate that aged keeps the amount and drops speed and time.
    ['uploading', '1000', '2000', '5', true, 50, '50 % · 1.0 of 2.0 kB · waiting for StrataVox Fabriqo…'],
    ['x', '1', '2', '1', false, null, null], ['uploading', '', '10', '1', false, null, null],
    ['uploading', '-1', '10', '1', false, null, null], ['uploading', '1', '10', undefined, false, null, null]
  ];
  for (const [phase, sent, total, rate, aged, percent, line] of CASES) {
    const progress = describeProgress({ phase, sent, total, rate }, aged);
    const label = [phase, sent, total, rate].join(' ');
    if (line === null) assert.equal(progress, null, label);
    else assert.deepEqual([progress.known, progress.percent], [percent !== null, percent ?? 0], label);
    if (typeof line === 'string') assert.equal(progress.text, line, label);
    else if (line) assert.match(progress.text, line, label);
  }
});

test('errors: the summary tells what the user must know from "kind" and "status", the raw text only goes to the details', () => {
  const html = '<html><body>' + '<p>Bad gateway (404)</p>'.repeat(100) + '</body></html>';
  // What the user must be told: [the members, what the page was waiting for]
  const TOLD = {
    server: [[{ kind: 'server', status: '502' }, 'upload'], [{ kind: 'server', status: '500' }, 'signin'],
      [{ kind: 'answer', status: '200' }, 'projects'], [{ kind: 'client', status: '413' }, 'upload'], [{ kind: 'toolarge' }, 'upload']],
    signin: [[{ kind: 'refused', status: '401' }, 'upload'], [{ kind: 'refused', status: '403' }, 'projects'], [{ kind: 'client', status: '400' }, 'signin']],
    connection: [...['resolve', 'connect', 'certificate', 'timeout', 'stalled', 'nothttps'].map((kind) => [{ kind }, 'upload']), [{ kind: 'connect' }, 'signin']],
    computer: [[{ kind: 'file' }, 'upload'], [{ kind: 'local' }, 'upload']],
    cancelled: [[{ kind: 'aborted' }, 'upload']],
    unknown: [[{}, 'upload'], [{ kind: 'novel', status: '502' }, 'projects']]    // an older host, a kind it does not know
  };
  const headings = new Map();
  for (const [topic, cases] of Object.entries(TOLD)) {
    for (const [members, context] of cases) {
      for (const errormessage of ['could not upload file to project (503)' + html, '']) {
        const error = describeError({ ...members, errormessage }, context);
        const label = JSON.stringify(members) + ' ' + context;
        headings.set(context, [...(headings.get(context) || []), error.heading]);
        assert.deepEqual([error.topic, error.details], [topic, errormessage], label);
        assert.doesNotMatch(error.summary, /503|404|[<>\n]/, label);     // nothing read from the text
        assert.ok(error.summary.length > 0 && error.summary.length <= 200, label);
        if (members.status && topic !== 'unknown') assert.ok(error.summary.includes(members.status), label);
        // A problem on this computer does not blame the service.
        if (topic === 'computer') assert.doesNotMatch(error.summary, /StrataVox/, label);
      }
    }
  }
  // One heading per thing the page waited for, whatever the kind.
  const each = [...headings.values()].map((list) => new Set(list));
  assert.deepEqual([each.length, new Set(each.flatMap((set) => [...set])).size, each.every((set) => set.size === 1)], [3, 3, true]);
});
