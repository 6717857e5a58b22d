#!/usr/bin/env node
// Draws the toolbar button icons of the four resource folders from the
// vector glyphs below and writes them as PNG files with transparency:
// 16x16.png, 32x32.png, 64x64.png and the double-density 16x16@2x.png and
// 32x32@2x.png. A development tool (run: npm run icons); the page never
// loads it and the PNG files are committed, so building needs no browser.
//
// Glyphs are drawn on a 64-unit grid. Small icons get thicker strokes so
// that lines stay at least about 1.5 pixels wide.
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const { chromium } = require('playwright-core');

const INK = '#34495e';
const ACCENT = '#1667c7';
const ROOT = path.join(__dirname, '..');

const GLYPHS = {
  // Upload to the cloud service.
  resources_html: (sw) => `
    <path d="M18 52h29a12 12 0 0 0 2-23.8A17 17 0 0 0 16.4 26 13 13 0 0 0 18 52z"
          fill="none" stroke="${INK}" stroke-width="${sw}" stroke-linejoin="round"/>
    <path d="M32 46V30m-8 8 8-8 8 8" fill="none" stroke="${ACCENT}" stroke-width="${sw}"
          stroke-linecap="round" stroke-linejoin="round"/>`,
  // Open the web application in the browser.
  resources_opensvq: (sw) => `
    <path d="M28 10H15a7 7 0 0 0-7 7v32a7 7 0 0 0 7 7h32a7 7 0 0 0 7-7V36"
          fill="none" stroke="${INK}" stroke-width="${sw}" stroke-linecap="round" stroke-linejoin="round"/>
    <path d="M38 8h18v18M55 9 30 34" fill="none" stroke="${ACCENT}" stroke-width="${sw}"
          stroke-linecap="round" stroke-linejoin="round"/>`,
  // Sign out.
  resources_logout: (sw) => `
    <path d="M28 8H15a7 7 0 0 0-7 7v34a7 7 0 0 0 7 7h13"
          fill="none" stroke="${INK}" stroke-width="${sw}" stroke-linecap="round" stroke-linejoin="round"/>
    <path d="M25 32h30M44 20l12 12-12 12" fill="none" stroke="${ACCENT}" stroke-width="${sw}"
          stroke-linecap="round" stroke-linejoin="round"/>`,
  // Create an additive setup: a printer frame with a part on the bed, and a plus.
  resources_createSetup: (sw) => `
    <rect x="${sw / 2 + 3}" y="${sw / 2 + 3}" width="${44 - sw}" height="${46 - sw}" rx="4"
          fill="none" stroke="${INK}" stroke-width="${sw}"/>
    <path d="M6 18h40" stroke="${INK}" stroke-width="${sw * 0.8}"/>
    <path d="M20 18h12l-3 8h-6z" fill="${INK}"/>
    <rect x="18" y="32" width="16" height="9" fill="${ACCENT}"/>
    <circle cx="49" cy="49" r="14" fill="${ACCENT}"/>
    <path d="M49 41v16M41 49h16" stroke="#ffffff" stroke-width="${Math.max(sw * 0.9, 4)}"
          stroke-linecap="round"/>`
};

// File name, pixel size, logical size (which picks the stroke width).
const OUTPUTS = [
  ['16x16.png', 16, 16], ['32x32.png', 32, 32], ['64x64.png', 64, 64],
  ['16x16@2x.png', 32, 16], ['32x32@2x.png', 64, 32]
];

function strokeFor(logicalSize) {
  if (logicalSize <= 16) return 6.5;
  if (logicalSize <= 32) return 5;
  return 4.5;
}

async function main() {
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync']
  });
  try {
    for (const [folder, glyph] of Object.entries(GLYPHS)) {
      for (const [file, pixels, logical] of OUTPUTS) {
        const page = await browser.newPage({ viewport: { width: pixels, height: pixels } });
        await page.setContent(`<!DOCTYPE html><html><body style="margin:0;background:transparent">
          <svg xmlns="http://www.w3.org/2000/svg" width="${pixels}" height="${pixels}" viewBox="0 0 64 64"
               style="display:block">${glyph(strokeFor(logical))}</svg></body></html>`);
        const target = path.join(ROOT, folder, file);
        fs.mkdirSync(path.dirname(target), { recursive: true });
        await page.screenshot({ path: target, omitBackground: true, clip: { x: 0, y: 0, width: pixels, height: pixels } });
        await page.close();
        console.log('wrote', path.relative(ROOT, target));
      }
    }
  } finally {
    await browser.close();
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
