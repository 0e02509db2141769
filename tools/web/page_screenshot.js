// The README's picture of the page: headless Debian chromium, 960x600, the start
// screen and the demo a few seconds into scene 2, side by side in one PNG.
//   node tools/web/page_screenshot.js [BUILD_WEB] OUT.png
// Needs tests/web's playwright-core (npm ci in tests/web).
'use strict';
const path = require('path');
const {chromium} = require(path.join(__dirname, '../../tests/web/node_modules/playwright-core'));
const {serveFolder} = require('./serve.js');

async function main()
{
    const web = path.resolve(process.argv[2] || 'build-web');
    const out = path.resolve(process.argv[3] || 'page.png');
    const server = await serveFolder(web);
    const browser = await chromium.launch({executablePath: '/usr/bin/chromium',
                                           args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required']});
    const page = await browser.newPage({viewport: {width: 960, height: 600}});
    await page.goto('http://localhost:' + server.address().port + '/?scene=2');
    await page.waitForSelector('#go:not([disabled])');
    const start = await page.screenshot();
    await page.click('#go');
    await page.waitForFunction(() => window.tivrel.state().frame > 200);
    const playing = await page.screenshot();
    // Both pictures in one page of their own, each at half size.
    const sheet = await browser.newPage({viewport: {width: 960, height: 300}});
    const image = (png) => 'data:image/png;base64,' + png.toString('base64');
    await sheet.setContent(`<body style="margin:0;background:#000;display:flex">
        <img src="${image(start)}" width="480" height="300"><img src="${image(playing)}" width="480" height="300">`);
    await sheet.screenshot({path: out});
    await browser.close();
    server.close();
    console.log('page_screenshot: ' + out);
}

main().catch((error) => {
    console.error('page_screenshot: ' + error.message);
    process.exit(1);
});
