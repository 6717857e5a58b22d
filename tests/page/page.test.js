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

// Runs `body` on a page that has loaded and been shown the upload form; no
// page error, dialog or injected markup may happen on the way.
function formTest(name, body) {
  test(name, async () => {
    const { page, problems } = await h.openPage(browser);
    await h.waitForSent(page, 'apploaded');
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    await body(page);
    assert.deepEqual(problems, []);
    assert.equal(await page.evaluate(() => window.__pwned), undefined);
    assert.equal(await page.locator('img').count(), 0);
    assert.equal(await page.locator('script').count(), 4);
    await page.close();
  });
}

async function options(page, selector) {
  return page.$$eval(selector + ' option', (os) =>
    os.map((o) => ({ text: o.textContent, value: o.value, selected: o.selected })));
}

async function listProjects(page, defaultprojectid) {
  await h.deliver(page, 'projectlist', { projectlist: h.encodedList(PROJECTS), defaultprojectid });
}

test.describe('start-up and bridge', () => {
  test('sends "apploaded" once with an empty object, waits for the host, and ignores what is not a message', async () => {
    const { page, problems } = await h.openPage(browser);
    assert.deepEqual(await h.waitForSent(page, 'apploaded'), [{ action: 'apploaded', data: {} }]);
    assert.deepEqual(await h.visibleScreens(page), ['waiting']);
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    for (const [action, data] of [['navigate', 'not json'], ['navigate', '[1,2]'], ['navigate', '{"target":5}'],
      ['navigate', '{"target":"nowhere"}'], ['Navigate', h.hostJson({ target: 'errorscreen' })], ['bogus', '{}']]) {
      await h.deliverRaw(page, action, data);
    }
    assert.deepEqual(await h.visibleScreens(page), ['uploadform']);
    assert.deepEqual(await h.sent(page), [{ action: 'apploaded', data: {} }]);
    assert.deepEqual(problems, []);
    await page.close();
  });

  test('without a host object the page queues its messages and delivers them once the host appears', async () => {
    const { page, problems } = await h.openPage(browser, { withHost: false });
    assert.equal(await page.evaluate(() => typeof window.qrvnPalette.receive), 'function');
    await page.evaluate(h.installFakeHost);
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.deepEqual(await h.sent(page), [{ action: 'apploaded', data: {} }]);
    assert.deepEqual(await h.visibleScreens(page), ['uploadform']);
    assert.deepEqual(problems, []);
    await page.close();
  });
});

test.describe('screens', () => {
  formTest('each navigate target shows its screen and only that one; errors show literally or a fallback', async (page) => {
    for (const target of ['progressscreen', 'successscreen', 'errorscreen', 'uploadform', 'progressscreen']) {
      await h.deliver(page, 'navigate', { target, projectid: 'p', errormessage: 'e' });
      assert.deepEqual(await h.visibleScreens(page), [target], target);
      assert.ok(await page.locator(`section[data-screen="${target}"]`).isVisible(), target);
    }
    const text = 'could not create project (500) <b>' + BREAKOUT_NAME;
    await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: text });
    assert.equal(await page.locator('#error-message').textContent(), text);
    assert.equal(await page.locator('#error-message *').count(), 0);
    await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: '' });
    const fallback = await page.locator('#error-message').textContent();
    assert.ok(fallback.length > 0 && fallback !== text);
  });
});

test.describe('project list', () => {
  formTest('shows names literally, preselects the default or the first, and a new list keeps the user\'s choice', async (page) => {
    await listProjects(page, 'proj-2');
    assert.deepEqual(await options(page, '#project-select'), PROJECTS.map((p) => ({
      text: p.name, value: p.id, selected: p.id === 'proj-2'
    })));
    assert.ok(await page.locator('#mode-existing').isChecked());
    assert.equal(await page.locator('#project-summary').textContent(), BREAKOUT_NAME);
    await page.selectOption('#project-select', 'proj-1');
    assert.equal(await page.locator('#project-summary').textContent(), PROJECTS[0].description);

    await listProjects(page, 'gone');
    assert.equal(await page.inputValue('#project-select'), 'proj-1');
    await page.selectOption('#project-select', 'proj-3');
    await listProjects(page);
    assert.equal(await page.inputValue('#project-select'), 'proj-3');
  });

  formTest('an empty list leaves only "new project" and says so', async (page) => {
    await h.deliver(page, 'projectlist', { projectlist: h.encodedList([]) });
    assert.ok(await page.locator('#mode-existing').isDisabled());
    assert.ok(await page.locator('#mode-new').isChecked());
    assert.ok(await page.locator('#project-name').isVisible());
    assert.ok(await page.locator('#project-list-status').isVisible());
  });

  formTest('a malformed list shows an error on the page and reports it to the host', async (page) => {
    await listProjects(page);
    await h.deliver(page, 'projectlist', { projectlist: '%7B%22broken', defaultprojectid: 'proj-1' });
    const status = page.locator('#project-list-status');
    assert.ok(await status.isVisible());
    assert.match(await status.textContent(), /could not be read/);
    assert.equal(await page.locator('#project-select option').count(), 0);
    assert.ok(await page.locator('#mode-new').isChecked());
    const reports = await h.waitForSent(page, 'messagedlg');
    assert.deepEqual(Object.keys(reports[0].data), ['message', 'title']);
    assert.match(reports[0].data.message, /project list/);
  });
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

  formTest('"createproject" for a toolpath carries the chosen settings, once until the form is shown again', async (page) => {
    await page.fill('#project-name', 'Toolpath project');
    await page.check('#type-toolpath');
    assert.ok(await page.locator('#printer-settings').isVisible());
    await page.selectOption('#printcore-one', 'AA 0.8');
    await page.selectOption('#material-one', 'Tough PLA');
    await page.selectOption('#printcore-two', '');
    await page.selectOption('#material-two', '');
    await page.click('#upload-button');
    await page.locator('#upload-button').click({ force: true });
    const [message] = await h.waitForSent(page, 'createproject');
    assert.deepEqual(message.data, {
      projectName: 'Toolpath project', projectDescription: '', uploadType: 'toolpath',
      printcoreOne: 'AA 0.8', materialOne: 'Tough PLA', printcoreTwo: '', materialTwo: ''
    });
    assert.equal((await h.sentWith(page, 'createproject')).length, 1);

    await h.deliver(page, 'navigate', { target: 'errorscreen', errormessage: 'could not export design' });
    await h.deliver(page, 'navigate', { target: 'uploadform' });
    assert.ok(await page.locator('#upload-button').isEnabled());
    assert.equal(await page.inputValue('#project-name'), 'Toolpath project');
    await page.click('#upload-button');
    const both = await h.waitForSent(page, 'createproject', 2);
    assert.deepEqual(both[1].data, message.data);
  });

  formTest('"selectproject" for a design sends empty printer fields, whatever was chosen for a toolpath', async (page) => {
    await listProjects(page, 'proj-1');
    await page.selectOption('#project-select', 'proj-2');
    await page.check('#type-toolpath');
    await page.selectOption('#material-one', 'ABS');
    await page.check('#type-design');
    assert.ok(await page.locator('#printer-settings').isHidden());
    await page.click('#upload-button');
    const [message] = await h.waitForSent(page, 'selectproject');
    assert.deepEqual(message.data, { projectID: 'proj-2', uploadType: 'design', ...EMPTY_PRINTER });
    assert.equal((await h.sentWith(page, 'createproject')).length, 0);
  });

  formTest('"materials" names the printer and preselects its defaults; without one the general defaults', async (page) => {
    const printer = 'Stratavox Forge Composite <i>';
    const expected = printers.defaultsFor(printer);
    const general = printers.defaultsFor('');
    assert.notDeepEqual(expected, general);
    const chosen = async () => ({
      printcoreOne: await page.inputValue('#printcore-one'),
      materialOne: await page.inputValue('#material-one'),
      printcoreTwo: await page.inputValue('#printcore-two'),
      materialTwo: await page.inputValue('#material-two')
    });
    await h.deliver(page, 'materials', { printer });
    await h.deliver(page, 'materials', {});
    await page.check('#type-toolpath');
    assert.match(await page.locator('#printer-name').textContent(), /No active setup/);
    assert.deepEqual(await chosen(), general);

    await h.deliver(page, 'materials', { printer });
    assert.equal(await page.locator('#printer-name').textContent(), 'Printer: ' + printer);
    assert.deepEqual(await chosen(), expected);
    await listProjects(page, 'proj-3');
    await page.click('#upload-button');
    const [message] = await h.waitForSent(page, 'selectproject');
    assert.deepEqual(message.data, { projectID: 'proj-3', uploadType: 'toolpath', ...expected });
  });
});

formTest('after the upload: success opens the project, both end screens offer another upload', async (page) => {
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

  await h.deliver(page, 'navigate', { errormessage: 'Could not find CAM Document.', target: 'errorscreen' });
  await page.click('#another-after-error');
  const again = await h.waitForSent(page, 'uploadanotherproject', 2);
  assert.deepEqual(again[1].data, {});
  assert.equal((await h.sentWith(page, 'openfabriqo')).length, 1);
});
