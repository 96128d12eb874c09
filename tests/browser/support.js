'use strict';
// What the browser tests share: Debian's Chromium driven headless, the page
// opened from its folder as a user double-clicks it, and native hostsim to
// compare with.
const { chromium } = require('playwright-core');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const root = path.resolve(__dirname, '../..');
const playground = path.resolve(root, process.env.QZ_PLAYGROUND || 'dist/playground');
const hostsimPath = path.resolve(root, process.env.QZ_HOSTSIM || 'build/native-test/bin/hostsim');
const pageUrl = pathToFileURL(path.join(playground, 'index.html')).href;
// Screenshots and scenes the tests write, kept to be looked at after a run.
const outputDir = path.resolve(root, process.env.QZ_BROWSER_OUTPUT || 'build/browser-test');
fs.mkdirSync(outputDir, { recursive: true });

async function launch() {
  return chromium.launch({ executablePath: process.env.QZ_CHROMIUM || '/usr/bin/chromium', headless: true });
}

// A fresh page with the demo rig shown; every request it makes after loading
// is recorded in page.requestsAfterLoad.
async function openPage(browser, { viewport = { width: 1280, height: 900 }, deviceScaleFactor = 1 } = {}) {
  const context = await browser.newContext({ viewport, deviceScaleFactor });
  const page = await context.newPage();
  page.pageErrors = [];
  page.on('pageerror', (error) => page.pageErrors.push(String(error)));
  page.requests = [];
  page.on('request', (request) => page.requests.push(request.url()));
  await page.goto(pageUrl);
  await page.locator('body[data-ready=true]').waitFor();
  await page.getByRole('treeitem').first().waitFor();
  page.requestsWhileLoading = page.requests.splice(0);
  return page;
}

// Waits until a command, or a scene being opened, has been run and drawn.
async function settled(page) {
  await page.waitForFunction(() => document.body.dataset.ready === 'true' && !document.body.dataset.busy);
}

// Presses a command's button and waits for what it did to be drawn; a panel
// the command opens is handed to the given user first.
async function press(page, command, user) {
  await page.getByRole('button', { name: command, exact: true }).click();
  if (user) await user(page.getByRole('dialog'));
  await settled(page);
}

function hostsim(...args) {
  return execFileSync(hostsimPath, args, { encoding: 'utf8', maxBuffer: 64 << 20, stdio: ['ignore', 'pipe', 'pipe'] });
}

function hostsimJson(...args) {
  return JSON.parse(hostsim(...args, '--json'));
}

// The message hostsim prints for a scene it refuses, without "hostsim list: ".
function readerError(file) {
  try {
    execFileSync(hostsimPath, ['list', '--scene', path.basename(file)], { cwd: path.dirname(file), stdio: 'pipe' });
  } catch (error) {
    return error.stderr.toString().trim().replace(/^hostsim list: /, '');
  }
  throw new Error(`hostsim read ${file} without an error`);
}

function scratchDir() {
  return fs.mkdtempSync(path.join(os.tmpdir(), 'qz-browser-'));
}

// Waits until the page has drawn what a scroll or a click changed.
async function drawn(page) {
  await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
}

// The tree keeps only the rows in view in the document: scroll until the row
// is there.
async function row(page, { name, id }) {
  const wanted = id ? page.locator(`[role=treeitem][data-id="${id}"]`) : page.getByRole('treeitem', { name, exact: true });
  const tree = page.getByRole('tree');
  if ((await wanted.count()) > 0) return wanted.first();
  await tree.evaluate((element) => (element.scrollTop = 0));
  for (;;) {
    await drawn(page);
    if ((await wanted.count()) > 0) return wanted.first();
    const moved = await tree.evaluate((element) => {
      const before = element.scrollTop;
      element.scrollTop += Math.max(element.clientHeight - 40, 20);
      return element.scrollTop !== before;
    });
    if (!moved) throw new Error(`no row ${name ?? id} in the outliner`);
  }
}

// Click the first, Ctrl-click the rest: the selection in that order.
async function selectRows(page, targets) {
  for (const [index, target] of targets.entries()) {
    const modifiers = index === 0 ? [] : ['Control'];
    const wanted = await row(page, target);
    await wanted.click({ modifiers });
    // A click that lands while the outliner redraws the rows a scroll brought
    // into view can miss its row (seen about once in twenty runs); the row must
    // end selected, so click once more rather than report the test's own race.
    await drawn(page);
    if ((await (await row(page, target)).getAttribute('aria-selected')) !== 'true') {
      await (await row(page, target)).click({ modifiers });
    }
  }
}

async function linesSent(page) {
  return page.getByRole('list', { name: 'Lines sent' }).getByRole('listitem').allTextContents();
}

// Every row of the outliner, scrolled through: {id, name, place}, place the
// row's number in the selection or 0.
async function allRows(page) {
  const tree = page.getByRole('tree');
  const seen = new Map();
  await tree.evaluate((element) => (element.scrollTop = 0));
  for (;;) {
    await drawn(page);
    const rows = await tree.getByRole('treeitem').evaluateAll((rows) =>
      rows.map((row) => ({
        id: row.dataset.id,
        name: row.getAttribute('aria-label'),
        place: row.getAttribute('aria-selected') === 'true' ? Number(row.querySelector('.place').textContent) : 0,
      })),
    );
    for (const row of rows) seen.set(row.id, row);
    const moved = await tree.evaluate((element) => {
      const before = element.scrollTop;
      element.scrollTop += element.clientHeight;
      return element.scrollTop !== before;
    });
    if (!moved) return [...seen.values()];
  }
}

// The selection the outliner shows, in the order of its rows' places.
async function selectedIds(page) {
  const rows = (await allRows(page)).filter((row) => row.place > 0);
  return rows.sort((a, b) => a.place - b.place).map((row) => row.id);
}

// A replay line split as a POSIX shell splits it; anything the shell would
// expand or run is refused rather than guessed at.
function shellWords(line) {
  const words = [];
  let word = null;
  for (let i = 0; i < line.length; ++i) {
    const c = line[i];
    if (c === ' ' && word === null) continue;
    if (c === ' ') {
      words.push(word);
      word = null;
    } else if (c === "'") {
      const end = line.indexOf("'", i + 1);
      if (end < 0) throw new Error(`an unclosed quote in ${line}`);
      word = (word ?? '') + line.slice(i + 1, end);
      i = end;
    } else if (c === '"') {
      let end = i + 1;
      word = word ?? '';
      for (; end < line.length && line[end] !== '"'; ++end) {
        if ('$`'.includes(line[end])) throw new Error(`the shell would expand ${line[end]} in ${line}`);
        if (line[end] === '\\' && '$`"\\\n'.includes(line[end + 1])) ++end;
        word += line[end];
      }
      if (end >= line.length) throw new Error(`an unclosed quote in ${line}`);
      i = end;
    } else if (c === '\\' && i + 1 < line.length) {
      word = (word ?? '') + line[++i];
    } else if ('$`;&|<>()*?[{~#\n'.includes(c)) {
      throw new Error(`the shell would read ${JSON.stringify(c)} in ${line} as more than text`);
    } else {
      word = (word ?? '') + c;
    }
  }
  if (word !== null) words.push(word);
  return words;
}

// Runs a page's replay line with native hostsim in the folder given, for its JSON.
function replay(line, cwd) {
  const words = shellWords(line);
  if (words[0] !== 'hostsim' || words[1] !== 'run') throw new Error(`not a hostsim run line: ${line}`);
  return JSON.parse(execFileSync(hostsimPath, [...words.slice(1), '--json'], { cwd, encoding: 'utf8' }));
}

// Opens a scene file with the file chooser and waits until it is shown (or refused).
async function openScene(page, file) {
  await page.getByLabel('Open scene').setInputFiles(file);
  await page.waitForFunction(
    (name) => document.getElementById('scene-name').textContent.startsWith(name) ||
      !document.getElementById('scene-error').hidden,
    path.basename(file),
  );
  await settled(page);
}

// The tour's steps: each line the arguments of "hostsim run" after the command.
function tourSteps() {
  const text = fs.readFileSync(path.join(root, 'examples/tour.txt'), 'utf8');
  return text
    .split('\n')
    .filter((line) => line.trim() && !line.startsWith('#'))
    .map((line) => {
      const [command, ...words] = line.trim().split(/\s+/);
      const step = { command, select: [], kind: null, pattern: null, dismiss: false };
      let option = null;
      for (const word of words) {
        if (word.startsWith('--')) {
          option = word.slice(2);
          if (option === 'dismiss') step.dismiss = true;
        } else if (option === 'select') step.select.push(word);
        else step[option] = word;
      }
      return step;
    });
}

// The golden transcript's steps: the lines sent and the selection after.
function goldenTour() {
  const text = fs.readFileSync(path.join(root, 'tests/golden/tour.txt'), 'utf8');
  const steps = [];
  for (const line of text.split('\n')) {
    if (line.startsWith('== ')) steps.push({ title: line.slice(3), lines: [], after: [], message: null });
    else if (line.startsWith('  ')) steps.at(-1).lines.push(line.trim());
    else if (line.startsWith('message: ')) steps.at(-1).message = line.slice(9);
    else if (line.startsWith('after: ') && line !== 'after: (nothing)')
      steps.at(-1).after = line.slice(7).split(', ').map((entry) => entry.split(' ')[0]);
  }
  return steps;
}

module.exports = {
  root,
  playground,
  pageUrl,
  hostsimPath,
  outputDir,
  launch,
  openPage,
  settled,
  press,
  allRows,
  replay,
  shellWords,
  openScene,
  hostsim,
  hostsimJson,
  readerError,
  scratchDir,
  row,
  selectRows,
  linesSent,
  selectedIds,
  tourSteps,
  goldenTour,
};
