'use strict';
// README's picture of the page: the demo rig with the ancestors of Finger.L
// selected, so the outliner shows places, kinds, fading and the marks of what
// changed beside the lines the module sent.
const support = require('./support');

async function main(output) {
  const browser = await support.launch();
  try {
    const page = await support.openPage(browser, { viewport: { width: 1200, height: 880 } });
    await support.selectRows(page, [{ name: 'Finger.L' }]);
    await support.press(page, 'QZ_Sel_Throwback');
    await page.mouse.move(0, 0);
    await page.screenshot({ path: output });
    console.log(`wrote ${output}`);
  } finally {
    await browser.close();
  }
}

main(process.argv[2]).catch((error) => {
  console.error(error);
  process.exit(1);
});
