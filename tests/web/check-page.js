// Opens an exported page from disk in headless Chromium on a clock the check moves, and does
// what a list of steps says: move the clock, take a screenshot, click. Prints one JSON document:
// every request the page made, what its console said, and the page's errors.
//
//   node check-page.js CHROMIUM DIR/index.html WIDTHxHEIGHT STEPS.json
// STEPS: [{"run": MS}, {"shot": "OUT.png"}, {"click": [X, Y]}, {"key": "Space"}]
'use strict';
const fs = require('fs');
const path = require('path');
const { pathToFileURL } = require('url');
const { chromium } = require('playwright-core');

(async () => {
    const [executablePath, page, size, stepsFile] = process.argv.slice(2);
    const [width, height] = size.split('x').map(Number);
    const steps = JSON.parse(fs.readFileSync(stepsFile, 'utf8'));
    const browser = await chromium.launch({ executablePath, headless: true, args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required'] });
    const result = { requests: [], console: [], errors: [] };
    try {
        const context = await browser.newContext({ viewport: { width, height }, deviceScaleFactor: 1 });
        const tab = await context.newPage();
        tab.on('request', (r) => result.requests.push(r.url()));
        tab.on('console', (m) => result.console.push(m.type() + ': ' + m.text()));
        tab.on('pageerror', (e) => result.errors.push(String(e)));
        // The page's time moves only when a step moves it.
        await tab.clock.install({ time: 0 });
        await tab.clock.pauseAt(1000);
        await tab.goto(pathToFileURL(path.resolve(page)).href);
        await tab.waitForFunction(() => window.vellumarkPage !== undefined);
        const settled = () => tab.waitForFunction(() => [...document.images].every((i) => i.complete));
        for (const step of steps) {
            if (step.run !== undefined)
                await tab.clock.runFor(step.run);
            if (step.click)
                await tab.mouse.click(step.click[0], step.click[1]);
            if (step.key)
                await tab.keyboard.press(step.key);
            if (step.shot) {
                await settled();
                await tab.screenshot({ path: step.shot, animations: 'allow', caret: 'initial' });
            }
        }
    } finally {
        await browser.close();
    }
    process.stdout.write(JSON.stringify(result) + '\n');
})().catch((e) => {
    console.error(String(e && e.stack ? e.stack : e));
    process.exit(1);
});
