// Shared fixtures for the page tests: the system's headless Chromium, the
// page from the work tree, and a fake host that records what the page sends
// and delivers messages framed the way the add-in frames them.
'use strict';

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const crypto = require('node:crypto');
const { pathToFileURL } = require('node:url');
const { chromium } = require('playwright-core');

const CHROMIUM = '/usr/bin/chromium';
// PAGE_DIR points the tests and the page benchmark at another copy of the
// page, e.g. an older one to compare with.
const PAGE_DIR = process.env.PAGE_DIR || path.join(__dirname, '..', '..', 'resources_html');
const PAGE_URL = pathToFileURL(path.join(PAGE_DIR, 'index.html')).href;

async function launchBrowser() {
  const userDataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'palette-page-'));
  const context = await chromium.launchPersistentContext(userDataDir, {
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync']
  });
  return {
    context,
    async close() {
      await context.close();
      fs.rmSync(userDataDir, { recursive: true, force: true });
    }
  };
}

// Installs the recording host before any page script runs.
function installFakeHost() {
  window.__sent = [];
  window.qrvnHost = {
    sendToHost(action, data) { window.__sent.push({ action, data }); }
  };
}

// Opens the page, without the host object when `withHost` is false; page
// errors and dialogs are collected for the test to check. `clock` puts the
// page's timers under the test's control; `width` and `colorScheme` set the
// panel's size and the system's scheme.
async function openPage(browser, { withHost = true, clock = false, width = 800, height = 800, colorScheme = 'light' } = {}) {
  const page = await browser.context.newPage();
  page.setDefaultTimeout(5000);
  const problems = [];
  page.on('pageerror', (error) => problems.push('pageerror: ' + error.message));
  // A blocked script, style or image (the page's CSP) shows up here.
  page.on('console', (message) => { if (message.type() === 'error') problems.push('console: ' + message.text()); });
  page.on('dialog', (dialog) => { problems.push('dialog: ' + dialog.message()); return dialog.dismiss(); });
  await page.setViewportSize({ width, height });
  await page.emulateMedia({ colorScheme });
  if (clock) await page.clock.install();
  if (withHost) await page.addInitScript(installFakeHost);
  await page.goto(PAGE_URL);
  return { page, problems };
}

// The page as a signed-in user first sees it: the form, before any list.
async function openForm(browser, options) {
  const opened = await openPage(browser, options);
  await waitForSent(opened.page, 'apploaded');
  await deliver(opened.page, 'navigate', { target: 'uploadform' });
  return opened;
}

const manyProjects = (count) => Array.from({ length: count }, (_, i) => ({
  name: 'Part ' + (i + 1), description: i % 3 === 0 ? 'Bracket revision ' + i : '', id: 'p' + (i + 1)
}));

const deliverList = (page, projects, defaultprojectid) =>
  deliver(page, 'projectlist', { projectlist: encodedList(projects), defaultprojectid });

const progress = (page, phase, sent = '0', total = '0', rate = '0') =>
  deliver(page, 'uploadprogress', { phase, sent, total, rate });

// The add-in's framing: "eventID" first, then the members in byte order.
function hostJson(members) {
  const framed = { eventID: crypto.randomBytes(16).toString('hex') };
  for (const key of Object.keys(members).sort()) framed[key] = members[key];
  return JSON.stringify(framed);
}

const deliverRaw = (page, action, dataText) => page.evaluate(([a, d]) => window.qrvnPalette.receive(a, d), [action, dataText]);
const deliver = (page, action, members) => deliverRaw(page, action, hostJson(members));

// The add-in's lenient percent-encoding of the project list's UTF-8 bytes.
const KEPT = /[A-Za-z0-9!#$&'()*+,\-./:;=?@_~]/;
function percentEncodeUri(text) {
  let out = '';
  for (const byte of Buffer.from(text, 'utf8')) {
    const ch = String.fromCharCode(byte);
    out += byte < 0x80 && KEPT.test(ch) ? ch : '%' + byte.toString(16).toUpperCase().padStart(2, '0');
  }
  return out;
}

const encodedList = (projects) => percentEncodeUri(JSON.stringify(projects.map((p) => ({
  projectName: p.name, projectDescription: p.description, projectID: p.id
}))));

// Every message the page has sent so far, with its data parsed.
async function sent(page) {
  const raw = await page.evaluate(() => window.__sent.slice());
  return raw.map((m) => ({ action: m.action, data: JSON.parse(m.data) }));
}

const sentWith = async (page, action) => (await sent(page)).filter((m) => m.action === action);

// Waits until the page has sent `count` messages named `action`.
async function waitForSent(page, action, count = 1) {
  await page.waitForFunction(([a, n]) =>
    window.__sent.filter((m) => m.action === a).length >= n, [action, count], { timeout: 5000 });
  return sentWith(page, action);
}

const visibleScreens = (page) => page.$$eval('section.screen', (sections) =>
  sections.filter((s) => !s.hidden && getComputedStyle(s).display !== 'none').map((s) => s.dataset.screen));

module.exports = {
  PAGE_DIR,
  launchBrowser, installFakeHost, openPage, openForm, manyProjects, deliverList, progress, deliver, deliverRaw, hostJson, percentEncodeUri, encodedList,
  sent, sentWith, waitForSent, visibleScreens
};
