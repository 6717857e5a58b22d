// The button icons that the host loads from the four resource folders.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');

const ROOT = path.join(__dirname, '..', '..');
const FOLDERS = ['resources_html', 'resources_opensvq', 'resources_logout', 'resources_createSetup'];
const FILES = { '16x16.png': 16, '32x32.png': 32, '64x64.png': 64, '16x16@2x.png': 32, '32x32@2x.png': 64 };
const SIGNATURE = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);

function chunks(png) {
  const out = [];
  for (let at = 8; at < png.length;) {
    const length = png.readUInt32BE(at);
    out.push({ type: png.toString('latin1', at + 4, at + 8), data: png.subarray(at + 8, at + 8 + length) });
    at += 12 + length;
  }
  return out;
}

// Alpha of the top-left pixel of an 8-bit RGBA image. On the first scanline
// every PNG filter predicts the first pixel from zeros, so its stored bytes
// are its own whatever the filter byte says.
function cornerAlpha(png) {
  const idat = Buffer.concat(chunks(png).filter((c) => c.type === 'IDAT').map((c) => c.data));
  const raw = zlib.inflateSync(idat);
  assert.ok(raw[0] <= 4, 'first scanline filter');
  return raw[4];
}

test('each folder has every size as an RGBA PNG with a transparent background, each drawn on its own', () => {
  const drawn = new Set();
  for (const folder of FOLDERS) {
    for (const [file, pixels] of Object.entries(FILES)) {
      const name = `${folder}/${file}`;
      const png = fs.readFileSync(path.join(ROOT, folder, file));
      const header = chunks(png)[0];
      // [signature, first chunk, width, height, bit depth, colour type (RGBA), alpha of the corner]
      assert.deepEqual([png.subarray(0, 8).equals(SIGNATURE), header.type, header.data.readUInt32BE(0), header.data.readUInt32BE(4),
        header.data[8], header.data[9], cornerAlpha(png)], [true, 'IHDR', pixels, pixels, 8, 6, 0], name);
      drawn.add(png.toString('base64'));
    }
  }
  // No size is a copy of another, and the four folders carry different glyphs.
  assert.equal(drawn.size, FOLDERS.length * Object.keys(FILES).length);
});
