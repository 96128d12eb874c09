'use strict';
// The page sends what native hostsim sends: the same random scenes, commands,
// selections and update modes run through the page's QzHost and through
// `hostsim run --updates all`, and a few of them through the page's controls.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const support = require('./support');

const RUNS = Number(process.env.QZ_PARITY_RUNS || 200);
const RUNS_PER_SCENE = 5;
const KINDS = ['object', 'light', 'camera', 'bone'];
const MODES = ['deferred', 'live', 'snapshot'];

// A small seeded generator, so that a failing run is the same run next time.
function random(seed) {
  let state = seed >>> 0;
  return (below) => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return (((t ^ (t >>> 14)) >>> 0) % below);
  };
}

// Every run as native hostsim takes it: command, scene seed, selection ids and
// what the user does in the panel.
function plannedRuns(commands) {
  const next = random(19);
  const runs = [];
  const scenes = new Map();
  for (let index = 0; index < RUNS; ++index) {
    const seed = 1 + Math.floor(index / RUNS_PER_SCENE);
    if (!scenes.has(seed)) scenes.set(seed, support.hostsimJson('list', '--scene', sceneFile(seed)).items);
    const items = scenes.get(seed);
    const pool = [...items];
    const selection = [];
    for (let count = 1 + next(4); count > 0 && pool.length; --count) selection.push(pool.splice(next(pool.length), 1)[0].id);
    const run = { seed, command: commands[index % commands.length], selection, kind: null, pattern: null, dismiss: false };
    if (run.command === 'QZ_Sel_ByName') {
      const plain = items.filter((item) => /^[\x21-\x7e]+$/.test(item.name) && !item.name.includes('*'));
      const name = plain.length ? plain[next(plain.length)].name : '';
      run.pattern = [name, `${name.slice(0, 2)}*`, '*', `*${name.slice(-1)}`][next(4)];
      run.kind = KINDS[next(KINDS.length)];
      run.dismiss = next(5) === 0;
    }
    runs.push(run);
  }
  return runs;
}

function panelArguments(run) {
  if (run.dismiss) return ['--dismiss'];
  return run.pattern === null ? [] : ['--kind', run.kind, '--pattern', run.pattern];
}

let browser;
let page;
let scratch;

before(async () => {
  browser = await support.launch();
  page = await support.openPage(browser);
  scratch = support.scratchDir();
});

after(async () => {
  await browser?.close();
  if (scratch) fs.rmSync(scratch, { recursive: true, force: true });
});

function sceneFile(seed) {
  const file = path.join(scratch, `random-${seed}.lws`);
  if (!fs.existsSync(file)) support.hostsim('save', file, '--random', String(seed));
  return file;
}

// Runs a scene's share of the plan in the page, one module per update mode (the
// module remembers its panel for its life, as native hostsim's fresh module per
// mode does not: a command with a panel gets a module of its own).
async function runInPage(fileName, bytes, runs) {
  return page.evaluate(
    async ({ fileName, bytes, runs, modes, kinds }) => {
      const scene = Uint8Array.from(bytes);
      const panelUser = (run) => {
        let step = 0;
        return async (view) => {
          if (run.dismiss) return { type: 'cancel' };
          const choice = view.controls.find((control) => control.items.length > 0);
          const wanted = kinds.indexOf(run.kind);
          if (step === 0 && (++step, choice.choice !== wanted)) return { type: 'key', key: 0x31 + wanted };
          if (step === 1 && ++step) return { type: 'text', text: run.pattern };
          return { type: 'ok' };
        };
      };
      const shared = {};
      const hostFor = async (mode, ownModule) => {
        if (!ownModule && shared[mode]) return shared[mode];
        const host = await QzHost.create();
        host.openScene(fileName, scene);
        if (!ownModule) shared[mode] = host;
        return host;
      };
      const outcomes = [];
      for (const run of runs) {
        const byMode = {};
        for (const mode of modes) {
          const host = await hostFor(mode, run.pattern !== null || run.dismiss);
          byMode[mode] = await host.run({
            command: run.command,
            selection: run.selection,
            updates: mode,
            panel: panelUser(run),
          });
        }
        outcomes.push(byMode);
      }
      return outcomes;
    },
    { fileName, bytes: [...bytes], runs, modes: MODES, kinds: KINDS },
  );
}

test(`${RUNS} random runs through QzHost send what native hostsim sends in every update mode`, async () => {
  const commands = await page.evaluate(async () => (await QzHost.create()).commands().map((command) => command.name));
  assert.equal(commands.length, 11);
  const runs = plannedRuns(commands);
  const failures = [];
  let compared = 0;
  let differing = 0; // runs whose modes send different lines: the modes must really be the page's
  for (const seed of new Set(runs.map((run) => run.seed))) {
    const file = sceneFile(seed);
    const sceneRuns = runs.filter((run) => run.seed === seed);
    const outcomes = await runInPage(path.basename(file), fs.readFileSync(file), sceneRuns);
    sceneRuns.forEach((run, index) => {
      const replay = ['run', run.command, '--scene', file, '--select', ...run.selection, ...panelArguments(run)];
      const native = support.hostsimJson(...replay, '--updates', 'all');
      if (native.differs) ++differing;
      for (const expected of native.modes) {
        const got = outcomes[index][expected.updates];
        const problem = [
          ['result', got.result, expected.result],
          ['lines', got.lines, expected.lines],
          ['selection after', got.selection, expected.after],
          ['messages', got.messages.map((message) => message.text), expected.messages.map((message) => message.text)],
        ].find(([, value, wanted]) => JSON.stringify(value) !== JSON.stringify(wanted));
        if (problem)
          failures.push(`hostsim ${replay.join(' ')} --updates ${expected.updates}: ${problem[0]} ` +
            `${JSON.stringify(problem[1])}, native ${JSON.stringify(problem[2])}`);
        ++compared;
      }
      // The page's own replay line, run natively where the scene file is, repeats the run.
      const got = outcomes[index][MODES[index % MODES.length]];
      const replayed = support.replay(got.command, scratch);
      if (JSON.stringify(replayed.lines) !== JSON.stringify(got.lines))
        failures.push(`the page's replay line ${got.command} sends ${JSON.stringify(replayed.lines)}`);
    });
  }
  assert.equal(compared, RUNS * MODES.length);
  assert.ok(differing > 0 || RUNS < 50, 'no run where the update modes differ');
  assert.deepEqual(failures, []);
});

test('runs through the page controls match native hostsim', async () => {
  const ui = await support.openPage(browser, { viewport: { width: 1280, height: 1400 } });
  const commands = ['QZ_Sel_Child', 'QZ_Sel_Parent', 'QZ_Sel_Descendant', 'QZ_Sel_Hierarchy', 'QZ_Sel_Sibling',
    'QZ_Sel_Throwback', 'QZ_Sel_AllNulls', 'QZ_Sel_AllObjects', 'QZ_Add_Child', 'QZ_Add_Parent'];
  const plan = plannedRuns(commands).filter((run) => run.seed <= 4).slice(0, 12);
  for (const [index, run] of plan.entries()) {
    const file = sceneFile(run.seed);
    await support.openScene(ui, file);
    const mode = MODES[index % MODES.length];
    await chooseMode(ui, mode);
    await support.selectRows(ui, run.selection.map((id) => ({ id })));
    await support.press(ui, run.command);
    const native = support.hostsimJson('run', run.command, '--scene', file, '--select', ...run.selection,
      '--updates', mode);
    const replay = `${run.command} --random ${run.seed} --select ${run.selection.join(' ')} --updates ${mode}`;
    assert.deepEqual(await support.linesSent(ui), native.lines, replay);
    assert.deepEqual(new Set(await support.selectedIds(ui)), new Set(native.after), replay);
  }
  assert.deepEqual(ui.pageErrors, []);
});

// The page's timings are worth comparing with native ones only if they time the same walk.
test('QzHost.time times the walk native hostsim time times', async () => {
  const file = sceneFile(3);
  const items = support.hostsimJson('list', '--scene', file).items;
  const selection = [items[1].id, items[Math.floor(items.length / 2)].id];
  const commands = ['QZ_Sel_Sibling', 'QZ_Sel_Throwback', 'QZ_Sel_AllNulls', 'QZ_Add_Child', 'QZ_Sel_ByName'];
  const native = support.hostsimJson('time', ...commands, '--scene', file, '--select', ...selection,
    '--pattern', '*', '--kind', 'object', '--repeat', '1').commands;
  const timed = await page.evaluate(
    async ({ fileName, bytes, selection, commands }) => {
      const host = await QzHost.create();
      host.openScene(fileName, Uint8Array.from(bytes));
      // The panel's kind is the module's remembered one: object, as --kind says.
      return commands.map((command) => host.time({ command, selection, pattern: '*', repeat: 1 }));
    },
    { fileName: path.basename(file), bytes: [...fs.readFileSync(file)], selection, commands },
  );
  const walk = ({ command, result, visited, calls, lines }) => ({ command, result, visited, calls, lines });
  assert.deepEqual(timed.map(walk), native.map(walk));
  for (const entry of timed) assert.ok(entry.repetitions >= 1 && entry.moduleSeconds !== undefined, entry.command);
});

async function chooseMode(page, mode) {
  const control = page.getByLabel('Host updates');
  if ((await control.evaluate((element) => element.tagName)) === 'SELECT') await control.selectOption(mode);
  else await control.getByRole('radio', { name: new RegExp(`^${mode}`, 'i') }).check();
}

module.exports = { chooseMode };
