'use strict';
// The page as a user works it: rows clicked in order, commands, undo and redo,
// the module's panel, scenes of the user's own, keys alone, and nothing sent
// anywhere.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const support = require('./support');

let browser;
let scratch;
let demoItems; // the demo rig as hostsim lists it
let demo; // name -> id, for the names that are unique

before(async () => {
  browser = await support.launch();
  scratch = support.scratchDir();
  demoItems = support.hostsimJson('list').items;
  demo = new Map(demoItems.map((item) => [item.name, item.id]));
});

after(async () => {
  await browser?.close();
  if (scratch) fs.rmSync(scratch, { recursive: true, force: true });
});

// A fresh page for one test; it must end with no script error and no request.
async function withPage(body, options) {
  const page = await support.openPage(browser, options);
  try {
    await body(page);
    assert.deepEqual(page.pageErrors, []);
    assert.deepEqual(page.requests, [], 'requests after the page had loaded');
  } finally {
    await page.context().close();
  }
}

const ids = (...names) => names.map((name) => demo.get(name));
const byName = (...names) => names.map((name) => ({ name }));

test('loads only its own files, and from its own folder', async () => {
  await withPage(async (page) => {
    const folder = new URL('.', support.pageUrl).href;
    const outside = page.requestsWhileLoading.filter((url) => !url.startsWith(folder));
    assert.deepEqual(outside, []);
  });
});

test('click selects one row and Ctrl-click adds at the end, in the order the module is given', async () => {
  await withPage(async (page) => {
    await support.selectRows(page, byName('Finger.L', 'Body', 'Controls'));
    assert.deepEqual(await support.selectedIds(page), ids('Finger.L', 'Body', 'Controls'));
    await (await support.row(page, { name: 'Body' })).click({ modifiers: ['Control'] });
    assert.deepEqual(await support.selectedIds(page), ids('Finger.L', 'Controls'));
    await (await support.row(page, { name: 'Root' })).click();
    assert.deepEqual(await support.selectedIds(page), ids('Root'));
    // The first entry sets the kind the command climbs through: each order sends its own lines.
    for (const order of [['Finger.L', 'Body'], ['Body', 'Finger.L']]) {
      await support.selectRows(page, byName(...order));
      await support.press(page, 'QZ_Sel_Throwback');
      const native = support.hostsimJson('run', 'QZ_Sel_Throwback', '--select', ...order);
      assert.deepEqual(await support.linesSent(page), native.lines, order.join(' '));
      assert.deepEqual(await support.selectedIds(page), native.after, order.join(' '));
    }
  });
});

test('a command marks what it changed; undo, redo and before/after show each selection', async () => {
  await withPage(async (page) => {
    await support.selectRows(page, byName('Controls'));
    await support.press(page, 'QZ_Sel_Child');
    const children = ids('IK.Hand.L', 'IK.Hand.R', 'IK.Foot.L', 'IK.Foot.R', 'LookAt');
    assert.deepEqual(await support.selectedIds(page), children);
    assert.equal(await (await support.row(page, { name: 'LookAt' })).getAttribute('aria-description'), 'newly selected');
    assert.equal(await (await support.row(page, { name: 'Controls' })).getAttribute('aria-description'), 'deselected');
    const showBefore = page.getByRole('button', { name: 'Show before' });
    await showBefore.click();
    assert.deepEqual(await support.selectedIds(page), ids('Controls'));
    await showBefore.click();
    const steps = [
      ['Undo', ids('Controls'), 0],
      ['Redo', children, 5],
      ['Undo', ids('Controls'), 0],
      ['Control+Shift+Z', children, 5],
      ['Control+Z', ids('Controls'), 0],
    ];
    for (const [action, selection, lines] of steps) {
      if (action.includes('+')) {
        await page.getByRole('heading', { name: 'Commands' }).click();
        await page.keyboard.press(action);
      } else await page.getByRole('button', { name: action }).click();
      assert.deepEqual(await support.selectedIds(page), selection, action);
      assert.equal((await support.linesSent(page)).length, lines, action);
    }
  });
});

test('the panel by keys: typing stays in the box, Esc cancels, and the next run shows what was confirmed', async () => {
  await withPage(async (page) => {
    const dialog = page.getByRole('dialog', { name: 'Select By Name(wildcard)' });
    const box = dialog.getByRole('textbox');
    const checkedKind = () => dialog.getByRole('radio', { checked: true }).evaluate((radio) => radio.labels[0].textContent);
    await support.selectRows(page, byName('Shoulder.L'));
    await page.getByRole('button', { name: 'QZ_Sel_ByName' }).click();
    await dialog.waitFor();
    assert.deepEqual(await dialog.getByRole('radio').evaluateAll((radios) => radios.map((r) => r.labels[0].textContent)),
      ['Object', 'Light', 'Camera', 'Bone']);
    assert.equal(await checkedKind(), 'Object');
    assert.equal(await box.inputValue(), '');
    await dialog.getByRole('radio', { name: 'Object' }).focus();
    await page.keyboard.press('4'); // outside the box: the module's key for bones
    await page.waitForFunction(() => document.querySelector('dialog input[type=radio]:checked').parentNode.textContent === 'Bone');
    // "d" is one of the module's keys: typed in the box it is text, and the panel stays open.
    await box.focus();
    await box.pressSequentially('Head');
    assert.ok(await dialog.isVisible());
    assert.equal(await box.inputValue(), 'Head');
    await box.press('Control+A');
    await box.pressSequentially('*L');
    await box.press('Enter');
    await support.settled(page);
    const native = support.hostsimJson('run', 'QZ_Sel_ByName', '--select', 'Shoulder.L', '--kind', 'bone', '--pattern', '*L');
    assert.deepEqual(await support.linesSent(page), native.lines);
    assert.deepEqual(await support.selectedIds(page), native.after);

    // Cancelled: nothing sent, the selection stays, and the remembered pattern is kept.
    await page.getByRole('button', { name: 'QZ_Sel_ByName' }).click();
    await dialog.waitFor();
    assert.equal(await box.inputValue(), '*L');
    assert.equal(await checkedKind(), 'Bone');
    await page.keyboard.press('Escape');
    await support.settled(page);
    assert.ok(!(await dialog.isVisible()));
    assert.deepEqual(await support.linesSent(page), []);
    assert.deepEqual(await support.selectedIds(page), native.after);

    // Only confirmed: the replay line still spells out the pattern and kind, and repeats the run natively.
    await support.selectRows(page, byName('Shoulder.L'));
    await page.getByRole('button', { name: 'QZ_Sel_ByName' }).click();
    await dialog.waitFor();
    assert.equal(await box.inputValue(), '*L');
    await box.press('Enter');
    await support.settled(page);
    const line = await page.locator('#replay-line').textContent();
    const words = support.shellWords(line);
    assert.equal(words[words.indexOf('--kind') + 1], 'bone', line);
    assert.equal(words[words.indexOf('--pattern') + 1], '*L', line);
    assert.deepEqual(support.replay(line, support.root).lines, await support.linesSent(page));
  });
});

// A scene with names a page could mistake for markup, and bytes that are not UTF-8.
const HOSTILE = Buffer.concat([
  Buffer.from(
    'LWSC\n5\n\nFirstFrame 1\nLastFrame 60\nFramesPerSecond 30\n\n' +
      'AddNullObject 10000000 <script>window.pwned=1</script>\n\n' +
      'AddNullObject 10000001 "quoted" & \'single\' &amp;\nParentItem 10000000\n\n' +
      'AddNullObject 10000002 <img src=x onerror="window.pwned=2">\n\nAddNullObject 10000003 Caf',
  ),
  Buffer.from([0xe9, 0x20, 0xff, 0xfe]),
  Buffer.from(
    ' \\x41\n\nAddLight 20000000\nLightName <b>bold</b>\n\nAddCamera 30000000\nCameraName Camera\n\n' +
      'CurrentObject 0\nCurrentLight 0\nCurrentCamera 0\n',
  ),
]);

// How each way in gets a file into the page.
const WAYS = {
  'file chooser': (page, file) => support.openScene(page, file),
  'drop': async (page, file) => {
    const transfer = await page.evaluateHandle(
      ({ name, bytes }) => {
        const data = new DataTransfer();
        data.items.add(new File([new Uint8Array(bytes)], name));
        return data;
      },
      { name: path.basename(file), bytes: [...fs.readFileSync(file)] },
    );
    await page.dispatchEvent('body', 'dragover', { dataTransfer: transfer });
    await page.dispatchEvent('body', 'drop', { dataTransfer: transfer });
    await page.waitForFunction(
      (name) => document.getElementById('scene-name').textContent.startsWith(name) ||
        !document.getElementById('scene-error').hidden,
      path.basename(file),
    );
    await support.settled(page);
  },
};

for (const [way, open] of Object.entries(WAYS)) {
  test(`a scene opened by ${way} is listed as hostsim lists it, its names as text`, async () => {
    const scenes = { 'hostile.lws': HOSTILE, 'random.lws': null };
    for (const [name, bytes] of Object.entries(scenes)) {
      const file = path.join(scratch, name);
      if (bytes) fs.writeFileSync(file, bytes);
      else support.hostsim('save', file, '--random', '11', '--force');
      await withPage(async (page) => {
        await open(page, file);
        assert.ok(await page.getByRole('alert').isHidden(), `${name} was refused`);
        const native = support.hostsimJson('list', '--scene', file).items.map((item) => [item.id, item.name]);
        assert.deepEqual((await support.allRows(page)).map((row) => [row.id, row.name]), native);
        // Each name is the row's text, and nothing in a name became an element or ran.
        const shown = await page.getByRole('tree').locator('.name').allTextContents();
        assert.deepEqual(shown, native.slice(0, shown.length).map(([, itemName]) => itemName));
        assert.equal(await page.getByRole('tree').locator('script, img, b').count(), 0);
        assert.equal(await page.evaluate(() => window.pwned), undefined);
        // And the module runs on it.
        await support.selectRows(page, [{ id: native[0][0] }]);
        assert.deepEqual(await support.selectedIds(page), [native[0][0]]);
        await support.press(page, 'QZ_Sel_Hierarchy');
        const ran = support.hostsimJson('run', 'QZ_Sel_Hierarchy', '--scene', file, '--select', native[0][0]);
        assert.deepEqual(await support.linesSent(page), ran.lines, await page.locator('#outcome-summary').textContent());
      });
    }
  });
}

test('a scene the reader refuses is reported with its line, and the scene before stays', async () => {
  const whole = fs.readFileSync(path.join(support.root, 'examples/demo_rig.lws'), 'utf8').split('\n');
  // Each with whether its message names a line.
  const cuts = {
    'cut.lws': [whole.slice(0, 400).join('\n') + '\n', true],
    'version.lws': ['LWSC\n9\n', true],
    'empty.lws': ['', false],
  };
  await withPage(async (page) => {
    for (const [name, [text, hasLine]] of Object.entries(cuts)) {
      const file = path.join(scratch, name);
      fs.writeFileSync(file, text);
      const message = support.readerError(file);
      await support.openScene(page, file);
      const alert = page.getByRole('alert');
      assert.ok((await alert.textContent()).includes(message), `${await alert.textContent()} lacks ${message}`);
      assert.equal(/^[^:]+:\d+: /.test(message), hasLine, message);
      assert.match(await page.locator('#scene-name').textContent(), /^demo_rig\.lws/);
      assert.equal((await support.allRows(page)).length, demoItems.length);
    }
    // A good scene afterwards clears the report.
    await support.openScene(page, path.join(support.root, 'examples/demo_rig.lws'));
    assert.ok(await page.getByRole('alert').isHidden());
  });
});

test('keys alone: rows, commands, the panel and undo', async () => {
  await withPage(async (page) => {
    const focused = () => page.evaluate(() => document.activeElement.getAttribute('aria-label') ||
      document.activeElement.textContent.trim());
    const tabTo = async (label) => {
      for (let presses = 0; presses < 80; ++presses) {
        if ((await focused()) === label) return;
        await page.keyboard.press('Tab');
      }
      throw new Error(`Tab never reaches ${label}`);
    };
    await tabTo('Scene items');
    await page.keyboard.press('Home');
    const controls = `row-${demoItems.findIndex((item) => item.name === 'Controls')}`;
    for (let presses = 0; (await page.getByRole('tree').getAttribute('aria-activedescendant')) !== controls; ++presses) {
      assert.ok(presses < 100, 'the arrow never reaches Controls');
      await page.keyboard.press('ArrowDown');
    }
    await page.keyboard.press('Space');
    await tabTo('QZ_Sel_Child');
    await page.keyboard.press('Enter');
    await support.settled(page);
    assert.deepEqual(await support.linesSent(page), support.hostsimJson('run', 'QZ_Sel_Child', '--select', 'Controls').lines);

    await tabTo('QZ_Sel_ByName');
    await page.keyboard.press('Enter');
    await page.getByRole('dialog').waitFor();
    await page.keyboard.type('IK*'); // typing starts in the box
    await page.keyboard.press('Enter');
    await support.settled(page);
    const native = support.hostsimJson('run', 'QZ_Sel_ByName', '--select', ...ids('IK.Hand.L', 'IK.Hand.R',
      'IK.Foot.L', 'IK.Foot.R', 'LookAt'), '--pattern', 'IK*');
    assert.deepEqual(await support.linesSent(page), native.lines);
    await page.keyboard.press('Control+Z');
    assert.deepEqual(await support.selectedIds(page), native.before);
  });
});

// 200 % zoom on a 1280-pixel-wide screen: 640 CSS pixels across, drawn at twice the density.
test('at 200 % zoom nothing needs sideways scrolling and every command can be pressed', async () => {
  await withPage(
    async (page) => {
      const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
      assert.ok(overflow <= 0, `the page is ${overflow} px wider than the window`);
      for (const button of await page.locator('.commands button').all()) {
        const box = await button.boundingBox();
        assert.ok(box && box.x >= 0 && box.x + box.width <= 640, `${await button.textContent()} is cut off`);
      }
      await support.selectRows(page, byName('Arm.L'));
      await support.press(page, 'QZ_Sel_Hierarchy');
      assert.ok((await support.linesSent(page)).length > 0);
      await page.screenshot({ path: path.join(support.outputDir, 'page-200.png'), fullPage: true });
    },
    { viewport: { width: 640, height: 450 }, deviceScaleFactor: 2 },
  );
});

test('a screenshot of the page in use is not blank', async () => {
  await withPage(async (page) => {
    await support.selectRows(page, byName('Arm.L', 'Arm.R'));
    await support.press(page, 'QZ_Sel_Parent');
    const file = path.join(support.outputDir, 'page.png');
    const png = await page.screenshot({ path: file, fullPage: true });
    // Read back in the browser: the picture has the page's many colours, not one.
    const colours = await page.evaluate(async (data) => {
      const image = new Image();
      image.src = `data:image/png;base64,${data}`;
      await image.decode();
      const canvas = new OffscreenCanvas(image.width, image.height);
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      const pixels = new Uint32Array(context.getImageData(0, 0, image.width, image.height).data.buffer);
      return new Set(pixels).size;
    }, png.toString('base64'));
    assert.ok(colours > 50, `only ${colours} colours in ${file}`);
  });
});
