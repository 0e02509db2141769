// The page (build-web/) in Debian's chromium, driven by playwright-core: it loads
// without a console error, a click starts the demo, the canvas shows the title scene
// and the position advances, Space holds the picture, PageDown changes the scene, a
// damaged data file dropped on the page gives the native player's one-line message.
//   node --test tests/web/page_test.js
// Environment: TIVREL_WEB (default build-web), TIVREL_BUILD (default build: the
// native program, for the message it prints), TIVREL_CHROMIUM (default
// /usr/bin/chromium).
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const {spawnSync} = require('child_process');
const {chromium} = require('playwright-core');
const {serveFolder} = require('../../tools/web/serve.js');

const root = path.resolve(__dirname, '../..');
const web = path.resolve(root, process.env.TIVREL_WEB || 'build-web');
const build = path.resolve(root, process.env.TIVREL_BUILD || 'build');

let server, browser, page, url;
const consoleErrors = [];

test.before(async () => {
    server = await serveFolder(web);
    url = 'http://localhost:' + server.address().port + '/';
    browser = await chromium.launch({
        executablePath: process.env.TIVREL_CHROMIUM || '/usr/bin/chromium',
        args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required'],
    });
    page = await browser.newPage({viewport: {width: 800, height: 500}});
    page.on('console', (message) => {
        if (message.type() === 'error')
            consoleErrors.push(message.text());
    });
    page.on('pageerror', (error) => consoleErrors.push(error.message));
});

test.after(async () => {
    if (browser)
        await browser.close();
    if (server)
        server.close();
});

const state = () => page.evaluate(() => window.tivrel.state());

// Distinct colours in the visible canvas (a black or frozen canvas has one).
const screenColours = () => page.evaluate(() => {
    const canvas = document.getElementById('screen');
    const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const colours = new Set();
    for (let i = 0; i < pixels.length; i += 4 * 97)
        colours.add(pixels[i] << 16 | pixels[i + 1] << 8 | pixels[i + 2]);
    return colours.size;
});
const screenHash = () => page.evaluate(() => {
    const canvas = document.getElementById('screen');
    const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let h = 0;
    for (let i = 0; i < pixels.length; i++)
        h = Math.imul(h ^ pixels[i], 16777619);
    return h;
});

async function waitFor(condition, what, milliseconds = 5000)
{
    const until = Date.now() + milliseconds;
    for (;;) {
        const s = await state();
        if (condition(s))
            return s;
        if (Date.now() > until)
            assert.fail(what + ' (state ' + JSON.stringify(s) + ')');
        await page.waitForTimeout(20);
    }
}

test('the page loads without a console error and shows the title art', async () => {
    await page.goto(url);
    await page.waitForSelector('#go:not([disabled])', {timeout: 10000});
    const artColours = await page.evaluate(() => {
        const pixels = document.getElementById('art').getContext('2d').getImageData(0, 0, 213, 133).data;
        const colours = new Set();
        for (let i = 0; i < pixels.length; i += 4)
            colours.add(pixels[i] << 16 | pixels[i + 1] << 8 | pixels[i + 2]);
        return colours.size;
    });
    assert.ok(artColours > 8, 'title art drawn');
    assert.deepStrictEqual(consoleErrors, []);
});

test('a click starts the title scene within a second and the position advances', async () => {
    await page.click('#go');
    const first = await waitFor((s) => s.frame > 10, 'frames presented');
    assert.strictEqual(first.scene, 1);
    const timing = await page.evaluate(() => window.tivrel.timing.clickToFirstFrame);
    assert.ok(timing !== null && timing < 1000, 'click to first frame ' + timing + ' ms');
    assert.ok(await screenColours() > 8, 'the canvas shows the scene');
    await page.waitForTimeout(500);
    const later = await state();
    assert.ok(later.frame > first.frame + 10);
    assert.ok(later.order * 256 + later.row > first.order * 256 + first.row, 'music position advances');
    assert.deepStrictEqual(consoleErrors, []);
});

test('Space holds picture and position, Space again goes on', async () => {
    await page.keyboard.press('Space');
    const held = await waitFor((s) => s.paused, 'paused');
    const picture = await screenHash();
    await page.waitForTimeout(400);
    const still = await state();
    assert.deepStrictEqual([still.order, still.row, still.frame], [held.order, held.row, held.frame]);
    assert.strictEqual(await screenHash(), picture);
    await page.keyboard.press('Space');
    await waitFor((s) => !s.paused && s.frame > held.frame + 5, 'running again');
});

test('I shows the information line, S saves the frame as an indexed 320x200 PNG', async () => {
    await page.keyboard.press('i');
    await page.waitForFunction(() => document.getElementById('info').textContent !== '');
    assert.match(await page.textContent('#info'), /^1 \S+.*fps/);
    await page.keyboard.press('i');
    await page.waitForFunction(() => document.getElementById('info').textContent === '');
    const [download] = await Promise.all([page.waitForEvent('download'), page.keyboard.press('s')]);
    assert.match(download.suggestedFilename(), /^tivrel-\d{6}\.png$/);
    const png = fs.readFileSync(await download.path());
    assert.strictEqual(png.toString('latin1', 12, 16), 'IHDR');
    assert.deepStrictEqual([png.readUInt32BE(16), png.readUInt32BE(20), png[24], png[25]], [320, 200, 8, 3]);
});

test('PageDown starts scene 2 at its order, as --scene 2 does', async () => {
    await page.keyboard.press('PageDown');
    const next = await waitFor((s) => s.scene === 2 && s.frame > 0, 'scene 2');
    assert.ok(next.order >= 7 && next.order <= 8, 'scene 2 starts at reported order 7, got ' + next.order);
    await page.evaluate(() => window.tivrel.scene(4));
    const fourth = await waitFor((s) => s.scene === 4 && s.frame > next.frame, 'scene 4 through the API');
    assert.ok(fourth.order >= 17 && fourth.order <= 18, 'scene 4 starts at reported order 17, got ' + fourth.order);
    assert.deepStrictEqual(consoleErrors, []);
});

test('a hidden page holds picture and music together and goes on when shown; Escape ends', async () => {
    const setHidden = (hidden) => page.evaluate((hidden) => {
        Object.defineProperty(document, 'hidden', {value: hidden, configurable: true});
        document.dispatchEvent(new Event('visibilitychange'));
    }, hidden);
    await setHidden(true);
    const held = await waitFor((s) => s.paused, 'held while hidden');
    await page.waitForTimeout(400);
    const still = await state();
    assert.deepStrictEqual([still.order, still.row, still.frame], [held.order, held.row, held.frame]);
    await setHidden(false);
    const going = await waitFor((s) => !s.paused && s.frame > held.frame + 5, 'going on when shown');
    assert.ok(going.order * 256 + going.row >= held.order * 256 + held.row);
    assert.ok(going.order * 256 + going.row < held.order * 256 + held.row + 16, 'no jump in the music');
    await page.keyboard.press('Escape');
    await waitFor((s) => !s.running, 'Escape ends the run');
    assert.ok(await page.isVisible('#start'), 'back on the start screen');
    assert.strictEqual(await page.textContent('#message'), '');
});

test('?until=N ends the run after scene N, back to the start screen without a message', async () => {
    await page.goto(url + '?scene=3&until=2');
    await page.waitForSelector('#go:not([disabled])', {timeout: 10000});
    await page.keyboard.press('Enter');
    await page.waitForFunction(() => window.tivrel.timing.clickToFirstFrame !== null);
    await waitFor((s) => !s.running, 'the run ended');
    assert.ok(await page.isVisible('#start'));
    assert.strictEqual(await page.textContent('#message'), '');
    assert.deepStrictEqual(consoleErrors, []);
});

test('a damaged data file dropped on the page gives the native player\'s one-line message', async () => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tivrel-page-'));
    const damaged = path.join(dir, 'damaged.ovl');
    fs.writeFileSync(damaged, fs.readFileSync(path.join(web, 'tivrel.ovl')).subarray(0, 5000));
    const native = spawnSync(path.join(build, 'tivrel'), ['--data', 'damaged.ovl', '--capture', 'out', '--frames',
                                                          'none'], {cwd: dir, encoding: 'latin1'});
    fs.rmSync(dir, {recursive: true, force: true});
    assert.strictEqual(native.status, 1);
    const expected = native.stdout.trim().split('\n').pop();
    const bytes = [...fs.readFileSync(path.join(web, 'tivrel.ovl')).subarray(0, 5000)];
    await page.evaluate((content) => {
        const transfer = new DataTransfer();
        transfer.items.add(new File([new Uint8Array(content)], 'damaged.ovl'));
        document.body.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true, cancelable: true}));
    }, bytes);
    await waitFor((s) => !s.running && s.message !== '', 'the message', 10000);
    assert.strictEqual(await page.textContent('#message'), expected);
    assert.ok(await page.isVisible('#start'), 'back on the start screen');
    assert.ok(consoleErrors.length === 1 && consoleErrors[0] === expected, 'the line in the console too');
});
