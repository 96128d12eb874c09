'use strict';
// The demo tour done by hand in the page: rows clicked, commands pressed and
// the panel answered by keys, one module throughout as `hostsim tour` keeps
// it, gives the golden transcript's lines, messages and selections.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const support = require('./support');

const KIND_KEYS = { object: '1', light: '2', camera: '3', bone: '4' };

// Answers the panel as the tour's step says: the kind by its key pressed
// outside the text box, the pattern typed into the box, Enter or Esc.
function panelUser(step) {
  return async (dialog) => {
    await dialog.waitFor();
    const box = dialog.getByRole('textbox');
    if (step.kind) {
      await dialog.getByRole('radio', { checked: true }).focus();
      await dialog.page().keyboard.press(KIND_KEYS[step.kind]);
    }
    if (step.pattern) {
      await box.focus();
      await box.press('Control+A');
      await box.pressSequentially(step.pattern);
    }
    await dialog.page().keyboard.press(step.dismiss ? 'Escape' : 'Enter');
    await dialog.waitFor({ state: 'hidden' });
  };
}

test('the demo tour through the page gives the golden transcript', async () => {
  const browser = await support.launch();
  try {
    const page = await support.openPage(browser, { viewport: { width: 1280, height: 1600 } });
    const steps = support.tourSteps();
    const golden = support.goldenTour();
    assert.equal(steps.length, golden.length);
    for (const [index, step] of steps.entries()) {
      const expected = golden[index];
      if (step.select.length) await support.selectRows(page, step.select.map((name) => ({ name })));
      else if (await page.getByRole('button', { name: 'Select none' }).isEnabled())
        await page.getByRole('button', { name: 'Select none' }).click();
      await support.press(page, step.command, step.command === 'QZ_Sel_ByName' ? panelUser(step) : null);
      assert.deepEqual(await support.linesSent(page), expected.lines, expected.title);
      assert.deepEqual(await support.selectedIds(page), expected.after, expected.title);
      const messages = await page.getByRole('list', { name: 'Messages shown' }).getByRole('listitem').allTextContents();
      assert.deepEqual(messages, expected.message ? [`Message: ${expected.message}`] : [], expected.title);
    }
    assert.deepEqual(page.pageErrors, []);
  } finally {
    await browser.close();
  }
});
