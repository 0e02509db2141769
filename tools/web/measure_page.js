// The page's figures in headless Debian chromium, for the README and the closing note:
//   node tools/web/measure_page.js [BUILD_WEB] [SECONDS]
// page weight (as sent and gzip-compressed), click to first frame, frames per
// second, underruns after the first second, console errors, and how many frames
// after the page first reports music order 7 the scene 2 frames begin.
// Needs tests/web's playwright-core (npm ci in tests/web).
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const {chromium} = require(path.join(__dirname, '../../tests/web/node_modules/playwright-core'));
const {serveFolder} = require('./serve.js');

const web = path.resolve(process.argv[2] || 'build-web');
const seconds = Number(process.argv[3] || 60);
const PageFiles = ['index.html', 'tivrel-page.js', 'tivrel-worklet.js', 'tivrel.js', 'tivrel.wasm', 'tivrel.ovl'];

function weight()
{
    let sent = 0, compressed = 0;
    for (const name of PageFiles) {
        const bytes = fs.readFileSync(path.join(web, name));
        const gzip = zlib.gzipSync(bytes, {level: 9}).length;
        sent += bytes.length;
        compressed += gzip;
        console.log(`weight: ${name} ${bytes.length} bytes, ${gzip} gzip`);
    }
    console.log(`weight: total ${sent} bytes, ${compressed} gzip`);
}

async function main()
{
    weight();
    const server = await serveFolder(web);
    const browser = await chromium.launch({
        executablePath: '/usr/bin/chromium',
        args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required'],
    });
    const page = await browser.newPage({viewport: {width: 960, height: 600}});
    const errors = [];
    page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
    page.on('pageerror', (e) => errors.push(e.message));
    await page.goto('http://localhost:' + server.address().port + '/');
    await page.waitForSelector('#go:not([disabled])');
    await page.click('#go');
    // One state per animation frame, for `seconds`.
    const trace = await page.evaluate((seconds) => new Promise((resolve) => {
        const states = [];
        const began = performance.now();
        function look(now) {
            states.push(Object.assign({t: now - began}, window.tivrel.state()));
            if (now - began < seconds * 1000)
                requestAnimationFrame(look);
            else
                resolve(states);
        }
        requestAnimationFrame(look);
    }), seconds);
    const timing = await page.evaluate(() => window.tivrel.timing);
    await browser.close();
    server.close();

    const running = trace.filter((s) => s.running);
    const atOne = running.find((s) => s.t >= 1000) || running[running.length - 1];
    const last = running[running.length - 1];
    console.log(`page: click to first frame ${timing.clickToFirstFrame.toFixed(0)} ms`);
    console.log(`page: ${last.frame} frames in ${(last.t / 1000).toFixed(1)} s (${(last.frame * 1000 / last.t).toFixed(1)} fps), ` +
                `scene ${last.scene}, order ${last.order} row ${last.row}`);
    console.log(`page: underruns ${atOne.underruns} in the first second, ${last.underruns - atOne.underruns} after it`);
    const order7 = running.find((s) => s.order >= 7);
    const scene2 = running.find((s) => s.scene === 2 && s.frame > (order7 ? order7.frame : 0));
    if (order7 && scene2)
        console.log(`page: order 7 first reported at frame ${order7.frame}, scene 2 drawn from frame ${scene2.frame} ` +
                    `(${scene2.frame - order7.frame} frames later)`);
    console.log(`page: console errors ${errors.length}` + (errors.length ? ': ' + errors.join(' | ') : ''));
}

main().catch((error) => {
    console.error('measure_page: ' + error.message);
    process.exit(1);
});
