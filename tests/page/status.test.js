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
  // [phase, sent, total, rate, percent (null: activity only), line]
  const CASES = [
    ['exporting', '0', '0', '0', null, 'Exporting…'],
    ['uploading', '0', '0', '0', null, /…$/],                                         // total not known yet
    ['uploading', String(120 * MB), String(286 * MB), String(12.3 * MB), 42, '42 % · 120 of 286 MB · 12.3 MB/s · about 14 s left'],
    ['uploading', '0', String(286 * MB), '0', 0, '0 % · 0.0 of 286 MB'],
    ['uploading', '998', '999', '1', 99, '99 % · 998 of 999 bytes · 1 byte/s · about 1 s left'],
    ['uploading', '4290000000', '4294967295', String(2 * MB), 99, '99 % · 4.290 of 4.294 GB · 2.0 MB/s · about 3 s left'],
    ['uploading', String(286.2 * MB), String(286.5 * MB), String(100 * MB), 99, '99 % · 286.2 of 286.5 MB · 100 MB/s · about 1 s left'],
    ['uploading', '3000', '2000', '10', 100, '100 % · 2.0 of 2.0 kB · 10 bytes/s'],      // never past the end
    ['uploading', String(10 * MB), String(9000 * MB), String(1 * MB), 0, '0 % · 0.0 of 9.0 GB · 1.0 MB/s · about 2 h 30 min left'],
    ['uploading', '0', String(3599.5 * MB), String(1 * MB), 0, '0 % · 0.0 of 3.5 GB · 1.0 MB/s · about 1 h left'],
    ['uploading', '0', '4294967295', '1', 0, '0 % · 0.0 of 4.2 GB · 1 byte/s · more than a day left']
  ];
  for (const [phase, sent, total, rate, percent, line] of CASES) {
    const progress = describeProgress({ phase, sent, total, rate });
    const label = [phase, sent, total, rate].join(' ');
    assert.equal(progress.known, percent !== null, label);
    if (percent !== null) assert.equal(progress.percent, percent, label);
    if (typeof line === 'string') assert.equal(progress.text, line, label);
    else assert.match(progress.text, line, label);
  }
  // An estimate that aged keeps the amount and drops speed and time.
  assert.equal(describeProgress({ phase: 'uploading', sent: '1000', total: '2000', rate: '5' }, true).text, '50 % · 1.0 of 2.0 kB · waiting for StrataVox Fabriqo…');
  for (const bad of [{ phase: 'x', sent: '1', total: '2', rate: '1' }, { phase: 'uploading', sent: '', total: '10', rate: '1' },
    { phase: 'uploading', sent: '-1', total: '10', rate: '1' }, { phase: 'uploading', sent: '1', total: '10' }, {}]) {
    assert.equal(describeProgress(bad), null, JSON.stringify(bad));
  }
});

test('errors: what the user is told comes from "kind" and "status", the raw text only goes to the details', () => {
  const html = '<html><body>' + '<p>Bad gateway (404)</p>'.repeat(100) + '</body></html>';
  // [members, what the page was waiting for, what the user must be told]
  const CASES = [
    [{ kind: 'server', status: '502' }, 'upload', 'server'],
    [{ kind: 'server', status: '500' }, 'signin', 'server'],
    [{ kind: 'answer', status: '200' }, 'projects', 'server'],
    [{ kind: 'client', status: '413' }, 'upload', 'server'],
    [{ kind: 'toolarge' }, 'upload', 'server'],
    [{ kind: 'refused', status: '401' }, 'upload', 'signin'],
    [{ kind: 'refused', status: '403' }, 'projects', 'signin'],
    [{ kind: 'client', status: '400' }, 'signin', 'signin'],
    ...['resolve', 'connect', 'certificate', 'timeout', 'stalled', 'nothttps'].map((kind) => [{ kind }, 'upload', 'connection']),
    [{ kind: 'connect' }, 'signin', 'connection'],
    [{ kind: 'file' }, 'upload', 'computer'],
    [{ kind: 'local' }, 'upload', 'computer'],
    [{ kind: 'aborted' }, 'upload', 'cancelled'],
    [{}, 'upload', 'unknown'],                                    // an older host
    [{ kind: 'novel', status: '502' }, 'projects', 'unknown']
  ];
  const headings = new Set();
  for (const [members, context, topic] of CASES) {
    for (const errormessage of ['could not upload file to project (502)' + html, '']) {
      const error = describeError({ ...members, errormessage }, context);
      const label = JSON.stringify(members) + ' ' + context;
      headings.add(context + ':' + error.heading);
      assert.equal(error.topic, topic, label);
      assert.equal(error.details, errormessage, label);
      assert.doesNotMatch(error.summary, /4294967295|404|[<>\n]/, label);     // nothing read from the text
      assert.ok(error.summary.length > 0 && error.summary.length <= 200, label);
      if (members.status && topic !== 'unknown') assert.ok(error.summary.includes(members.status), label);
      // A problem on this computer does not blame the service.
      if (topic === 'computer') assert.doesNotMatch(error.summary, /StrataVox/, label);
    }
  }
  assert.equal(new Set([...headings].map((h) => h.split(':')[1])).size, 3, [...headings].join());
  assert.equal(headings.size, 3);
});
