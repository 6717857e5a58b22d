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

async function toForm(page) {
  await h.deliver(page, 'navigate', { target: 'uploadform' });
}

async function uploading(page) {
  await toForm(page);
  await h.deliverList(page, PROJECTS, 'p1');
  await page.click('#upload-button');
  await h.deliver(page, 'navigate', { target: 'progressscreen' });
  await h.progress(page, 'uploading', '120000000', '286000000', '12300000');
}

// [file name, how to get there]
const SCREENS = [
  ['finishing-sign-in', async () => {}],
  ['sign-in-slow', (page) => page.clock.fastForward(31000)],
  ['sign-in-failed', (page) => h.deliver(page, 'navigate', { target: 'errorscreen', kind: 'connect', errormessage: 'could not authenticate (4294967295)' })],
  ['loading-projects', toForm],
  ['projects-slow', async (page) => { await toForm(page); await page.clock.fastForward(31000); }],
  ['form', async (page) => {
    await toForm(page);
    await h.deliver(page, 'materials', { printer: PRINTER });
    await h.deliverList(page, PROJECTS, 'p1');
    await page.check('#type-toolpath');
    await page.selectOption('#material-two', '');
  }],
  ['form-with-search', async (page) => {
    await toForm(page);
    await h.deliverList(page, h.manyProjects(20000), 'p250');
    await page.fill('#project-search', 'part 1999');
  }],
  ['progress', uploading],
  ['cancelling', async (page) => { await uploading(page); await page.click('#cancel-button'); }],
  ['cancel-unconfirmed', async (page) => { await uploading(page); await page.click('#cancel-button'); await page.clock.fastForward(31000); }],
  ['waiting-for-service', async (page) => { await uploading(page); await page.clock.fastForward(6000); }],
  ['cancelled', async (page) => {
    await toForm(page);
    await h.deliverList(page, PROJECTS, 'p1');
    await page.check('#mode-new');
    await page.fill('#project-name', 'Gate bracket, left');
    await page.click('#upload-button');
    await h.deliver(page, 'navigate', { target: 'progressscreen' });
    await h.progress(page, 'uploading', '1000000', '286000000', '12300000');
    await page.click('#cancel-button');
    // The cancel came after the project had been created: the form chooses it.
    await h.deliver(page, 'navigate', { target: 'uploadform', projectid: 'p9' });
    await h.deliverList(page, [...PROJECTS, { name: 'Gate bracket, left', description: '', id: 'p9' }], 'p9');
  }],
  ['error-server', async (page) => {
    await uploading(page);
    await h.deliver(page, 'navigate', { target: 'errorscreen', kind: 'server', status: '502',
      errormessage: 'could not upload file to project (502)' + PROXY_PAGE });
    await page.click('#error-details summary');
  }],
  ['error-file', async (page) => {
    await uploading(page);
    await h.deliver(page, 'navigate', { target: 'errorscreen', kind: 'file', errormessage: 'could not export design' });
  }],
  ['success', async (page) => {
    await uploading(page);
    await h.deliver(page, 'navigate', { target: 'successscreen', projectid: 'p1' });
  }]
];

let browser;

// Text rendering differs by a few pixels from run to run; a picture is only
// rewritten when it changed visibly, so a test run leaves the tree clean.
async function keepIfChanged(file, shot) {
  if (fs.existsSync(file)) {
    const page = await browser.context.newPage();
    const changed = await page.evaluate(async ([before, after]) => {
      const pixels = async (b64) => {
        const image = new Image();
        image.src = 'data:image/png;base64,' + b64;
        await image.decode();
        const canvas = document.createElement('canvas');
        canvas.width = image.width;
        canvas.height = image.height;
        const context = canvas.getContext('2d');
        context.drawImage(image, 0, 0);
        return context.getImageData(0, 0, image.width, image.height);
      };
      const [a, b] = [await pixels(before), await pixels(after)];
      if (a.width !== b.width || a.height !== b.height) return true;
      let differing = 0;
      for (let i = 0; i < a.data.length; i += 4) {
        if (Math.abs(a.data[i] - b.data[i]) + Math.abs(a.data[i + 1] - b.data[i + 1]) +
            Math.abs(a.data[i + 2] - b.data[i + 2]) > 48) differing++;
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
      for (const [name, reach] of SCREENS) {
        const { page, problems } = await h.openPage(browser, { clock: true, width, height: 700, colorScheme });
        await h.waitForSent(page, 'apploaded');
        await reach(page);
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
