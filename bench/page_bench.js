// The palette page with large project lists, in the system's headless
// Chromium against the stand-in host the page tests use: how long from the
// "projectlist" message to the next painted frame, and from a keystroke in
// the search to the next painted frame, with 10, 5,000 and 20,000 projects.
// Each figure is the median of several runs, each on a freshly opened page;
// the ratio is to 10 projects, measured in the same run.
//
//   node bench/page_bench.js [--ratios-only] [--benchmark_filter=REGEX]
//   PAGE_DIR=/elsewhere/resources_html node bench/page_bench.js   # another copy of the page
'use strict';

const h = require('../tests/page/harness.js');

const SIZES = [10, 5000, 20000];
const RUNS = 7;
const WORDS = ['Gear', 'Bracket', 'Housing', 'Clip', 'Mount', 'Hinge', 'Spacer', 'Knob', 'Cover', 'Adapter'];

// Names as a workshop writes them: a part, a number, a revision.
const projects = (count) => Array.from({ length: count }, (_, i) => ({
  name: `${WORDS[i % WORDS.length]} ${Math.floor(i / WORDS.length) + 1} rev ${String.fromCharCode(65 + (i % 7))}`,
  description: i % 4 === 0 ? 'Printed in PETG, 0.2 mm layers' : '',
  id: 'p' + i
}));

// Runs in the page: `work` starts the measured step; the time ends when
// the frame after it has been painted.
async function timeToPaint(page, work, arg) {
  return page.evaluate(async ([source, value]) => {
    const start = performance.now();
    new Function('value', source)(value);
    await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
    return performance.now() - start;
  }, [work, arg]);
}

const DELIVER = "window.qrvnPalette.receive('projectlist', value);";
const KEYSTROKE = "const search = document.getElementById('project-search');" +
  "search.value = value; search.dispatchEvent(new Event('input', { bubbles: true }));";

async function measure(browser, count) {
  const message = h.hostJson({ projectlist: h.encodedList(projects(count)), defaultprojectid: 'p' + Math.floor(count / 2) });
  const painted = [];
  const typed = [];
  for (let run = 0; run < RUNS; run++) {
    const { page } = await h.openForm(browser);
    painted.push(await timeToPaint(page, DELIVER, message));
    typed.push(await timeToPaint(page, KEYSTROKE, 'g'));
    await page.close();
  }
  const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];
  return { painted: median(painted), typed: median(typed), bytes: message.length };
}

function table(rows, withFigures) {
  const cells = [withFigures ? ['benchmark', 'parameter', 'figure', 'ratio'] : ['benchmark', 'parameter', 'ratio'],
    ...rows.map((r) => withFigures ? r : [r[0], r[1], r[3]])];
  const widths = cells[0].map((_, i) => Math.max(3, ...cells.map((line) => line[i].length)));
  const line = (values) => '| ' + values.map((v, i) => v.padEnd(widths[i])).join(' | ') + ' |';
  return [line(cells[0]), '|' + widths.map((w) => '-'.repeat(w + 2)).join('|') + '|', ...cells.slice(1).map(line)].join('\n');
}

async function main() {
  const args = process.argv.slice(2);
  const filter = args.find((a) => a.startsWith('--benchmark_filter='));
  if (filter && !new RegExp(filter.split('=')[1]).test('page')) return;
  const browser = await h.launchBrowser();
  const results = [];
  try {
    for (const count of SIZES) results.push({ count, ...(await measure(browser, count)) });
  } finally {
    await browser.close();
  }
  const base = results[0];
  const ms = (value) => value.toFixed(value < 10 ? 1 : 0) + ' ms';
  const rows = [];
  for (const [name, key] of [['page: list painted', 'painted'], ['page: keystroke filtered', 'typed']]) {
    for (const r of results) {
      rows.push([name, `${r.count} projects` + (key === 'painted' ? ` (${Math.round(r.bytes / 1000)} kB)` : ''),
        ms(r[key]), (r[key] / base[key]).toFixed(2)]);
    }
  }
  console.log(table(rows, !args.includes('--ratios-only')));
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
