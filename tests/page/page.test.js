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

async function formPage(options) {
  const opened = await h.openPage(browser, options);
  await h.waitForSent(opened.page, 'apploaded');
  await h.deliver(opened.page, 'navigate', { target: 'uploadform' });
  return opened;
}

async function options(page, selector) {
  return page.$$eval(selector + ' option', (os) =>
    os.map((o) => ({ text: o.textContent, value: o.value, selected: o.selected })));
}

async function assertNoInjection(page, problems) {
  assert.deepEqual(problems, []);
  assert.equal(await page.evaluate(() => window.__pwned), undefined);
  assert.equal(await page.locator('img').count(), 0);
  assert.equal(await page.locator('script').count(), 4);
}

test.describe('start-up and bridge', () => {
  test('sends "apploaded" once with an empty object and waits for the host', async () => {
    const { page, problems } = await h.openPage(browser);
    const loaded = await h.waitForSent(page, 'apploaded');
    assert.deepEqual(loaded, [{ action: 'apploaded', data: {} }]);
    assert.deepEqual(await h.visibleScreens(page), ['waiting']);
    assert.deepEqual(problems, []);
    await page.close();
  });

  test('without a host object the page queues its messages and delivers them once the host appears', async () => {
    const { page, problems } = await h.openPage(browser, { withHost: false });
    assert.equal(await page.evaluate(() => typeof window.qrvnPalette.receive), 'function');
    await page.evaluate(() => {
      window.__sent = [];
      window.qrvnHost = { sendToHost(action, data) { window.__sent.push({ action, data }); } };
    });
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.deepEqual(await h.sent(page), [{ action: 'apploaded', data: {} }]);
    assert.deepEqual(await h.visibleScreens(page), ['uploadform']);
    assert.deepEqual(problems, []);
    await page.close();
  });

  test('ignores data that is not a JSON object of strings and unknown actions', async () => {
    const { page, problems } = await formPage();
    for (const [action, data] of [['navigate', 'not json'], ['navigate', '[1,2]'], ['navigate', '{"target":5}'],
      ['navigate', '{"target":"nowhere"}'], ['Navigate', h.hostJson({ target: 'errorscreen' })], ['bogus', '{}']]) {
      await h.deliverRaw(page, action, data);
    }
    assert.deepEqual(await h.visibleScreens(page), ['uploadform']);
    await h.deliver(page, 'navigate', { target: 'progressscreen' });
    assert.deepEqual(await h.visibleScreens(page), ['progressscreen']);
    assert.deepEqual(problems, []);
    await page.close();
  });
});

test.describe('screens', () => {
  test('each navigate target shows its screen and only that one', async () => {
    const { page, problems } = await formPage();
    assert.deepEqual(await h.visibleScreens(page), ['uploadform']);
    for (const target of ['progressscreen', 'successscreen', 'errorscreen', 'uploadform', 'progressscreen']) {
      await h.deliver(page, 'navigate', { target, projectid: 'p', errormessage: 'e' });
      assert.deepEqual(await h.visibleScreens(page), [target], target);
      assert.ok(await page.locator(`section[data-screen="${target}"]`).isVisible(), target);
    }
    assert.deepEqual(problems, []);
    await page.close();
  });

  test('the error screen shows the service text literally, or a fallback when it is empty', async () => {
    const { page, problems } = await formPage();
    const text = 'could not create project (500) <b>' + BREAKOUT_NAME;
    await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: text });
    assert.equal(await page.locator('#error-message').textContent(), text);
    assert.equal(await page.locator('#error-message *').count(), 0);
    await assertNoInjection(page, problems);

    await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: '' });
    const fallback = await page.locator('#error-message').textContent();
    assert.ok(fallback.length > 0 && fallback !== text);
    await page.close();
  });
});

test.describe('project list', () => {
  test('shows UTF-8 and markup-like names literally and preselects the default project', async () => {
    const { page, problems } = await formPage();
    await h.deliver(page, 'projectlist', { projectlist: h.encodedList(PROJECTS), defaultprojectid: 'proj-2' });
    assert.deepEqual(await options(page, '#project-select'), PROJECTS.map((p) => ({
      text: p.name, value: p.id, selected: p.id === 'proj-2'
    })));
    assert.ok(await page.locator('#mode-existing').isChecked());
    assert.equal(await page.locator('#project-summary').textContent(), BREAKOUT_NAME);

    await page.selectOption('#project-select', 'proj-1');
    assert.equal(await page.locator('#project-summary').textContent(), PROJECTS[0].description);
    await assertNoInjection(page, problems);
    await page.close();
  });

  test('without a known default the first project is chosen; a new list keeps the user\'s choice', async () => {
    const { page } = await formPage();
    await h.deliver(page, 'projectlist', { projectlist: h.encodedList(PROJECTS), defaultprojectid: 'gone' });
    assert.equal(await page.inputValue('#project-select'), 'proj-1');
    await page.selectOption('#project-select', 'proj-3');
    await h.deliver(page, 'projectlist', { projectlist: h.encodedList(PROJECTS) });
    assert.equal(await page.inputValue('#project-select'), 'proj-3');
    await page.close();
  });

  test('an empty list leaves only "new project" and says so', async () => {
    const { page, problems } = await formPage();
    await h.deliver(page, 'projectlist', { projectlist: h.encodedList([]) });
    assert.ok(await page.locator('#mode-existing').isDisabled());
    assert.ok(await page.locator('#mode-new').isChecked());
    assert.ok(await page.locator('#project-name').isVisible());
    assert.ok(await page.locator('#project-list-status').isVisible());
    assert.deepEqual(problems, []);
    await page.close();
  });

  test('a malformed list shows an error on the page and reports it to the host', async () => {
    const { page, problems } = await formPage();
    await h.deliver(page, 'projectlist', { projectlist: h.encodedList(PROJECTS) });
    await h.deliver(page, 'projectlist', { projectlist: '%7B%22broken', defaultprojectid: 'proj-1' });
    const status = page.locator('#project-list-status');
    assert.ok(await status.isVisible());
    assert.match(await status.textContent(), /could not be read/);
    assert.equal(await page.locator('#project-select option').count(), 0);
    assert.ok(await page.locator('#mode-new').isChecked());
    const reports = await h.waitForSent(page, 'messagedlg');
    assert.deepEqual(Object.keys(reports[0].data), ['message', 'title']);
    assert.match(reports[0].data.message, /project list/);
    assert.deepEqual(problems, []);
    await page.close();
  });
});

test.describe('uploading', () => {
  const EMPTY_PRINTER = { printcoreOne: '', materialOne: '', printcoreTwo: '', materialTwo: '' };

  test('"createproject" for a design carries all seven members, printer fields empty, keys sorted', async () => {
    const { page } = await formPage();
    await h.deliver(page, 'projectlist', { projectlist: h.encodedList(PROJECTS) });
    await page.check('#mode-new');
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
    const raw = await page.evaluate(() => window.__sent.find((m) => m.action === 'createproject').data);
    const keys = Object.keys(JSON.parse(raw));
    assert.deepEqual(keys, [...keys].sort());
    await page.close();
  });

  test('"createproject" for a toolpath carries the chosen print cores and materials', async () => {
    const { page } = await formPage();
    await page.fill('#project-name', 'Toolpath project');
    await page.check('#type-toolpath');
    assert.ok(await page.locator('#printer-settings').isVisible());
    await page.selectOption('#printcore-one', 'AA 0.8');
    await page.selectOption('#material-one', 'Tough PLA');
    await page.selectOption('#printcore-two', '');
    await page.selectOption('#material-two', '');
    await page.click('#upload-button');
    const [message] = await h.waitForSent(page, 'createproject');
    assert.deepEqual(message.data, {
      projectName: 'Toolpath project', projectDescription: '', uploadType: 'toolpath',
      printcoreOne: 'AA 0.8', materialOne: 'Tough PLA', printcoreTwo: '', materialTwo: ''
    });
    await page.close();
  });

  test('"selectproject" carries the chosen project and, for a design, empty printer fields', async () => {
    const { page } = await formPage();
    await h.deliver(page, 'projectlist', { projectlist: h.encodedList(PROJECTS), defaultprojectid: 'proj-1' });
    await page.selectOption('#project-select', 'proj-2');
    // Settings chosen for a toolpath are not sent once the user goes back to a design.
    await page.check('#type-toolpath');
    await page.selectOption('#material-one', 'ABS');
    await page.check('#type-design');
    assert.ok(await page.locator('#printer-settings').isHidden());
    await page.click('#upload-button');
    const [message] = await h.waitForSent(page, 'selectproject');
    assert.deepEqual(message.data, { projectID: 'proj-2', uploadType: 'design', ...EMPTY_PRINTER });
    assert.equal((await h.sentWith(page, 'createproject')).length, 0);
    await page.close();
  });

  test('"materials" names the printer and preselects its defaults, which a toolpath upload then sends', async () => {
    const { page, problems } = await formPage();
    const printer = 'Stratavox Forge Composite <i>';
    const expected = printers.defaultsFor(printer);
    assert.notDeepEqual(expected, printers.defaultsFor(''));
    await h.deliver(page, 'materials', { printer });
    assert.equal(await page.locator('#printer-name').textContent(), 'Printer: ' + printer);
    await h.deliver(page, 'projectlist', { projectlist: h.encodedList(PROJECTS), defaultprojectid: 'proj-3' });
    await page.check('#type-toolpath');
    assert.equal(await page.inputValue('#printcore-one'), expected.printcoreOne);
    await page.click('#upload-button');
    const [message] = await h.waitForSent(page, 'selectproject');
    assert.deepEqual(message.data, { projectID: 'proj-3', uploadType: 'toolpath', ...expected });
    await assertNoInjection(page, problems);
    await page.close();
  });

  test('"materials" without a printer says there is no active setup and keeps the general defaults', async () => {
    const { page } = await formPage();
    await h.deliver(page, 'materials', { printer: 'Stratavox Forge Composite' });
    await h.deliver(page, 'materials', {});
    await page.check('#type-toolpath');
    assert.match(await page.locator('#printer-name').textContent(), /No active setup/);
    const general = printers.defaultsFor('');
    assert.deepEqual({
      printcoreOne: await page.inputValue('#printcore-one'),
      materialOne: await page.inputValue('#material-one'),
      printcoreTwo: await page.inputValue('#printcore-two'),
      materialTwo: await page.inputValue('#material-two')
    }, general);
    await page.close();
  });

  test('a new project needs a name; nothing is sent without one', async () => {
    const { page } = await formPage();
    await page.fill('#project-name', '   ');
    await page.click('#upload-button');
    assert.ok(await page.locator('#form-error').isVisible());
    assert.equal((await h.sentWith(page, 'createproject')).length, 0);
    await page.fill('#project-name', 'Named');
    await page.click('#upload-button');
    await h.waitForSent(page, 'createproject');
    assert.ok(await page.locator('#form-error').isHidden());
    await page.close();
  });

  test('a second click sends nothing until the host shows the form again', async () => {
    const { page } = await formPage();
    await page.fill('#project-name', 'Once');
    await page.click('#upload-button');
    await page.locator('#upload-button').click({ force: true });
    assert.equal((await h.sentWith(page, 'createproject')).length, 1);
    await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: 'could not export design' });
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.ok(await page.locator('#upload-button').isEnabled());
    assert.equal(await page.inputValue('#project-name'), 'Once');
    await page.click('#upload-button');
    assert.equal((await h.waitForSent(page, 'createproject', 2)).length, 2);
    await page.close();
  });
});

test.describe('after the upload', () => {
  test('the success screen opens the uploaded project and offers another upload', async () => {
    const { page } = await formPage();
    await page.fill('#project-name', 'Done soon');
    await page.click('#upload-button');
    await h.deliver(page, 'navigate', { target: 'progressscreen' });
    await h.deliver(page, 'navigate', { projectid: 'b7e1c2d3-0000-4abc-9def-1234567890ab', target: 'successscreen' });
    await page.click('#open-button');
    const [open] = await h.waitForSent(page, 'openfabriqo');
    assert.deepEqual(open.data, { projectid: 'b7e1c2d3-0000-4abc-9def-1234567890ab' });
    await page.click('#another-after-success');
    const [another] = await h.waitForSent(page, 'uploadanotherproject');
    assert.deepEqual(another.data, {});
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.equal(await page.inputValue('#project-name'), '');
    await page.close();
  });

  test('the error screen offers another attempt', async () => {
    const { page } = await formPage();
    await h.deliver(page, 'navigate', { errormessage: 'Could not find CAM Document.', target: 'errorscreen' });
    await page.click('#another-after-error');
    const [another] = await h.waitForSent(page, 'uploadanotherproject');
    assert.deepEqual(another.data, {});
    assert.equal((await h.sentWith(page, 'openfabriqo')).length, 0);
    await page.close();
  });
});
