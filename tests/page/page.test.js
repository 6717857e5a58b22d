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
    assert.deepEqual(problems, []);
    assert.equal(await page.evaluate(() => window.__pwned), undefined);
    assert.equal(await page.locator('img').count(), 0);
    assert.equal(await page.locator('script').count(), SCRIPTS);
    await page.close();
  });
}

const listProjects = (page, defaultprojectid) => h.deliverList(page, PROJECTS, defaultprojectid);
const text = (page, selector) => page.locator(selector).textContent();
const focusedId = (page) => page.evaluate(() => document.activeElement.closest('section')?.dataset.screen +
  ':' + document.activeElement.tagName);

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
async function failThenBack(page) {
  await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: 'x' });
  await page.click('#back-to-form');
}
// Everything the live region says from now on.
const recordAnnouncements = (page) => page.evaluate(() => {
  window.__said = [];
  new MutationObserver(() => window.__said.push(document.getElementById('announcer').textContent))
    .observe(document.getElementById('announcer'), { childList: true, characterData: true, subtree: true });
});
const said = (page) => page.evaluate(() => window.__said.filter((t) => t !== ''));

test.describe('start-up and bridge', () => {
  formTest('sends "apploaded" once with an empty object, waits for the host, and ignores what is not a message', async (page) => {
    assert.deepEqual(await h.waitForSent(page, 'apploaded'), [{ action: 'apploaded', data: {} }]);
    assert.deepEqual(await h.visibleScreens(page), ['waiting']);
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    for (const [action, data] of [['navigate', 'not json'], ['navigate', '[1,2]'], ['navigate', '{"target":5}'],
      ['navigate', '{"target":"nowhere"}'], ['Navigate', h.hostJson({ target: 'errorscreen' })], ['bogus', '{}'],
      ['uploadprogress', '{"phase":5}'], ['uploadprogress', h.hostJson({ phase: 'x', sent: '-1', total: 'a' })]]) {
      await h.deliverRaw(page, action, data);
    }
    assert.deepEqual(await h.visibleScreens(page), ['uploadform']);
    assert.deepEqual(await h.sent(page), [{ action: 'apploaded', data: {} }]);
  }, { form: false });

  formTest('without a host object the page queues its messages and delivers them once the host appears', async (page) => {
    assert.equal(await page.evaluate(() => typeof window.qrvnPalette.receive), 'function');
    await page.evaluate(h.installFakeHost);
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.deepEqual(await h.sent(page), [{ action: 'apploaded', data: {} }]);
    assert.deepEqual(await h.visibleScreens(page), ['uploadform']);
  }, { form: false, withHost: false });
});

test.describe('screens', () => {
  formTest('each target shows its screen alone, focus moves to its heading, and the outcome is said once', async (page) => {
    await recordAnnouncements(page);
    for (const target of ['progressscreen', 'successscreen', 'errorscreen', 'uploadform', 'progressscreen']) {
      await h.deliver(page, 'navigate', { target, projectid: 'p', errormessage: 'e' });
      assert.deepEqual(await h.visibleScreens(page), [target], target);
      assert.equal(await focusedId(page), target + ':H1', target);
      if (target === 'successscreen' || target === 'errorscreen') {
        // The heading is read as it takes focus, not a second time.
        const heading = await text(page, `#screen-${target} h1`);
        assert.ok(!(await said(page)).at(-1).includes(heading), target);
      }
    }
    const raw = 'could not create project <b>' + BREAKOUT_NAME + '\n' + 'x'.repeat(200);
    await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: raw });
    assert.equal(await text(page, '#error-message'), raw);
    assert.equal(await page.locator('#screen-errorscreen *:not(div,h1,p,button,details,summary,pre,span)').count(), 0);
  });
});

test.describe('waiting for sign-in and the list', () => {
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
      assert.ok(await page.locator(line).isVisible());
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
  // Each sequence ends with the list arriving after the user's choice; the
  // choice and the typed text must survive it and be what is uploaded.
  const SEQUENCES = [
    ['a name typed while the projects load', async (page) => {
      assert.ok(await page.locator('#project-list-status').isVisible());
      await page.fill('#project-name', 'Typed early');
    }, { action: 'createproject', name: 'Typed early' }],
    ['"New project" and a name after "Upload another file"', async (page) => {
      await listProjects(page, 'proj-2');
      await page.click('#upload-button');
      await h.deliver(page, 'navigate', { target: 'successscreen', projectid: 'proj-2' });
      await page.click('#another-after-success');
      await h.deliver(page, 'navigate', { target: 'uploadform' });
      await page.check('#mode-new');
      await page.fill('#project-name', 'Second one');
    }, { action: 'createproject', name: 'Second one' }],
    ['another project than the remembered one', async (page) => {
      await listProjects(page, 'proj-1');
      await page.selectOption('#project-select', 'proj-3');
    }, { action: 'selectproject', id: 'proj-3' }]
  ];
  for (const [name, steps, expected] of SEQUENCES) {
    formTest(name, async (page) => {
      await steps(page);
      await listProjects(page, 'proj-2');
      assert.equal(await page.isChecked('#mode-new'), expected.action === 'createproject');
      if (expected.name) assert.equal(await page.inputValue('#project-name'), expected.name);
      assert.ok(await page.locator(expected.name ? '#project-name' : '#project-select').isVisible());
      await page.click('#upload-button');
      const message = (await h.waitForSent(page, expected.action)).at(-1);
      if (expected.name) assert.equal(message.data.projectName, expected.name);
      else assert.equal(message.data.projectID, expected.id);
    });
  }
});

test.describe('form: project chooser', () => {
  formTest('shows names literally, the remembered one apart, keeps the user\'s choice, and finds rows by their first letter', async (page) => {
    await listProjects(page, 'proj-2');
    assert.deepEqual(await page.$$eval('#project-select optgroup', (gs) => gs.filter((g) => !g.hidden).map((g) =>
      [g.label, [...g.querySelectorAll('option:not([hidden])')].map((o) => [o.textContent, o.value])])), [
      ['Last used', [[MALICIOUS_NAME, 'proj-2']]],
      ['Projects', [[UNICODE_NAME, 'proj-1'], [PROJECTS[2].name, 'proj-3']]]
    ]);
    assert.equal(await page.inputValue('#project-select'), 'proj-2');
    assert.ok(await page.locator('#mode-existing').isChecked());
    assert.equal(await text(page, '#project-summary'), BREAKOUT_NAME);
    assert.match(await text(page, '#project-count'), /^3 projects/);
    assert.ok(await page.locator('#project-search').isHidden());
    // Type-ahead: the first letter of a name moves to it.
    await page.focus('#project-select');
    await page.keyboard.press('b');
    assert.equal(await page.inputValue('#project-select'), 'proj-3');
    await page.selectOption('#project-select', 'proj-1');
    assert.equal(await text(page, '#project-summary'), PROJECTS[0].description);
    await listProjects(page, 'gone');
    assert.equal(await page.inputValue('#project-select'), 'proj-1');
  });

  formTest('20,000 projects: a search that finds any of them and never changes the choice by itself', async (page) => {
    const projects = h.manyProjects(20000);
    await h.deliverList(page, projects, 'p250');
    assert.ok(await page.locator('#project-search').isVisible());
    assert.ok(await page.locator('#project-select option').count() <= 502);
    assert.match(await text(page, '#project-count'), /^20000 projects\. .*search/);
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
    await h.deliverList(page, projects.slice(0, 10));
    assert.ok(await page.locator('#project-search').isHidden());
    assert.equal(await page.locator('#project-select option:not([hidden])').count(), 10);
  });

  const LONG = 'Ω'.repeat(150) + 'x'.repeat(149) + '!';
  const NAMES = [
    ['a right-to-left override is shown, not obeyed', 'invoice\u202Egpj.exe', 'invoice[U+202E]gpj.exe'],
    ['300 characters', LONG, LONG]
  ];
  for (const [name, raw, shown] of NAMES) {
    formTest(name + ' (320 px)', async (page) => {
      await h.deliverList(page, [{ name: raw, description: '', id: 'x' }, ...PROJECTS], 'x');
      const option = page.locator('#project-select option[value=x]');
      assert.equal(await option.getAttribute('title'), shown);
      assert.ok((await option.textContent()).length <= 60);
      assert.equal(await text(page, '#project-chosen'), isolated(shown));
      assert.ok(await page.locator('#project-chosen').isVisible());
      assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth));
    }, { width: 320 });
  }

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
    assert.ok(await page.locator('#mode-existing').isChecked());
    await h.deliverList(page, []);
    assert.ok(await page.locator('#mode-existing').isDisabled());
    assert.ok(await page.locator('#mode-new').isChecked());
    assert.ok(await page.locator('#project-name').isVisible());
    assert.match(await text(page, '#project-list-status'), /no projects yet/);
  });
});

test.describe('form: what is sent', () => {
  formTest('"createproject" for a design needs a name and carries all seven members, keys sorted', async (page) => {
    await listProjects(page);
    await page.check('#mode-new');
    await page.fill('#project-name', '   ');
    await page.click('#upload-button');
    assert.ok(await page.locator('#form-error').isVisible());
    assert.equal((await h.sentWith(page, 'createproject')).length, 0);

    await page.fill('#project-name', '  ' + UNICODE_NAME + ' ' + MALICIOUS_NAME + '  ');
    assert.ok(await page.locator('#form-error').isHidden(), 'the refusal goes once a name is typed');
    await page.fill('#project-description', 'Line one\nLine "two"');
    // Enter on a choice does not send.
    for (const choice of ['#type-design', '#mode-new']) {
      await page.focus(choice);
      await page.keyboard.press('Enter');
    }
    assert.equal((await h.sentWith(page, 'createproject')).length, 0);
    await page.click('#upload-button');
    const [message] = await h.waitForSent(page, 'createproject');
    assert.deepEqual(message.data, {
      projectName: UNICODE_NAME + ' ' + MALICIOUS_NAME,
      projectDescription: 'Line one\nLine "two"',
      uploadType: 'design',
      ...EMPTY_PRINTER
    });
    assert.ok(await page.locator('#form-error').isHidden());
    const raw = await page.evaluate(() => window.__sent.find((m) => m.action === 'createproject').data);
    const keys = Object.keys(JSON.parse(raw));
    assert.deepEqual(keys, [...keys].sort());
  });

  formTest('the name and the description follow the writing direction and say when they reach their limit', async (page) => {
    await listProjects(page, 'proj-1');
    for (const id of ['#project-name', '#project-description', '#project-summary', '#project-chosen']) {
      assert.equal(await page.getAttribute(id, 'dir'), 'auto', id);
    }
    await page.check('#mode-new');
    for (const [field, limit] of [['#project-name', 200], ['#project-description', 2000]]) {
      const count = field + '-count';
      await page.fill(field, 'x'.repeat(limit / 2));
      assert.ok(await page.locator(count).isHidden(), field);
      await page.fill(field, 'ש'.repeat(limit + 50));
      assert.equal((await page.inputValue(field)).length, limit);
      assert.ok(await page.locator(count).isVisible(), field);
      assert.match(await text(page, count), new RegExp(String(limit)), field);
    }
  });

  formTest('"createproject" for a toolpath carries the chosen settings, once while the upload runs', async (page) => {
    await page.fill('#project-name', 'Toolpath project');
    await toolpath(page);
    await page.selectOption('#printcore-one', 'AA 0.8');
    await page.selectOption('#material-one', 'Tough PLA');
    await page.selectOption('#printcore-two', '');
    await page.selectOption('#material-two', '');
    await page.dblclick('#upload-button');
    await page.locator('#upload-button').click({ force: true });
    const [message] = await h.waitForSent(page, 'createproject');
    assert.deepEqual(message.data, {
      projectName: 'Toolpath project', projectDescription: '', uploadType: 'toolpath',
      printcoreOne: 'AA 0.8', materialOne: 'Tough PLA', printcoreTwo: '', materialTwo: ''
    });
    // A form shown again while the upload runs cannot start another one.
    await h.deliver(page, 'navigate', { target: 'progressscreen' });
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.ok(await page.locator('#upload-button').isDisabled());
    assert.ok(await page.locator('#upload-busy').isVisible());
    await page.locator('#upload-button').click({ force: true });
    assert.equal((await h.sentWith(page, 'createproject')).length, 1);
  });

  formTest('"materials" names the printer and preselects its defaults; without a printer no toolpath, with the reason; ' +
    'a design sends empty printer fields, whatever was chosen for a toolpath', async (page) => {
    const printer = 'Stratavox Forge Composite <i>';
    const expected = printers.defaultsFor(printer);
    const chosen = () => page.evaluate(() => Object.fromEntries(['printcoreOne', 'materialOne', 'printcoreTwo', 'materialTwo']
      .map((key) => [key, document.getElementById(key.replace(/[A-Z]/, (c) => '-' + c.toLowerCase())).value])));
    for (const members of [null, {}]) {
      if (members) await h.deliver(page, 'materials', members);
      assert.ok(await page.locator('#type-toolpath').isDisabled());
      assert.ok(await page.locator('#toolpath-reason').isVisible());
      assert.deepEqual(await chosen(), printers.defaultsFor(''));
    }
    await h.deliver(page, 'materials', { printer });
    assert.ok(await page.locator('#toolpath-reason').isHidden());
    await page.check('#type-toolpath');
    assert.equal(await text(page, '#printer-name'), 'Printer: ' + printer);
    assert.deepEqual(await chosen(), expected);
    await listProjects(page, 'proj-3');
    await page.click('#upload-button');
    const [message] = await h.waitForSent(page, 'selectproject');
    assert.deepEqual(message.data, { projectID: 'proj-3', uploadType: 'toolpath', ...expected });

    await failThenBack(page);
    await page.selectOption('#material-one', 'ABS');
    await page.check('#type-design');
    assert.ok(await page.locator('#printer-settings').isHidden());
    await page.click('#upload-button');
    const design = (await h.waitForSent(page, 'selectproject', 2))[1];
    assert.deepEqual(design.data, { projectID: 'proj-3', uploadType: 'design', ...EMPTY_PRINTER });
    assert.equal((await h.sentWith(page, 'createproject')).length, 0);
  });

  // [print core 2, material 2, flagged]
  const EXTRUDER_TWO = [['', 'PVA', true], ['BB 0.4', '', true], ['', '', false], ['BB 0.4', 'PVA', false]];
  formTest('half a choice for extruder 2 is flagged and not sent', async (page) => {
    await page.fill('#project-name', 'Two extruders');
    await toolpath(page);
    let sent = 0;
    for (const [printcore, material, flagged] of EXTRUDER_TWO) {
      await page.selectOption('#printcore-two', printcore);
      await page.selectOption('#material-two', material);
      assert.equal(await page.locator('#extruder-two-problem').isVisible(), flagged, printcore + '/' + material);
      assert.equal(await page.getAttribute('#material-two', 'aria-invalid'), flagged ? 'true' : null);
      await page.click('#upload-button');
      assert.ok(await page.locator('#form-error').isHidden(), 'the problem is said once, next to the fields');
      if (!flagged) {
        const last = (await h.waitForSent(page, 'createproject', ++sent)).at(-1);
        assert.deepEqual([last.data.printcoreTwo, last.data.materialTwo], [printcore, material]);
        await failThenBack(page);
      }
      assert.equal((await h.sentWith(page, 'createproject')).length, sent, printcore + '/' + material);
    }
  });
});

test.describe('progress and cancel', () => {
  formTest('the heading says what goes where; the bar and line follow "uploadprogress", and 104 updates are said 9 times', async (page) => {
    await recordAnnouncements(page);
    await upload(page, 'Gate ' + MALICIOUS_NAME, true);
    assert.match(await text(page, '#progress-heading'), new RegExp('design.*' + isolated('Gate ' + MALICIOUS_NAME).replace(/[.*+?^${}()|[\]\\]/g, '\\$&')));
    assert.ok(await page.locator('#cancel-button').isHidden());
    // A realistic upload: three phases, then 100 steps; one malformed message amid them.
    const total = 286000000;
    const steps = [['exporting'], ['creating'], ['announcing'], ['uploading', '0', '0']];
    for (let i = 0; i <= 100; i++) steps.push(['uploading', String(total * i / 100), String(total), '12300000']);
    steps.splice(60, 0, ['uploading', 'x', String(total), '1']);
    for (const [phase, sent, all, rate] of steps) {
      await h.progress(page, phase, sent, all, rate);
      if (sent === String(total * 0.42)) {
        assert.equal(await page.getAttribute('#progress-bar', 'aria-valuenow'), '42');
        assert.match(await text(page, '#progress-text'), /42 %.*120 of 286 MB.*12\.3 MB\/s.*14 s left/);
      }
    }
    assert.equal(await page.getAttribute('#progress-bar', 'aria-valuenow'), '100');
    assert.equal((await said(page)).length, 9, (await said(page)).join(' | '));
    assert.ok(await page.locator('#cancel-button').isVisible());
  });

  formTest('a speed older than a few seconds is dropped; two minutes without a message say that it takes longer', async (page) => {
    await upload(page, undefined, true);
    await h.progress(page, 'uploading', '100000000', '286000000', '12300000');
    await page.clock.fastForward(6000);
    assert.doesNotMatch(await text(page, '#progress-text'), /MB\/s|left/);
    assert.match(await text(page, '#progress-text'), /100 of 286 MB/);
    for (const [advance, message, slow] of [[113000, true, false], [119000, false, false], [2000, false, true]]) {
      await page.clock.fastForward(advance);
      if (message) await h.progress(page, 'uploading', '110000000', '286000000', '1000000');
      assert.equal(await page.locator('#progress-slow').isVisible(), slow, String(advance));
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
      assert.deepEqual(await h.visibleScreens(page), ['uploadform']);
      assert.ok(await page.locator('#upload-button').isDisabled());
      assert.ok(await page.locator('#upload-busy').isVisible());
    }, { clock: true });
  }

  formTest('Cancel sends "cancelupload" once; its end is said, late progress is not, and the created project is chosen', async (page) => {
    await listProjects(page);
    await recordAnnouncements(page);
    await upload(page, 'Half done', true);
    await h.progress(page, 'uploading', '10', '100', '5');
    await page.dblclick('#cancel-button');
    await page.click('#cancel-button', { force: true });
    assert.deepEqual(await h.sentWith(page, 'cancelupload'), [{ action: 'cancelupload', data: {} }]);
    assert.equal(await text(page, '#cancel-button'), 'Cancelling…');
    const stopping = await text(page, '#progress-text');
    assert.doesNotMatch(stopping, /10 %/);
    await h.progress(page, 'uploading', '20', '100', '5');
    assert.equal(await text(page, '#progress-text'), stopping);

    // The upload had created its project: the form comes back with it chosen.
    await h.deliver(page, 'navigate', { target: 'uploadform', projectid: 'new-1' });
    const spoken = (await said(page)).length;
    assert.ok(await page.locator('#cancel-note').isVisible());
    assert.match(await text(page, '#cancel-note'), /Half done.*chosen/);
    assert.match((await said(page)).at(-1), /cancel/i);
    await h.progress(page, 'uploading', '80', '100', '5');
    assert.equal((await said(page)).length, spoken);
    await h.deliverList(page, [...PROJECTS, { name: 'Half done', description: '', id: 'new-1' }], 'new-1');
    assert.ok(await page.isChecked('#mode-existing'));
    assert.equal(await page.inputValue('#project-select'), 'new-1');
    assert.ok(await page.locator('#upload-button').isEnabled());
    await page.click('#cancel-note-dismiss');
    assert.ok(await page.locator('#cancel-note').isHidden());
    assert.equal(await focusedId(page), 'uploadform:H1');
    await page.click('#upload-button');
    assert.equal((await h.waitForSent(page, 'selectproject'))[0].data.projectID, 'new-1');
    assert.equal((await h.sentWith(page, 'createproject')).length, 1);
  });

  formTest('the cancel note does not outlive the next outcome', async (page) => {
    await upload(page, 'Again', true);
    await h.progress(page, 'uploading', '10', '100', '5');
    await page.click('#cancel-button');
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.ok(await page.locator('#cancel-note').isVisible());
    // The upload had finished before the cancel reached it.
    await h.deliver(page, 'navigate', { target: 'successscreen', projectid: 'late' });
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.ok(await page.locator('#cancel-note').isHidden());
  });
});

test.describe('errors', () => {
  const PROXY_PAGE = '<!DOCTYPE html><html><head><title>502 Bad Gateway</title></head><body>' +
    '<h1>Bad Gateway</h1><p>The proxy server received an invalid response (404).</p>'.repeat(30) + '</body></html>';
  // [how the page got there, the error screen's members, heading, primary button, what the summary must hold]
  // What each kind is called is status.test.js's; here the screen is built from the members, never from the text.
  const ERRORS = [
    ['sign-in', null, { kind: 'client', status: '400', errormessage: 'could not authenticate (400)' }, 'Sign-in failed', 'Sign in again', /400/],
    ['the list', 'form', { kind: 'timeout', errormessage: 'could not retrieve projects (28)' }, 'Could not load your projects', 'Try again', /./],
    ['an upload, proxy page', 'upload', { kind: 'server', status: '502', errormessage: PROXY_PAGE }, 'Upload failed', 'Try again', /502/],
    ['an older host', 'upload', { errormessage: 'could not upload file to project (503)' }, 'Upload failed', 'Try again', /^(?!.*503)/]
  ];
  for (const [name, reached, members, heading, button, summary] of ERRORS) {
    formTest(`after ${name}: a heading of its kind, a summary from the members, the buttons first, the raw text in Details to copy`, async (page) => {
      await h.waitForSent(page, 'apploaded');
      if (reached) await h.deliver(page, 'navigate', { target: 'uploadform' });
      if (reached === 'upload') await upload(page);
      await h.deliver(page, 'navigate', { target: 'errorscreen', ...members });
      assert.equal(await text(page, '#error-heading'), heading);
      assert.equal(await text(page, '#another-after-error'), button);
      assert.match(await text(page, '#error-summary'), summary);
      assert.doesNotMatch(await text(page, '#error-summary'), /404|Bad Gateway/);
      assert.equal(await page.locator('#error-message').isVisible(), false);
      assert.equal(await page.locator('#back-to-form').isVisible(), reached !== null);
      const box = await page.locator('#another-after-error').boundingBox();
      assert.ok(box.y + box.height <= 700, 'Try again at ' + box.y);
      await page.click('#error-details summary');
      assert.equal(await text(page, '#error-message'), members.errormessage);
      assert.ok((await page.locator('#error-message').boundingBox()).height < 300);
      await page.context().grantPermissions(['clipboard-read', 'clipboard-write']);
      await page.click('#copy-details');
      await page.locator('#copy-result').getByText('Copied.').waitFor();
      assert.equal(await page.evaluate(() => navigator.clipboard.readText()), members.errormessage);
      if (reached === null) {
        // A failed sign-in is asked for again, once.
        await page.dblclick('#another-after-error');
        await page.click('#another-after-error');
        assert.deepEqual(await h.sentWith(page, 'uploadanotherproject'), [{ action: 'uploadanotherproject', data: {} }]);
      }
    }, { form: false, width: 420, height: 700 });
  }

  formTest('"Try again" repeats the upload once, into the project it had created, also after a second failure; "Back to form" keeps the settings', async (page) => {
    await toolpath(page);
    await page.selectOption('#material-one', 'PETG');
    const first = await upload(page, 'Again');
    const retry = { projectID: 'made-1', uploadType: 'toolpath', printcoreOne: first.data.printcoreOne, materialOne: 'PETG',
      printcoreTwo: first.data.printcoreTwo, materialTwo: first.data.materialTwo };
    for (const round of [1, 2]) {
      await h.deliver(page, 'navigate', { target: 'errorscreen', kind: 'server', status: '500', projectid: 'made-1', errormessage: 'x' });
      await page.dblclick('#another-after-error');
      await page.click('#another-after-error');
      assert.deepEqual((await h.sentWith(page, 'selectproject')).map((m) => m.data), Array(round).fill(retry));
      await page.clock.fastForward(1500);
    }
    assert.equal((await h.sentWith(page, 'createproject')).length, 1);
    // Back to the form before the host took the retry up: the settings are kept, nothing is sent,
    // and the form says why it cannot upload.
    const before = (await h.sent(page)).length;
    await page.click('#back-to-form');
    assert.deepEqual([await page.inputValue('#project-name'), await page.inputValue('#material-one')], ['Again', 'PETG']);
    assert.equal((await h.sent(page)).length, before);
    assert.ok(await page.locator('#upload-button').isDisabled());
    assert.ok(await page.locator('#upload-busy').isVisible());
  }, { clock: true });
});

test.describe('success', () => {
  // [how the upload was chosen, upload type, success text]
  const OUTCOMES = [
    ['a new project', async (page) => upload(page, 'Fresh ' + MALICIOUS_NAME), 'new-id',
      `Your design is now in ${isolated('Fresh ' + MALICIOUS_NAME)}.`],
    ['an existing project, as a print job', async (page) => {
      await h.deliver(page, 'materials', { printer: PRINTER });
      await listProjects(page, 'proj-1');
      await page.check('#type-toolpath');
      await page.click('#upload-button');
    }, 'proj-1', `Your print job is now in ${isolated(UNICODE_NAME)}.`]
  ];
  for (const [name, choose, projectid, success] of OUTCOMES) {
    formTest(`success into ${name} names the project and what went up`, async (page) => {
      await choose(page);
      await h.deliver(page, 'navigate', { target: 'progressscreen' });
      await h.deliver(page, 'navigate', { target: 'successscreen', projectid });
      assert.equal(await text(page, '#success-text'), success);
      // The two ways on, one above the other, of one width.
      const [open, another] = await Promise.all(['#open-button', '#another-after-success'].map((b) => page.locator(b).boundingBox()));
      assert.deepEqual([open.x, open.width], [another.x, another.width]);
    }, { width: 420 });
  }

  formTest('each button sends one message per click burst', async (page) => {
    const id = 'b7e1c2d3-0000-4abc-9def-1234567890ab';
    await upload(page, 'Done soon');
    await h.deliver(page, 'navigate', { target: 'successscreen', projectid: id });
    await page.dblclick('#open-button');
    assert.deepEqual(await h.sentWith(page, 'openfabriqo'), [{ action: 'openfabriqo', data: { projectid: id } }]);
    await page.clock.fastForward(1500);
    await page.click('#open-button');
    assert.equal((await h.sentWith(page, 'openfabriqo')).length, 2);
    await page.dblclick('#another-after-success');
    await page.click('#another-after-success');
    assert.deepEqual(await h.sentWith(page, 'uploadanotherproject'), [{ action: 'uploadanotherproject', data: {} }]);
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.equal(await page.inputValue('#project-name'), '');
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
        const card = getComputedStyle(f.closest('.card'));
        const own = getComputedStyle(f);
        return { id: f.id, border: own.borderTopColor, field: own.backgroundColor, card: card.backgroundColor, ink: own.color };
      }));
      for (const c of colours) {
        assert.ok(contrast(c.border, c.field) >= 3 && contrast(c.border, c.card) >= 3, JSON.stringify(c));
        assert.ok(contrast(c.ink, c.field) >= 4.5, JSON.stringify(c));
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

  formTest('at 320 px nothing scrolls sideways and every print core and material is readable', async (page) => {
    await toolpath(page, 'Stratavox Forge Composite ' + 'Extended-Build-Volume-'.repeat(8));
    for (const [selector, value] of [['#printcore-one', 'CC 0.6'], ['#material-one', 'Breakaway'], ['#printcore-two', 'Not used'], ['#material-two', 'Tough PLA']]) {
      await page.selectOption(selector, { label: value });
      const room = await page.$eval(selector, (select) => {
        const style = getComputedStyle(select);
        const context = document.createElement('canvas').getContext('2d');
        context.font = `${style.fontSize} ${style.fontFamily}`;
        const arrow = 24;
        return select.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight) - arrow -
          context.measureText(select.selectedOptions[0].textContent).width;
      });
      assert.ok(room >= 0, `${selector} "${value}" lacks ${-room} px`);
    }
    assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth));
  }, { width: 320 });
});
