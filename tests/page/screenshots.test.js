// Every screen of the page at the widths of a side panel (420 px) and a
// narrow one (320 px), in the light and the dark scheme. The pictures go to
// docs/screenshots/ (the README shows them); each screen must fit its width
// without scrolling sideways.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const h = require('./harness.js');

const OUT = path.join(__dirname, '..', '..', 'docs', 'screenshots');
const PRINTER = 'Stratavox Forge Composite Extended Build Volume Edition';
const PROJECTS = [
  { name: 'Bracket for the garden gate', description: 'Left and right bracket, PETG.', id: 'p1' },
  { name: 'invoice\u202Egpj.exe', description: '', id: 'p2' },
  { name: 'Küche ☕ 東京', description: '', id: 'p3' }
];
const PROXY_PAGE = '<!DOCTYPE html><html><head><title>502 Bad Gateway</title></head><body>' +
  '<h1>Bad Gateway</h1><p>The proxy server received an invalid response from an upstream server.</p>'.repeat(25) + '</body></html>';

// Steps the screens are reached by.
const toForm = (page) => h.deliver(page, 'navigate', { target: 'uploadform' });
const later = (ms) => (page) => page.clock.fastForward(ms);
const cancel = (page) => page.click('#cancel-button');
const error = (members) => (page) => h.deliver(page, 'navigate', { target: 'errorscreen', ...members });
// An upload 42 % done, into a new project called `name` or else the remembered one.
async function uploading(page, name) {
  await toForm(page);
  await h.deliverList(page, PROJECTS, 'p1');
  if (name) {
    await page.check('#mode-new');
    await page.fill('#project-name', name);
  }
  await page.click('#upload-button');
  await h.deliver(page, 'navigate', { target: 'progressscreen' });
  await h.progress(page, 'uploading', '120000000', '286000000', '12300000');
}

// [file name, the steps that get there]
const SCREENS = [
  ['finishing-sign-in', []],
  ['sign-in-slow', [later(31000)]],
  ['sign-in-failed', [error({ kind: 'connect', errormessage: 'could not authenticate (4294967295)' })]],
  ['loading-projects', [toForm]],
  ['projects-slow', [toForm, later(31000)]],
  ['form', [toForm, (page) => h.deliver(page, 'materials', { printer: PRINTER }), (page) => h.deliverList(page, PROJECTS, 'p1'),
    (page) => page.check('#type-toolpath'), (page) => page.selectOption('#material-two', '')]],
  ['form-with-search', [toForm, (page) => h.deliverList(page, h.manyProjects(20000), 'p250'), (page) => page.fill('#project-search', 'part 1999')]],
  ['progress', [uploading]],
  ['cancelling', [uploading, cancel]],
  ['cancel-unconfirmed', [uploading, cancel, later(31000)]],
  ['waiting-for-service', [uploading, later(6000)]],
  // The cancel came after the project had been created: the form chooses it.
  ['cancelled', [(page) => uploading(page, 'Gate bracket, left'), cancel,
    (page) => h.deliver(page, 'navigate', { target: 'uploadform', projectid: 'p9' }),
    (page) => h.deliverList(page, [...PROJECTS, { name: 'Gate bracket, left', description: '', id: 'p9' }], 'p9')]],
  ['error-server', [uploading, error({ kind: 'server', status: '502', errormessage: 'could not upload file to project (502)' + PROXY_PAGE }),
    (page) => page.click('#error-details summary')]],
  ['error-file', [uploading, error({ kind: 'file', errormessage: 'could not export design' })]],
  ['success', [uploading, (page) => h.deliver(page, 'navigate', { target: 'successscreen', projectid: 'p1' })]]
];

let browser;

// Text rendering differs by a few pixels from run to run; a picture is only
// rewritten when it changed visibly, so a test run leaves the tree clean.
async function keepIfChanged(file, shot) {
  if (fs.existsSync(file)) {
    const page = await browser.context.newPage();
    const changed = await page.evaluate(async (pictures) => {
      const [a, b] = await Promise.all(pictures.map(async (b64) => {
        const image = new Image();
        image.src = 'data:image/png;base64,' + b64;
        await image.decode();
        const context = Object.assign(document.createElement('canvas'), { width: image.width, height: image.height }).getContext('2d');
        context.drawImage(image, 0, 0);
        return context.getImageData(0, 0, image.width, image.height);
      }));
      if (a.width !== b.width || a.height !== b.height) return true;
      let differing = 0;
      for (let i = 0; i < a.data.length; i += 4) {
        if ([0, 1, 2].reduce((sum, c) => sum + Math.abs(a.data[i + c] - b.data[i + c]), 0) > 48) differing++;
      }
      return differing > 50;
    }, [fs.readFileSync(file).toString('base64'), shot.toString('base64')]);
    await page.close();
    if (!changed) return;
  }
  fs.writeFileSync(file, shot);
}

test.before(async () => {
  browser = await h.launchBrowser();
  fs.mkdirSync(OUT, { recursive: true });
});
test.after(async () => { if (browser) await browser.close(); });

for (const colorScheme of ['light', 'dark']) {
  for (const width of [420, 320]) {
    test(`every screen at ${width} px, ${colorScheme}`, async () => {
      for (const [name, steps] of SCREENS) {
        const { page, problems } = await h.openPage(browser, { clock: true, width, height: 700, colorScheme });
        await h.waitForSent(page, 'apploaded');
        for (const step of steps) await step(page);
        await page.mouse.move(0, 0);
        const overflow = await page.evaluate(() => document.documentElement.scrollWidth - innerWidth);
        assert.ok(overflow <= 0, `${name} scrolls ${overflow} px sideways`);
        const shot = await page.screenshot({ fullPage: true, animations: 'disabled' });
        await keepIfChanged(path.join(OUT, `${name}-${width}-${colorScheme}.png`), shot);
        assert.deepEqual(problems, [], name);
        await page.close();
      }
    });
  }
}
