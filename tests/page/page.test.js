// The palette page in a real browser, talking to a fake host through the
// bridge, screen by screen: what each shows and says, and every message the
// page sends.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const h = require('./harness.js');
const printers = require(path.join(h.PAGE_DIR, 'printers.js'));

let browser;
test.before(async () => { browser = await h.launchBrowser(); });
test.after(async () => { if (browser) await browser.close(); });

const MALICIOUS_NAME = '<img src=x onerror="window.__pwned=1">';
const BREAKOUT_NAME = '"><script>window.__pwned=2</script>';
const UNICODE_NAME = 'Küche ☕ 東京';
const PROJECTS = [
  { name: UNICODE_NAME, description: 'Grüße aus 東京 <b>not bold</b>', id: 'proj-1' },
  { name: MALICIOUS_NAME, description: BREAKOUT_NAME, id: 'proj-2' },
  { name: 'Bracket 50% + spare', description: '', id: 'proj-3' }
];
const EMPTY_PRINTER = { printcoreOne: '', materialOne: '', printcoreTwo: '', materialTwo: '' };
const PRINTER = 'Stratavox Forge 2';
const SCRIPTS = 7;
const isolated = (text) => '\u2068' + text + '\u2069';

// Runs `body` on a page that has loaded and been shown the upload form; no
// page error, dialog or injected markup may happen on the way.
function formTest(name, body, options = {}) {
  test(name, async () => {
    const { page, problems } = await (options.form === false ? h.openPage : h.openForm)(browser, options);
    await body(page);
    assert.deepEqual([problems, await page.evaluate(() => window.__pwned), await page.locator('img').count(), await page.locator('script').count()],
      [[], undefined, 0, SCRIPTS]);
    await page.close();
  });
}

const listProjects = (page, defaultprojectid) => h.deliverList(page, PROJECTS, defaultprojectid);
const text = (page, selector) => page.locator(selector).textContent();
const visible = (page, selector) => page.locator(selector).isVisible();
const focusedId = (page) => page.evaluate(() => document.activeElement.closest('section')?.dataset.screen +
  ':' + document.activeElement.tagName);
const noSidewaysScroll = (page) => page.evaluate(() => document.documentElement.scrollWidth <= innerWidth);
const shown = (page, ...selectors) => Promise.all(selectors.map((s) => page.locator(s).isVisible()));
// The form while an upload may still run: it cannot start another and says why.
async function assertBusyForm(page) {
  assert.deepEqual(await h.visibleScreens(page), ['uploadform']);
  assert.deepEqual([await page.locator('#upload-button').isDisabled(), ...await shown(page, '#upload-busy')], [true, true]);
}

async function upload(page, name = 'Toolpath project', progressing = false) {
  await page.check('#mode-new');
  await page.fill('#project-name', name);
  await page.click('#upload-button');
  const message = (await h.waitForSent(page, 'createproject')).at(-1);
  if (progressing) await h.deliver(page, 'navigate', { target: 'progressscreen' });
  return message;
}
// A printer is known and a toolpath is chosen.
async function toolpath(page, printer = PRINTER) {
  await h.deliver(page, 'materials', { printer });
  await page.check('#type-toolpath');
}
// Everything the live region says from now on.
const recordAnnouncements = (page) => page.evaluate(() => {
  window.__said = [];
  new MutationObserver(() => window.__said.push(document.getElementById('announcer').textContent))
    .observe(document.getElementById('announcer'), { childList: true, characterData: true, subtree: true });
});
const said = (page) => page.evaluate(() => window.__said.filter((t) => t !== ''));

test.describe('start-up and screens', () => {
  formTest('queues "apploaded" until a host appears, sends it once with an empty object, and ignores what is not a message', async (page) => {
    assert.deepEqual(await h.visibleScreens(page), ['waiting']);
    await page.evaluate(h.installFakeHost);
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    for (const [action, data] of [['navigate', 'not json'], ['navigate', '[1,2]'], ['navigate', '{"target":5}'],
      ['navigate', '{"target":"nowhere"}'], ['Navigate', h.hostJson({ target: 'errorscreen' })], ['bogus', '{}'],
      ['uploadprogress', '{"phase":5}'], ['uploadprogress', h.hostJson({ phase: 'x', sent: '-1', total: 'a' })]]) {
      await h.deliverRaw(page, action, data);
    }
    assert.deepEqual(await h.visibleScreens(page), ['uploadform']);
    assert.deepEqual(await h.sent(page), [{ action: 'apploaded', data: {} }]);
  }, { form: false, withHost: false });

  formTest('each target shows its screen alone, focus moves to its heading, and the outcome is said once', async (page) => {
    await recordAnnouncements(page);
    for (const target of ['progressscreen', 'successscreen', 'errorscreen', 'uploadform', 'progressscreen']) {
      await h.deliver(page, 'navigate', { target, projectid: 'p', errormessage: 'e' });
      assert.deepEqual(await h.visibleScreens(page), [target], target);
      assert.equal(await focusedId(page), target + ':H1', target);
      // The heading is read as it takes focus, not a second time.
      const heading = await text(page, `#screen-${target} h1`);
      if (/success|error/.test(target)) assert.ok(!(await said(page)).at(-1).includes(heading), target);
    }
  });

  // [what is awaited, how the page gets there, the line, the button]
  const WAITS = [
    ['sign-in', async () => {}, '#signin-slow', '#signin-retry'],
    ['the project list', (page) => h.deliver(page, 'navigate', { target: 'uploadform' }), '#project-list-status', '#list-retry']
  ];
  for (const [name, reach, line, button] of WAITS) {
    formTest(`after 30 s of waiting for ${name} the page says so, asks again and keeps the focus in view`, async (page) => {
      await h.waitForSent(page, 'apploaded');
      await reach(page);
      await page.clock.fastForward(29000);
      assert.ok(await page.locator(button).isHidden());
      await page.clock.fastForward(2000);
      assert.ok(await visible(page, line));
      await page.click(button);
      assert.equal((await h.sentWith(page, 'uploadanotherproject')).length, 1);
      assert.ok(await page.locator(button).isHidden());
      // Focus goes to what replaced the button, not to the page.
      assert.ok(await page.evaluate(() => document.activeElement !== document.body && document.activeElement.checkVisibility()));
      await page.clock.fastForward(31000);
      await page.click(button);
      assert.equal((await h.sentWith(page, 'uploadanotherproject')).length, 2);
    }, { form: false, clock: true });
  }
});

test.describe('form: destination', () => {
  // Each sequence ends with the list arriving after the user chose a new
  // project; the choice and the typed name must survive it and be uploaded.
  const SEQUENCES = [
    ['a name typed while the projects load', async (page) => {
      assert.ok(await visible(page, '#project-list-status'));
      await page.fill('#project-name', 'Typed early');
    }, 'Typed early'],
    ['"New project" and a name after "Upload another file"', async (page) => {
      await listProjects(page, 'proj-2');
      await page.click('#upload-button');
      await h.deliver(page, 'navigate', { target: 'successscreen', projectid: 'proj-2' });
      await page.click('#another-after-success');
      await h.deliver(page, 'navigate', { target: 'uploadform' });
      assert.equal(await page.inputValue('#project-name'), '');
      await page.check('#mode-new');
      await page.fill('#project-name', 'Second one');
    }, 'Second one']
  ];
  for (const [name, steps, typed] of SEQUENCES) {
    formTest(name, async (page) => {
      await steps(page);
      await listProjects(page, 'proj-2');
      assert.deepEqual([await page.isChecked('#mode-new'), await page.inputValue('#project-name'), await visible(page, '#project-name')],
        [true, typed, true]);
      await page.click('#upload-button');
      assert.equal((await h.waitForSent(page, 'createproject')).at(-1).data.projectName, typed);
    });
  }

  formTest('the chooser shows names literally, the remembered one apart, keeps the user\'s choice, and finds rows by their first letter', async (page) => {
    await listProjects(page, 'proj-2');
    assert.deepEqual(await page.$$eval('#project-select optgroup', (gs) => gs.filter((g) => !g.hidden).map((g) =>
      [g.label, [...g.querySelectorAll('option:not([hidden])')].map((o) => [o.textContent, o.value])])), [
      ['Last used', [[MALICIOUS_NAME, 'proj-2']]],
      ['Projects', [[UNICODE_NAME, 'proj-1'], [PROJECTS[2].name, 'proj-3']]]
    ]);
    assert.ok(await page.locator('#mode-existing').isChecked());
    assert.equal(await text(page, '#project-summary'), BREAKOUT_NAME);
    assert.match(await text(page, '#project-count'), /^3 projects/);
    assert.ok(await page.locator('#project-search').isHidden());
    await page.focus('#project-select');
    await page.keyboard.press('b');
    assert.equal(await page.inputValue('#project-select'), 'proj-3');
    await page.selectOption('#project-select', 'proj-1');
    assert.equal(await text(page, '#project-summary'), PROJECTS[0].description);
    // A list that arrives later keeps the user's choice, whatever it names as the default.
    for (const remembered of ['gone', 'proj-2']) await listProjects(page, remembered);
    await page.click('#upload-button');
    assert.equal((await h.waitForSent(page, 'selectproject'))[0].data.projectID, 'proj-1');
  });

  formTest('20,000 projects: a search that finds any of them and never changes the choice by itself', async (page) => {
    const projects = h.manyProjects(20000);
    await h.deliverList(page, projects, 'p250');
    assert.ok(await page.locator('#project-select option').count() <= 502);
    const state = async () => [await page.inputValue('#project-select'), await text(page, '#project-chosen')];
    const matching = (query) => projects.filter((p) => query.toLowerCase().split(' ').every((w) => p.name.toLowerCase().includes(w))).length;
    // [query, what is selected in the list]: typing is not choosing.
    for (const [query, selected] of [['part 1999', ''], ['PART 250', 'p250'], ['nothing', ''], ['', 'p250']]) {
      await page.fill('#project-search', query);
      const count = matching(query);
      assert.equal(await page.locator('#project-select option:not([hidden])').count(), Math.min(count, 501), query);
      if (query !== '') assert.match(await text(page, '#project-count'), new RegExp(`^${count} of 20000 projects match`), query);
      assert.deepEqual(await state(), [selected, (selected ? '' : 'Still chosen: ') + isolated('Part 250')], query);
    }
    // Picking while searching chooses; the choice stays listed once the search is cleared.
    await page.fill('#project-search', 'part 19999');
    await page.selectOption('#project-select', 'p19999');
    await page.fill('#project-search', '');
    assert.deepEqual(await state(), ['p19999', isolated('Part 19999')]);
    await page.click('#upload-button');
    assert.equal((await h.waitForSent(page, 'selectproject'))[0].data.projectID, 'p19999');
  });

  formTest('a malformed list shows an error on the page and reports it to the host; an empty one leaves only "new project"', async (page) => {
    await listProjects(page);
    await h.deliver(page, 'projectlist', { projectlist: '%7B%22broken', defaultprojectid: 'proj-1' });
    assert.match(await text(page, '#project-list-status'), /could not be read/);
    assert.equal(await page.locator('#project-select option:not([hidden])').count(), 0);
    assert.ok(await page.locator('#mode-new').isChecked());
    const reports = await h.waitForSent(page, 'messagedlg');
    assert.deepEqual(Object.keys(reports[0].data), ['message', 'title']);
    assert.match(reports[0].data.message, /project list/);
    await listProjects(page, 'proj-1');
    await h.deliverList(page, []);
    assert.ok(await page.locator('#mode-existing').isDisabled());
    assert.ok(await page.locator('#mode-new').isChecked());
    assert.match(await text(page, '#project-list-status'), /no projects yet/);
  });
});

test.describe('form: what is sent', () => {
  const ODD_PRINTER = 'Stratavox Forge Composite <i>';
  // [what the user chose, what is first left out (the line that says so, how it is
  // left out, how it is mended), the message and its members]; the progress and
  // the success screens then name the project and what goes up.
  const SENDS = [
    ['a design into a new project, the name trimmed', async (page) => {
      await listProjects(page);
      await page.check('#mode-new');
      await page.fill('#project-description', 'Line one\nLine "two"');
    }, ['#form-error', (page) => page.fill('#project-name', '   '),
      (page) => page.fill('#project-name', '  ' + UNICODE_NAME + ' ' + MALICIOUS_NAME + '  ')],
    'createproject', { projectName: UNICODE_NAME + ' ' + MALICIOUS_NAME, projectDescription: 'Line one\nLine "two"',
      uploadType: 'design', ...EMPTY_PRINTER }],
    ['a toolpath into a new project, with the chosen settings and no second extruder', async (page) => {
      await page.fill('#project-name', 'Toolpath project');
      await toolpath(page);
      for (const [id, value] of [['#printcore-one', 'AA 0.8'], ['#material-one', 'Tough PLA'], ['#printcore-two', ''], ['#material-two', '']]) {
        await page.selectOption(id, value);
      }
    }, ['#extruder-two-problem', (page) => page.selectOption('#material-two', 'PVA'), (page) => page.selectOption('#material-two', '')],
    'createproject', { projectName: 'Toolpath project', projectDescription: '', uploadType: 'toolpath',
      printcoreOne: 'AA 0.8', materialOne: 'Tough PLA', printcoreTwo: '', materialTwo: '' }],
    ['a toolpath into an existing project, with the printer\'s defaults', async (page) => {
      await toolpath(page, ODD_PRINTER);
      await listProjects(page, 'proj-3');
    }, ['#extruder-two-problem', (page) => page.selectOption('#material-two', ''),
      (page) => page.selectOption('#material-two', printers.defaultsFor(ODD_PRINTER).materialTwo)],
    'selectproject', { projectID: 'proj-3', uploadType: 'toolpath', ...printers.defaultsFor(ODD_PRINTER) }],
    ['a design after toolpath settings were changed: no printer fields', async (page) => {
      await toolpath(page);
      await listProjects(page, 'proj-3');
      await page.selectOption('#material-one', 'ABS');
      await page.check('#type-design');
      assert.ok(await page.locator('#printer-settings').isHidden());
    }, null, 'selectproject', { projectID: 'proj-3', uploadType: 'design', ...EMPTY_PRINTER }]
  ];
  for (const [name, choose, missing, action, members] of SENDS) {
    formTest(`Upload sends ${name}, once, keys sorted, not on Enter nor while incomplete; progress and success say what went where`, async (page) => {
      await choose(page);
      if (missing) {
        const [line, leaveOut, mend] = missing;
        await leaveOut(page);
        await page.click('#upload-button');
        assert.deepEqual(await shown(page, '#form-error', '#extruder-two-problem'), ['#form-error', '#extruder-two-problem'].map((l) => l === line));
        await mend(page);
        assert.deepEqual([await page.locator(line).isHidden(), await page.getAttribute('#material-two', 'aria-invalid')], [true, null]);
      }
      for (const choice of await page.locator('input[type=radio]:checked').all()) {
        await choice.focus();
        await page.keyboard.press('Enter');
      }
      assert.equal((await h.sent(page)).length, 1);
      await page.dblclick('#upload-button');
      await page.click('#upload-button', { force: true });
      assert.deepEqual((await h.waitForSent(page, action)).map((m) => m.data), [members]);
      const keys = Object.keys(JSON.parse(await page.evaluate(() => window.__sent.at(-1).data)));
      assert.deepEqual(keys, [...keys].sort());
      const what = members.uploadType === 'toolpath' ? 'print job' : 'design';
      const where = isolated(members.projectName || PROJECTS.find((p) => p.id === members.projectID).name);
      await h.deliver(page, 'navigate', { target: 'progressscreen' });
      const heading = await text(page, '#progress-heading');
      assert.ok(heading.includes(what) && heading.includes(where), heading);
      await h.deliver(page, 'navigate', { target: 'successscreen', projectid: members.projectID || 'new-id' });
      assert.equal(await text(page, '#success-text'), `Your ${what} is now in ${where}.`);
      // The two ways on, one above the other, of one width.
      const [open, another] = await Promise.all(['#open-button', '#another-after-success'].map((b) => page.locator(b).boundingBox()));
      assert.deepEqual([open.x, open.width], [another.x, another.width]);
    }, { width: 420 });
  }

  formTest('without a printer no toolpath, with the reason; the texts follow the writing direction and count to their limit', async (page) => {
    for (const members of [null, {}]) {
      if (members) await h.deliver(page, 'materials', members);
      assert.deepEqual([await page.locator('#type-toolpath').isDisabled(), ...await shown(page, '#toolpath-reason')], [true, true]);
    }
    await listProjects(page, 'proj-1');
    for (const id of ['#project-name', '#project-description', '#project-summary', '#project-chosen']) {
      assert.equal(await page.getAttribute(id, 'dir'), 'auto', id);
    }
    await page.check('#mode-new');
    for (const [field, limit] of [['#project-name', 200], ['#project-description', 2000]]) {
      await page.fill(field, 'x'.repeat(limit / 2));
      assert.ok(await page.locator(field + '-count').isHidden(), field);
      await page.fill(field, 'ש'.repeat(limit + 50));
      assert.equal((await page.inputValue(field)).length, limit);
      assert.match(await text(page, field + '-count'), new RegExp(String(limit)), field);
    }
  });
});

test.describe('each button sends one message per click burst', () => {
  const SUCCESS = async (page) => {
    await upload(page, 'Done soon');
    await h.deliver(page, 'navigate', { target: 'successscreen', projectid: 'b7e1c2d3' });
  };
  // [button, how it is reached, the message and its members, how many once clicked again 1.5 s later]
  const BURSTS = [
    ['#cancel-button', async (page) => { await upload(page, 'Once', true); await h.progress(page, 'uploading', '1', '9', '1'); },
      'cancelupload', {}, 1],
    ['#open-button', SUCCESS, 'openfabriqo', { projectid: 'b7e1c2d3' }, 2],
    ['#another-after-success', SUCCESS, 'uploadanotherproject', {}, 1],
    ['#another-after-error', (page) => h.deliver(page, 'navigate', { target: 'errorscreen', kind: 'client', status: '400', errormessage: 'x' }),
      'uploadanotherproject', {}, 1]
  ];
  for (const [button, reach, action, data, later] of BURSTS) {
    formTest(`${button} sends "${action}"`, async (page) => {
      await h.waitForSent(page, 'apploaded');
      await reach(page);
      await page.dblclick(button);
      await page.click(button, { force: true });
      assert.deepEqual(await h.sentWith(page, action), [{ action, data }]);
      await page.clock.fastForward(1500);
      await page.click(button, { force: true });
      assert.equal((await h.sentWith(page, action)).length, later);
    }, { clock: true, form: button !== '#another-after-error' });
  }
});

test.describe('progress and cancel', () => {
  formTest('the bar and line follow "uploadprogress", and 104 updates are said 9 times', async (page) => {
    await recordAnnouncements(page);
    await upload(page, 'Gate', true);
    assert.ok(await page.locator('#cancel-button').isHidden());
    // A realistic upload: three phases, then 100 steps; one malformed message amid them.
    const total = 286000000;
    const steps = [['exporting'], ['creating'], ['announcing'], ['uploading', '0', '0']];
    for (let i = 0; i <= 100; i++) steps.push(['uploading', String(total * i / 100), String(total), '12300000']);
    steps.splice(60, 0, ['uploading', 'x', String(total), '1']);
    for (const [phase, sent, all, rate] of steps) await h.progress(page, phase, sent, all, rate);
    assert.equal(await page.getAttribute('#progress-bar', 'aria-valuenow'), '100');
    assert.match(await text(page, '#progress-text'), /100 %.*286 of 286 MB/);
    assert.equal((await said(page)).length, 9, (await said(page)).join(' | '));
    assert.ok(await visible(page, '#cancel-button'));
  });

  formTest('a speed older than a few seconds is dropped; two minutes without a message say that it takes longer', async (page) => {
    await upload(page, undefined, true);
    await h.progress(page, 'uploading', '100000000', '286000000', '12300000');
    await page.clock.fastForward(6000);
    assert.match(await text(page, '#progress-text'), /^(?!.*(MB\/s|left)).*100 of 286 MB/);
    for (const [advance, message, slow] of [[113000, true, false], [119000, false, false], [2000, false, true]]) {
      await page.clock.fastForward(advance);
      if (message) await h.progress(page, 'uploading', '110000000', '286000000', '1000000');
      assert.equal(await visible(page, '#progress-slow'), slow, String(advance));
    }
    await h.progress(page, 'uploading', '120000000', '286000000', '1000000');
    assert.ok(await page.locator('#progress-slow').isHidden());
    assert.match(await text(page, '#progress-text'), /MB\/s/);
  }, { clock: true });

  // [what leaves the user waiting, how long]
  const DEAD_ENDS = [
    ['no "uploadprogress" ever arrives', async () => {}, 121000],
    ['the host never answers a cancel', async (page) => {
      await h.progress(page, 'uploading', '10', '100', '5');
      await page.click('#cancel-button');
    }, 31000]
  ];
  for (const [name, reach, wait] of DEAD_ENDS) {
    formTest(`when ${name}, a way back to the form says the upload may still finish`, async (page) => {
      await upload(page, undefined, true);
      await reach(page);
      assert.ok(await page.locator('#progress-leave-button').isHidden());
      await page.clock.fastForward(wait);
      assert.match(await text(page, '#progress-leave'), /may still finish/);
      await page.click('#progress-leave-button');
      await assertBusyForm(page);
    }, { clock: true });
  }

  formTest('after a cancel its end is said, late progress is not, and the created project is chosen', async (page) => {
    await listProjects(page);
    await recordAnnouncements(page);
    await upload(page, 'Half done', true);
    await h.progress(page, 'uploading', '10', '100', '5');
    await page.click('#cancel-button');
    const stopping = await text(page, '#progress-text');
    assert.deepEqual([await text(page, '#cancel-button'), /10 %/.test(stopping)], ['Cancelling…', false]);
    await h.progress(page, 'uploading', '20', '100', '5');
    assert.equal(await text(page, '#progress-text'), stopping);
    // The upload had created its project: the form comes back with it chosen.
    await h.deliver(page, 'navigate', { target: 'uploadform', projectid: 'new-1' });
    const spoken = (await said(page)).length;
    assert.match(await text(page, '#cancel-note'), /Half done.*chosen/);
    assert.match((await said(page)).at(-1), /cancel/i);
    await h.progress(page, 'uploading', '80', '100', '5');
    assert.equal((await said(page)).length, spoken);
    await h.deliverList(page, [...PROJECTS, { name: 'Half done', description: '', id: 'new-1' }], 'new-1');
    await page.click('#upload-button');
    assert.equal((await h.waitForSent(page, 'selectproject'))[0].data.projectID, 'new-1');
    assert.equal((await h.sentWith(page, 'createproject')).length, 1);
  });

  formTest('the cancel note does not outlive the next outcome', async (page) => {
    await upload(page, 'Again', true);
    await h.progress(page, 'uploading', '10', '100', '5');
    await page.click('#cancel-button');
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.ok(await visible(page, '#cancel-note'));
    // The upload had finished before the cancel reached it.
    for (const target of ['successscreen', 'uploadform']) await h.deliver(page, 'navigate', { target, projectid: 'late' });
    assert.ok(await page.locator('#cancel-note').isHidden());
  });
});

test.describe('errors', () => {
  const PROXY_PAGE = '<!DOCTYPE html><html><head><title>502 Bad Gateway</title></head><body>' +
    '<h1>Bad Gateway</h1><p>The proxy server received an invalid response (404).</p>'.repeat(30) + '</body></html>';
  // [how the page got there, the error screen's members, heading, primary button, what the summary must hold]
  // What each kind is called is status.test.js's; here the screen is built from the members, never from the text.
  const ERRORS = [
    ['sign-in', null, { kind: 'client', status: '400', errormessage: 'could not authenticate (400) ' + MALICIOUS_NAME + BREAKOUT_NAME },
      'Sign-in failed', 'Sign in again', /400/],
    ['the list', 'form', { kind: 'timeout', errormessage: 'could not retrieve projects (28)' }, 'Could not load your projects', 'Try again', /./],
    ['an upload, proxy page', 'upload', { kind: 'server', status: '502', errormessage: PROXY_PAGE }, 'Upload failed', 'Try again', /502/]
  ];
  for (const [name, reached, members, heading, button, summary] of ERRORS) {
    formTest(`after ${name}: a heading of its kind, a summary from the members, the buttons first, the raw text in Details to copy`, async (page) => {
      await h.waitForSent(page, 'apploaded');
      if (reached) await h.deliver(page, 'navigate', { target: 'uploadform' });
      if (reached === 'upload') await upload(page);
      await h.deliver(page, 'navigate', { target: 'errorscreen', ...members });
      assert.deepEqual([await text(page, '#error-heading'), await text(page, '#another-after-error')], [heading, button]);
      assert.match(await text(page, '#error-summary'), summary);
      assert.doesNotMatch(await text(page, '#error-summary'), /404|Bad Gateway/);
      assert.deepEqual(await shown(page, '#error-message', '#back-to-form'), [false, reached !== null]);
      const box = await page.locator('#another-after-error').boundingBox();
      assert.ok(box.y + box.height <= 700, 'Try again at ' + box.y);
      await page.click('#error-details summary');
      assert.equal(await text(page, '#error-message'), members.errormessage);
      assert.ok((await page.locator('#error-message').boundingBox()).height < 300);
      await page.context().grantPermissions(['clipboard-read', 'clipboard-write']);
      await page.click('#copy-details');
      await page.locator('#copy-result').getByText('Copied.').waitFor();
      assert.equal(await page.evaluate(() => navigator.clipboard.readText()), members.errormessage);
    }, { form: false, width: 420, height: 700 });
  }

  formTest('"Try again" repeats the upload once, into the project it had created, also after a second failure; "Back to form" keeps the settings', async (page) => {
    await toolpath(page);
    await page.selectOption('#material-one', 'PETG');
    const first = await upload(page, 'Again');
    const { projectName, projectDescription, ...settings } = first.data;
    for (const round of [1, 2]) {
      await h.deliver(page, 'navigate', { target: 'errorscreen', kind: 'server', status: '500', projectid: 'made-1', errormessage: 'x' });
      await page.dblclick('#another-after-error');
      await page.click('#another-after-error');
      assert.deepEqual((await h.sentWith(page, 'selectproject')).map((m) => m.data), Array(round).fill({ ...settings, projectID: 'made-1' }));
      await page.clock.fastForward(1500);
    }
    assert.deepEqual([projectName, projectDescription, settings.materialOne, (await h.sentWith(page, 'createproject')).length], ['Again', '', 'PETG', 1]);
    // Back to the form before the host took the retry up: the settings are kept, nothing is sent,
    // and the form says why it cannot upload.
    const before = (await h.sent(page)).length;
    await page.click('#back-to-form');
    assert.deepEqual([await page.inputValue('#project-name'), await page.inputValue('#material-one')], ['Again', 'PETG']);
    assert.equal((await h.sent(page)).length, before);
    await assertBusyForm(page);
  }, { clock: true });
});

test.describe('look', () => {
  const linear = (v) => (v /= 255) <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4;
  const luminance = (rgb) => rgb.match(/\d+(\.\d+)?/g).slice(0, 3)
    .reduce((sum, v, i) => sum + [0.2126, 0.7152, 0.0722][i] * linear(Number(v)), 0);
  const contrast = (a, b) => {
    const [x, y] = [luminance(a), luminance(b)];
    return (Math.max(x, y) + 0.05) / (Math.min(x, y) + 0.05);
  };

  for (const colorScheme of ['light', 'dark']) {
    formTest(`${colorScheme}: field borders reach 3:1, text 4.5:1, and each extruder field has its own name`, async (page) => {
      await toolpath(page);
      const colours = await page.$$eval('input[type=text], textarea, select', (fields) => fields.map((f) => {
        const own = getComputedStyle(f);
        return { id: f.id, border: own.borderTopColor, field: own.backgroundColor, card: getComputedStyle(f.closest('.card')).backgroundColor, ink: own.color };
      }));
      for (const c of colours) {
        assert.ok(contrast(c.border, c.field) >= 3 && contrast(c.border, c.card) >= 3 && contrast(c.ink, c.field) >= 4.5, JSON.stringify(c));
      }
      const page_ = await page.evaluate(() => getComputedStyle(document.documentElement).backgroundColor);
      assert.equal(luminance(page_) < 0.1, colorScheme === 'dark');
      for (const name of ['Extruder 1 Print core', 'Extruder 1 Material', 'Extruder 2 Print core', 'Extruder 2 Material']) {
        assert.equal(await page.getByRole('combobox', { name, exact: true }).count(), 1, name);
      }
      // Every stop of the keyboard's path through the form shows where it is.
      const stops = [];
      await page.focus('#screen-uploadform h1');
      for (let i = 0; i < 20; i++) {
        await page.keyboard.press('Tab');
        const stop = await page.evaluate(() => {
          const f = document.activeElement;
          const style = getComputedStyle(f);
          return { id: f.id || f.tagName, style: style.outlineStyle, width: parseFloat(style.outlineWidth), colour: style.outlineColor,
            behind: getComputedStyle(f.closest('.card') || document.documentElement).backgroundColor };
        });
        if (stop.id === 'BODY' || stops.some((s) => s.id === stop.id)) break;
        stops.push(stop);
        assert.ok(stop.style !== 'none' && stop.width >= 2 && contrast(stop.colour, stop.behind) >= 3, JSON.stringify(stop));
      }
      assert.ok(stops.length >= 8, stops.map((s) => s.id).join());

      // The progress bar's end shows against the page; the success sentence is text, not a footnote.
      await h.deliver(page, 'navigate', { target: 'progressscreen' });
      const [bar, edge] = await page.$eval('#progress-bar', (b) => [getComputedStyle(b).borderTopColor, parseFloat(getComputedStyle(b).borderTopWidth)]);
      assert.ok(edge >= 1 && contrast(bar, page_) >= 3, bar + ' ' + edge);
      await h.deliver(page, 'navigate', { target: 'successscreen' });
      const [sentence, heading] = await page.$$eval('#success-text, #screen-successscreen h1', (e) => e.map((x) => getComputedStyle(x).color));
      assert.equal(sentence, heading);
    }, { colorScheme });
  }

  formTest('at 320 px nothing scrolls sideways, long or reversed names show whole and literally, and every setting is readable', async (page) => {
    const long = 'Ω'.repeat(150) + 'x'.repeat(149) + '!';
    for (const [raw, shown] of [['invoice\u202Egpj.exe', 'invoice[U+202E]gpj.exe'], [long, long]]) {
      await h.deliverList(page, [{ name: raw, description: '', id: 'x' }, ...PROJECTS], 'x');
      const option = page.locator('#project-select option[value=x]');
      assert.deepEqual([await option.getAttribute('title'), (await option.textContent()).length <= 60], [shown, true]);
      assert.deepEqual([await text(page, '#project-chosen'), await visible(page, '#project-chosen')], [isolated(shown), true]);
      assert.ok(await noSidewaysScroll(page));
    }
    await toolpath(page, 'Stratavox Forge Composite ' + 'Extended-Build-Volume-'.repeat(8));
    for (const [selector, value] of [['#printcore-one', 'CC 0.6'], ['#material-one', 'Breakaway'], ['#printcore-two', 'Not used'], ['#material-two', 'Tough PLA']]) {
      await page.selectOption(selector, { label: value });
      const room = await page.$eval(selector, (select) => {
        const style = getComputedStyle(select);
        const context = document.createElement('canvas').getContext('2d');
        context.font = `${style.fontSize} ${style.fontFamily}`;
        return select.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight) - 24 -   // 24: the arrow
          context.measureText(select.selectedOptions[0].textContent).width;
      });
      assert.ok(room >= 0, `${selector} "${value}" lacks ${-room} px`);
    }
    assert.ok(await noSidewaysScroll(page));
  }, { width: 320 });
});
