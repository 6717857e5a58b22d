// The palette page in a real browser, talking to a fake host through the
// bridge: screens, project chooser, printer settings and every message the
// page sends.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const printers = require('../../resources_html/printers.js');
const h = require('./harness.js');

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

async function options(page, selector) {
  return page.$$eval(selector + ' option', (os) =>
    os.map((o) => ({ text: o.textContent, value: o.value, selected: o.selected })));
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
  formTest('each target shows its screen alone, focus moves to its heading, and the outcome is announced', async (page) => {
    for (const [target, spoken] of [['progressscreen', null], ['successscreen', /Upload complete/],
      ['errorscreen', /^[\w -]+\. E$/], ['uploadform', null], ['progressscreen', null]]) {
      await h.deliver(page, 'navigate', { target, projectid: 'p', errormessage: 'e' });
      assert.deepEqual(await h.visibleScreens(page), [target], target);
      assert.equal(await focusedId(page), target + ':H1', target);
      if (spoken) assert.match(await text(page, '#announcer'), spoken, target);
    }
    const raw = 'could not create project <b>' + BREAKOUT_NAME + '\n' + 'x'.repeat(200);
    await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: raw });
    assert.equal(await text(page, '#error-message'), raw);
    assert.equal(await page.locator('#screen-errorscreen *:not(div,h1,p,button,details,summary,pre,span)').count(), 0);
    await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: '' });
    assert.ok((await text(page, '#error-summary')).length > 0);
  });
});

test.describe('destination', () => {
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

test.describe('project chooser', () => {
  formTest('shows names literally and isolated, remembered first and marked, and keeps the user\'s choice', async (page) => {
    await listProjects(page, 'proj-2');
    assert.deepEqual(await options(page, '#project-select'), [PROJECTS[1], PROJECTS[0], PROJECTS[2]].map((p) => ({
      text: isolated(p.name) + (p.id === 'proj-2' ? ' ★ last used' : ''), value: p.id, selected: p.id === 'proj-2'
    })));
    assert.ok(await page.locator('#mode-existing').isChecked());
    assert.equal(await text(page, '#project-summary'), BREAKOUT_NAME);
    assert.equal(await text(page, '#project-count'), '3 projects');
    assert.ok(await page.locator('#project-search').isHidden());
    await page.selectOption('#project-select', 'proj-1');
    assert.equal(await text(page, '#project-summary'), PROJECTS[0].description);
    await listProjects(page, 'gone');
    assert.equal(await page.inputValue('#project-select'), 'proj-1');
  });

  formTest('300 projects: a search box, a count, and the remembered one first', async (page) => {
    const projects = h.manyProjects(300);
    await h.deliverList(page, projects, 'p250');
    assert.ok(await page.locator('#project-search').isVisible());
    assert.equal(await text(page, '#project-count'), '300 projects');
    const first = (await options(page, '#project-select'))[0];
    assert.deepEqual(first, { text: isolated('Part 250') + ' ★ last used', value: 'p250', selected: true });
    for (const [query, count, selected] of [['part 12', 13, 'p12'], ['PART 250', 1, 'p250'], ['nothing', 0, '']]) {
      await page.fill('#project-search', query);
      assert.equal(await page.locator('#project-select option').count(), count, query);
      assert.equal(await text(page, '#project-count'), `${count} of 300 projects match`, query);
      assert.equal(await page.inputValue('#project-select'), selected, query);
    }
    await page.click('#upload-button');
    assert.ok(await page.locator('#form-error').isVisible());
    await page.fill('#project-search', '');
    await h.deliverList(page, projects.slice(0, 10));
    assert.ok(await page.locator('#project-search').isHidden());
    assert.equal(await page.locator('#project-select option').count(), 10);
  });

  const LONG = 'Ω'.repeat(150) + 'x'.repeat(149) + '!';
  const NAMES = [
    ['a right-to-left override is shown, not obeyed', 'invoice\u202Egpj.exe', 'invoice[U+202E]gpj.exe'],
    ['300 characters', LONG, LONG]
  ];
  for (const [name, raw, shown] of NAMES) {
    formTest(name + ' (320 px)', async (page) => {
      await h.deliverList(page, [{ name: raw, description: '', id: 'x' }, ...PROJECTS]);
      const option = page.locator('#project-select option').first();
      assert.equal(await option.getAttribute('title'), shown);
      assert.ok((await option.textContent()).length <= 62);
      assert.equal(await text(page, '#project-chosen'), isolated(shown));
      assert.ok(await page.locator('#project-chosen').isVisible());
      assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth));
    }, { width: 320 });
  }

  formTest('a malformed list shows an error on the page and reports it to the host; an empty one leaves only "new project"', async (page) => {
    await listProjects(page);
    await h.deliver(page, 'projectlist', { projectlist: '%7B%22broken', defaultprojectid: 'proj-1' });
    assert.match(await text(page, '#project-list-status'), /could not be read/);
    assert.equal(await page.locator('#project-select option').count(), 0);
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

test.describe('waits that end', () => {
  // [what is awaited, how the page gets there, the line, the button]
  const WAITS = [
    ['sign-in', async () => {}, '#signin-slow', '#signin-retry'],
    ['the project list', (page) => h.deliver(page, 'navigate', { target: 'uploadform' }), '#project-list-status', '#list-retry']
  ];
  for (const [name, reach, line, button] of WAITS) {
    formTest(`after 30 s of waiting for ${name} the page says so and asks again once per click burst`, async (page) => {
      await h.waitForSent(page, 'apploaded');
      await reach(page);
      await page.clock.fastForward(29000);
      assert.ok(await page.locator(button).isHidden());
      await page.clock.fastForward(2000);
      assert.ok(await page.locator(line).isVisible());
      await page.dblclick(button);
      assert.equal((await h.sentWith(page, 'uploadanotherproject')).length, 1);
      assert.ok(await page.locator(button).isHidden());
      await page.clock.fastForward(31000);
      await page.click(button);
      assert.equal((await h.sentWith(page, 'uploadanotherproject')).length, 2);
    }, { form: false, clock: true });
  }
});

test.describe('uploading', () => {
  formTest('"createproject" for a design needs a name and carries all seven members, keys sorted', async (page) => {
    await listProjects(page);
    await page.check('#mode-new');
    await page.fill('#project-name', '   ');
    await page.click('#upload-button');
    assert.ok(await page.locator('#form-error').isVisible());
    assert.equal((await h.sentWith(page, 'createproject')).length, 0);

    await page.fill('#project-name', '  ' + UNICODE_NAME + ' ' + MALICIOUS_NAME + '  ');
    await page.fill('#project-description', 'Line one\nLine "two"');
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

    await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: 'could not export design' });
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.ok(await page.locator('#upload-button').isEnabled());
    assert.equal(await page.inputValue('#project-name'), 'Toolpath project');
    await page.click('#upload-button');
    const both = await h.waitForSent(page, 'createproject', 2);
    assert.deepEqual(both[1].data, message.data);
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
  // [phase, sent, total, rate, text, bar value (null: activity only)]
  const STEPS = [
    ['exporting', '0', '0', '0', 'Exporting…', null],
    ['uploading', '120000000', '286000000', '12300000', 'Uploading 42 % · 120 of 286 MB · 12.3 MB/s · about 14 s left', '42'],
    ['uploading', '286000000', '286000000', '9000000', 'Uploading 100 % · 286 of 286 MB · 9.0 MB/s', '100']
  ];
  formTest('"uploadprogress" drives the bar and the line; without it the bar only shows activity', async (page) => {
    await upload(page, undefined, true);
    assert.equal(await page.getAttribute('#progress-bar', 'aria-valuenow'), null);
    assert.ok(await page.locator('#cancel-button').isHidden());
    for (const [phase, sent, total, rate, line, value] of STEPS) {
      await h.progress(page, phase, sent, total, rate);
      assert.equal(await text(page, '#progress-text'), line);
      assert.equal(await page.getAttribute('#progress-bar', 'aria-valuenow'), value, line);
    }
    assert.match(await text(page, '#announcer'), /Uploading 100 %/);
    assert.ok(await page.locator('#cancel-button').isVisible());
  });

  formTest('two minutes without any message from the host say that it takes longer', async (page) => {
    await upload(page, undefined, true);
    for (const [advance, message, slow] of [[119000, true, false], [119000, false, false], [2000, false, true]]) {
      await page.clock.fastForward(advance);
      if (message) await h.progress(page, 'uploading', '1', '2', '1');
      assert.equal(await page.locator('#progress-slow').isVisible(), slow, String(advance));
    }
    await h.progress(page, 'uploading', '2', '2', '1');
    assert.ok(await page.locator('#progress-slow').isHidden());
  }, { clock: true });

  formTest('Cancel sends "cancelupload" once, and the form the host sends back says the upload was cancelled', async (page) => {
    await upload(page, undefined, true);
    await h.progress(page, 'uploading', '10', '100', '5');
    await page.dblclick('#cancel-button');
    await page.click('#cancel-button', { force: true });
    assert.deepEqual(await h.sentWith(page, 'cancelupload'), [{ action: 'cancelupload', data: {} }]);
    assert.equal(await text(page, '#cancel-button'), 'Cancelling…');
    const stopping = await text(page, '#progress-text');
    assert.doesNotMatch(stopping, /10 %/);
    await h.progress(page, 'uploading', '20', '100', '5');
    assert.equal(await text(page, '#progress-text'), stopping);

    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.ok(await page.locator('#cancel-note').isVisible());
    assert.ok(await page.locator('#upload-button').isEnabled());
    await page.click('#cancel-note-dismiss');
    assert.ok(await page.locator('#cancel-note').isHidden());
    assert.equal(await focusedId(page), 'uploadform:H1');
    await page.click('#upload-button');
    await h.waitForSent(page, 'createproject', 2);
  });
});

test.describe('errors', () => {
  const PROXY_PAGE = '<!DOCTYPE html><html><head><title>502 Bad Gateway</title></head><body>' +
    '<h1>Bad Gateway</h1><p>The proxy server received an invalid response.</p>'.repeat(30) + '</body></html>';
  // [how the page got there, error text, heading, summary, raw text in Details]
  const ERRORS = [
    ['sign-in', null, 'could not authenticate (4294967295)', 'Sign-in failed', /^Could not connect/, true],
    ['the list', 'form', 'could not retrieve projects (28)', 'Could not load your projects', /did not answer in time/, true],
    ['an upload, proxy page', 'upload', PROXY_PAGE, 'Upload failed', /could not understand/, true],
    ['an upload, export', 'upload', 'Could not find CAM Document.', 'Upload failed', /^Could not find CAM Document\.$/, false]
  ];
  for (const [name, reached, raw, heading, summary, details] of ERRORS) {
    formTest(`after ${name}: a heading of its kind, a plain summary and the buttons first`, async (page) => {
      await h.waitForSent(page, 'apploaded');
      if (reached) await h.deliver(page, 'navigate', { target: 'uploadform' });
      if (reached === 'upload') await upload(page);
      await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: raw });
      assert.equal(await text(page, '#error-heading'), heading);
      assert.match(await text(page, '#error-summary'), summary);
      assert.equal(await page.locator('#error-details').isVisible(), details);
      assert.equal(await page.locator('#error-message').isVisible(), false);
      assert.equal(await page.locator('#back-to-form').isVisible(), reached !== null);
      const button = await page.locator('#another-after-error').boundingBox();
      assert.ok(button.y + button.height <= 700, 'Try again at ' + button.y);
      if (details) {
        await page.click('#error-details summary');
        assert.equal(await text(page, '#error-message'), raw);
        const box = await page.locator('#error-message').boundingBox();
        assert.ok(box.height < 300, 'details box ' + box.height + ' px high');
      }
      if (reached === null) {
        // "Try again" after a failed sign-in asks the host to sign in again, once.
        await page.dblclick('#another-after-error');
        await page.click('#another-after-error');
        assert.deepEqual(await h.sentWith(page, 'uploadanotherproject'), [{ action: 'uploadanotherproject', data: {} }]);
      }
    }, { form: false, width: 420, height: 700 });
  }

  formTest('"Try again" repeats the same upload once; Copy takes the raw text; "Back to form" keeps the settings and sends nothing', async (page) => {
    await toolpath(page);
    await page.selectOption('#material-one', 'PETG');
    const first = await upload(page, 'Again');
    await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: 'the transfer stalled: no progress for 60 seconds' });
    await page.dblclick('#another-after-error');
    await page.click('#another-after-error');
    const both = await h.sentWith(page, 'createproject');
    assert.deepEqual(both.map((m) => m.data), [first.data, first.data]);

    // Copy puts the raw text on the clipboard.
    await page.context().grantPermissions(['clipboard-read', 'clipboard-write']);
    const raw = 'could not upload file content (413)\n<html>too large</html>';
    await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: raw });
    await page.click('#error-details summary');
    await page.click('#copy-details');
    await page.locator('#copy-result').getByText('Copied.').waitFor({ timeout: 5000 });
    assert.equal(await page.evaluate(() => navigator.clipboard.readText()), raw);
    const before = (await h.sent(page)).length;
    await page.click('#back-to-form');
    assert.deepEqual(await h.visibleScreens(page), ['uploadform']);
    assert.equal(await page.inputValue('#project-name'), 'Again');
    assert.equal(await page.inputValue('#material-one'), 'PETG');
    assert.equal((await h.sent(page)).length, before);
    assert.ok(await page.locator('#upload-button').isEnabled());
  });
});

test.describe('after the upload', () => {
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
      assert.equal(await text(page, '#another-after-success'), 'Upload another file');
    });
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
