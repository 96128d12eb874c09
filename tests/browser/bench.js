'use strict';
// How fast the playground page is in headless Chromium, printed as Markdown
// for docs/performance.md: the bundle, the page ready with the demo rig, a
// generated scene of 10^5 items opened, every command from its press to its
// drawing, and the module's time per host call in wasm beside the native .so
// on the same walks. Run by scripts/bench-playground.sh; never a test.
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const support = require('./support');

const ITEMS = Number(process.env.QZ_BENCH_ITEMS || 100000);
const REPEAT = Number(process.env.QZ_BENCH_REPEAT || 5);
const PATTERN = '*_L_*'; // over objects, as bench.sh's by-name search
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const ms = (value) => (value < 10 ? value.toFixed(1) : value.toFixed(0));

// Marks in the page: the press (a command's click, Enter in its panel, a file
// chosen) and the first frame after the page is no longer busy.
function instrument() {
  window.qzBench = { start: 0, end: 0, ready: 0 };
  const mark = () => requestAnimationFrame(() => setTimeout(() => (window.qzBench.end = performance.now())));
  new MutationObserver((changes) => {
    for (const change of changes) {
      const body = change.target;
      if (change.attributeName === 'data-ready' && body.dataset.ready && !window.qzBench.ready)
        requestAnimationFrame(() => setTimeout(() => (window.qzBench.ready = performance.now())));
      if (change.attributeName === 'data-busy' && !body.dataset.busy && window.qzBench.start) mark();
    }
  }).observe(document, { attributes: true, subtree: true, attributeFilter: ['data-ready', 'data-busy'] });
  const press = () => {
    window.qzBench.start = performance.now();
    window.qzBench.end = 0;
  };
  document.addEventListener('click', (event) => event.target.closest('.commands button') && press(), true);
  document.addEventListener('change', (event) => event.target.type === 'file' && press(), true);
  document.addEventListener('keydown', (event) => event.key === 'Enter' && event.target.closest('dialog') && press(), true);
}

async function pressed(page) {
  await page.waitForFunction(() => window.qzBench.end > window.qzBench.start, null, { timeout: 600000 });
  return page.evaluate(() => window.qzBench.end - window.qzBench.start);
}

async function freshPage(browser) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 900 } });
  await context.addInitScript(instrument);
  const page = await context.newPage();
  await page.goto(support.pageUrl);
  await page.locator('body[data-ready=true]').waitFor();
  await page.waitForFunction(() => window.qzBench.ready > 0);
  return page;
}

// Sets a selection of many rows the way clicks do, without scrolling to each.
async function selectIds(page, ids) {
  await page.evaluate((ids) => {
    const rows = document.getElementById('outliner-rows');
    ids.forEach((id, index) => {
      const row = document.createElement('div');
      row.setAttribute('role', 'treeitem');
      row.dataset.id = id;
      rows.append(row);
      row.dispatchEvent(new MouseEvent('click', { bubbles: true, ctrlKey: index > 0 }));
      row.remove();
    });
  }, ids);
}

// The page served with the headers that isolate it, so that its clock ticks in
// 5 us rather than the 100 us a page from disk gets: the module's timings want
// the finer clock; what a user sees is timed on the page opened from disk.
async function isolatedPage(browser) {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };
  const server = http.createServer((request, response) => {
    const file = path.join(support.playground, path.basename(new URL(request.url, 'http://page').pathname));
    if (!fs.existsSync(file)) return response.writeHead(404).end();
    response.writeHead(200, {
      'Content-Type': types[path.extname(file)] || 'application/octet-stream',
      'Cross-Origin-Opener-Policy': 'same-origin',
      'Cross-Origin-Embedder-Policy': 'require-corp',
    });
    response.end(fs.readFileSync(file));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const page = await (await browser.newContext()).newPage();
  await page.goto(`http://127.0.0.1:${server.address().port}/index.html`);
  await page.locator('body[data-ready=true]').waitFor();
  if (!(await page.evaluate(() => crossOriginIsolated))) throw new Error('bench: the served page is not isolated');
  return { page, close: () => server.close() };
}

async function main() {
  const scratch = support.scratchDir();
  // QZ_BENCH_SCENE: a scene file to use instead of generating one.
  const big = process.env.QZ_BENCH_SCENE || path.join(scratch, `mixed-${ITEMS}.lws`);
  if (!process.env.QZ_BENCH_SCENE) support.hostsim('save', big, '--shape', 'mixed', '--items', String(ITEMS));
  const out = [];
  const browser = await support.launch();
  try {
    out.push(`Chromium ${browser.version()} headless; ${ITEMS} items in the generated scene; medians of ${REPEAT}.`, '');

    const files = fs.readdirSync(support.playground).sort();
    const sizes = files.map((file) => [file, fs.statSync(path.join(support.playground, file)).size]);
    const total = sizes.reduce((sum, [, size]) => sum + size, 0);
    out.push('| what | measured |', '|---|---|');
    out.push(`| the bundle (\`dist/playground/\`) | ${(total / 1048576).toFixed(2)} MiB: ` +
      sizes.map(([file, size]) => `${file} ${(size / 1024).toFixed(0)} KiB`).join(', ') + ' |');

    const ready = [];
    for (let run = 0; run < REPEAT; ++run) {
      const page = await freshPage(browser);
      ready.push(await page.evaluate(() => window.qzBench.ready));
      await page.context().close();
    }
    out.push(`| opened to ready with the demo rig drawn | ${ms(median(ready))} ms (${ready.map(ms).join(', ')}) |`);

    const page = await freshPage(browser);
    const loads = [];
    for (let run = 0; run < REPEAT; ++run) {
      await page.getByLabel('Open scene').setInputFiles(big);
      loads.push(await pressed(page));
    }
    out.push(`| a ${ITEMS}-item scene chosen to drawn | ${ms(median(loads))} ms (${loads.map(ms).join(', ')}) |`, '');

    const items = await page.evaluate(async (bytes) => {
      const host = await QzHost.create();
      return host.openScene('big.lws', Uint8Array.from(bytes)).items.map((item) => item.id);
    }, [...fs.readFileSync(big)]);
    const selections = {
      one: [items[Math.floor(items.length / 2)]],
      '1 %': items.filter((_, index) => index % 100 === 0),
    };
    const commands = await page.locator('.commands button').allTextContents();

    out.push('From the press of a command to its outcome drawn (ms, median of runs):', '');
    out.push(`| command | ${Object.keys(selections).map((name) => `${name} selected`).join(' | ')} |`);
    out.push(`|---|${Object.keys(selections).map(() => '---:').join('|')}|`);
    const rows = new Map(commands.map((command) => [command, []]));
    for (const [name, ids] of Object.entries(selections)) {
      await selectIds(page, ids);
      for (const command of commands) {
        const times = [];
        for (let run = 0; run < REPEAT; ++run) {
          await page.getByRole('button', { name: command, exact: true }).click();
          if (command === 'QZ_Sel_ByName') {
            const box = page.getByRole('dialog').getByRole('textbox');
            await box.fill(PATTERN);
            await box.press('Enter');
          }
          times.push(await pressed(page));
          await page.getByRole('button', { name: 'Undo' }).click();
        }
        rows.get(command).push(`${ms(median(times))} (${ms(Math.max(...times))})`);
        console.error(`${command} ${name}: ${times.map(ms).join(' ')}`);
      }
    }
    for (const [command, cells] of rows) out.push(`| ${command}${command === 'QZ_Sel_ByName' ? ` \`${PATTERN}\` objects` : ''} | ${cells.join(' | ')} |`);
    out.push('', 'The slowest run in brackets.', '');

    // The same walks timed in wasm (QzHost.time: the activation and its floor, as hostsim time measures them)
    // and natively, one after the other. A walk of under 100 us is within 20 ticks of the page's clock.
    out.push('The module per host call, wasm in Chromium beside the native `.so` (`hostsim time`), the same walks,',
      'the page served isolated for its finer clock:', '');
    out.push('| command | selected | host calls | wasm ns/call | native ns/call | wasm ÷ native | floor: wasm ÷ native |',
      '|---|---|---:|---:|---:|---:|---:|');
    const isolated = await isolatedPage(browser);
    const ratios = [];
    try {
      for (const [name, ids] of Object.entries(selections)) {
        const timed = commands.filter((c) => c !== 'QZ_Sel_ByName');
        const native = JSON.parse(support.hostsim('time', ...timed, '--scene', big, '--select', ...ids, '--json'));
        const wasm = await isolated.page.evaluate(
          async ({ bytes, ids, timed }) => {
            const host = await QzHost.create();
            host.openScene('big.lws', Uint8Array.from(bytes));
            return timed.map((command) => host.time({ command, selection: ids }));
          },
          { bytes: [...fs.readFileSync(big)], ids, timed },
        );
        for (const [index, entry] of native.commands.entries()) {
          const w = wasm[index];
          const perCall = (seconds) => ((seconds.median / entry.calls) * 1e9).toFixed(1);
          if (!w.moduleSeconds || w.moduleSeconds.median < 100e-6) {
            out.push(`| ${entry.command} | ${name} | ${entry.calls} | under the clock | ${perCall(entry.moduleSeconds)} | | |`);
            continue;
          }
          const ratio = w.moduleSeconds.median / entry.moduleSeconds.median;
          ratios.push(ratio);
          const floorRatio = w.floorSeconds && entry.floorSeconds ? `${(w.floorSeconds.median / entry.floorSeconds.median).toFixed(2)}×` : '';
          out.push(`| ${entry.command} | ${name} | ${entry.calls} | ${perCall(w.moduleSeconds)} | ` +
            `${perCall(entry.moduleSeconds)} | ${ratio.toFixed(2)}× | ${floorRatio} |`);
        }
      }
    } finally {
      isolated.close();
    }
    const geomean = Math.exp(ratios.reduce((sum, ratio) => sum + Math.log(ratio), 0) / ratios.length);
    out.push('', `Geometric mean of wasm ÷ native over the walks timed: ${geomean.toFixed(2)}×.`);
  } finally {
    await browser.close();
    fs.rmSync(scratch, { recursive: true, force: true });
  }
  console.log(out.join('\n'));
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
