// The page around the WebAssembly player (tivrel.js, tivrel.wasm): the start screen
// with the title art and the setup choices (kept in local storage), the canvas, the
// keys, the sound (an AudioContext with tivrel-worklet.js), dropped data files, the
// URL parameters ?scene=N, ?until=N, ?data=URL and the embedding API window.tivrel:
//   state()   {scene, order, row, frame, paused, underruns, running, message}
//   pause(), resume(), scene(n)   as Space and PageDown/PageUp would
//   start(), stop()               as a click on Start and Escape would
// A run is one fresh instance of the player; its failures are the native player's
// one-line messages, shown on the start screen and in the console.
'use strict';
(function () {
const SampleRate = 44100;
const SettingsKey = 'tivrel.settings';
const KeyQuit = 100, KeyInfo = 101;
const KeyActions = {' ': 1, 'p': 1, 'P': 1, 'PageDown': 2, 'PageUp': 3, '+': 4, '=': 4, '-': 5, 'm': 6, 'M': 6};
const FrameLoopFinished = 2;

const $ = (id) => document.getElementById(id);
const root = $('tivrel'), startScreen = $('start'), stage = $('stage'), screen = $('screen'), info = $('info');
const goButton = $('go'), messageLine = $('message');
const frameCanvas = document.createElement('canvas');
frameCanvas.width = 320;
frameCanvas.height = 200;
const frameContext = frameCanvas.getContext('2d');
const screenContext = screen.getContext('2d');

const params = new URLSearchParams(location.search);
const firstScene = Math.max(parseInt(params.get('scene') || '1', 10) || 1, 1);
const untilScene = Math.max(parseInt(params.get('until') || '0', 10) || 0, 0);

let settings = {sound: true, aspect: 'stretch', scale: 'sharp', volume: 100};
let wasm = null;        // the compiled WebAssembly module, instantiated once per run
let data = null;        // the data file's bytes
let dataName = '';
let audio = null;       // {context, ready}: one AudioContext for the page's lifetime
let run = null;         // the run playing
let starting = false;
let lastMessage = '';
const timing = {clickToFirstFrame: null};

// ---- settings and layout

function loadSettings()
{
    try {
        Object.assign(settings, JSON.parse(localStorage.getItem(SettingsKey) || '{}'));
    } catch (e) {
    }
    $('sound').checked = settings.sound;
    $('aspect').value = settings.aspect;
    $('scale').value = settings.scale;
}

function saveSettings()
{
    settings.sound = $('sound').checked;
    settings.aspect = $('aspect').value;
    settings.scale = $('scale').value;
    try {
        localStorage.setItem(SettingsKey, JSON.stringify(settings));
    } catch (e) {
    }
}

// Where the picture goes in the stage, as the native window places it: stretch fills
// the stage (a 4:3 box with 4:3), sharp the largest box of the picture's shape,
// integer the largest whole multiple of 320x200 (320x240 with 4:3) that fits.
function destination(width, height)
{
    const pictureHeight = settings.aspect === '4x3' ? 240 : 200;
    const fit = (w, h) => {
        const k = Math.min(width / w, height / h);
        return {w: Math.floor(w * k), h: Math.floor(h * k)};
    };
    let box;
    if (settings.scale === 'stretch')
        box = settings.aspect === '4x3' ? fit(4, 3) : {w: width, h: height};
    else if (settings.scale === 'integer' && Math.min(width / 320, height / pictureHeight) >= 1) {
        const k = Math.floor(Math.min(width / 320, height / pictureHeight));
        box = {w: 320 * k, h: pictureHeight * k};
    } else
        box = fit(320, pictureHeight);
    return {x: Math.floor((width - box.w) / 2), y: Math.floor((height - box.h) / 2), w: box.w, h: box.h};
}

function layout()
{
    const box = destination(stage.clientWidth, stage.clientHeight);
    // Sharp: a whole-multiple copy of the pixels, smoothed down to the box.
    const sharp = settings.scale === 'sharp';
    const k = sharp ? Math.max(1, Math.ceil(Math.max(box.w / 320, box.h / 200))) : 1;
    if (screen.width !== 320 * k) {
        screen.width = 320 * k;
        screen.height = 200 * k;
    }
    screen.classList.toggle('smooth', sharp);
    Object.assign(screen.style, {left: box.x + 'px', top: box.y + 'px', width: box.w + 'px', height: box.h + 'px'});
    screenContext.imageSmoothingEnabled = false;
    screenContext.drawImage(frameCanvas, 0, 0, screen.width, screen.height);
}

// ---- messages

// The last line the player printed, as the native terminal shows it (byte 254 is the
// block the messages start with).
function playerLine(text) { return text.replace(/\uFFFD/g, '\u25A0'); }

function showMessage(line)
{
    lastMessage = line;
    messageLine.textContent = line;
    console.error(line);
}

// ---- the player instance

function newInstance()
{
    const printed = [];
    const keep = (line) => {
        printed.push(playerLine(line));
        if (printed.length > 20)
            printed.shift();
    };
    return createTivrel({
        instantiateWasm(imports, done) {
            WebAssembly.instantiate(wasm, imports).then((instance) => done(instance, wasm));
            return {};
        },
        print(line) { keep(line); console.log(playerLine(line)); },
        printErr(line) { keep(line); console.warn(playerLine(line)); },
        quit(status, error) { throw error; },
    }).then((module) => {
        module.printed = printed;
        return module;
    });
}

// The one line that tells why the player stopped: its own last line, else the error.
function failureLine(module, error)
{
    if (error && error.name === 'ExitStatus' && module && module.printed.length > 0)
        return module.printed[module.printed.length - 1];
    return 'tivrel: ' + (error && error.message ? error.message : String(error));
}

// ---- sound

// Called in the click's (or key's) own turn: browsers start sound only there.
function openAudio()
{
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context || !window.AudioWorkletNode)
        return null;
    if (!audio) {
        const context = new Context({sampleRate: SampleRate, latencyHint: 'interactive'});
        audio = {context, ready: context.audioWorklet.addModule('tivrel-worklet.js')};
    }
    audio.context.resume();
    return audio;
}

// The module's `tivrelAudio` for one run (web_audio_output.cpp calls it).
function runAudio(context)
{
    const node = new AudioWorkletNode(context, 'tivrel', {numberOfInputs: 0, outputChannelCount: [2]});
    const gain = context.createGain();
    node.connect(gain).connect(context.destination);
    let report = {played: 0, underruns: 0, time: context.currentTime, epoch: 0};
    let epoch = 0, held = false;
    node.port.onmessage = (event) => {
        if (event.data.epoch === epoch)
            report = event.data;
    };
    return {
        ready: () => context.state !== 'closed',
        post(chunk) { node.port.postMessage({chunk}, [chunk.buffer]); },
        clear() {
            epoch++;
            report = {played: 0, underruns: report.underruns, time: context.currentTime, epoch};
            node.port.postMessage({clear: true, epoch});
        },
        hold(on) {
            held = on;
            node.port.postMessage({hold: on});
        },
        // Frames taken from the queue by now: the last report, moved on by the
        // context's clock since the block it was made in.
        played() {
            if (held)
                return report.played;
            const since = context.currentTime - report.time - 128 / SampleRate;
            return report.played + Math.max(0, since) * SampleRate;
        },
        latency: () => context.outputLatency || 0,
        volume(value) { gain.gain.value = value; },
        underruns: () => report.underruns,
        close() {
            node.port.onmessage = null;
            node.disconnect();
            gain.disconnect();
        },
    };
}

// ---- a run

function present(module, pixels, text)
{
    if (!module.frameImage || module.frameImage.data.buffer !== module.HEAPU8.buffer)
        module.frameImage = new ImageData(new Uint8ClampedArray(module.HEAPU8.buffer, pixels, 320 * 200 * 4), 320, 200);
    frameContext.putImageData(module.frameImage, 0, 0);
    screenContext.drawImage(frameCanvas, 0, 0, screen.width, screen.height);
    if (info.textContent !== text)
        info.textContent = text;
    if (timing.clickToFirstFrame === null && run)
        timing.clickToFirstFrame = performance.now() - run.clicked;
}

async function start()
{
    if (run || starting || !wasm || !data)
        return;
    const clicked = performance.now();
    saveSettings();
    const sound = openAudio();   // before any wait: the gesture's turn
    if (!sound) {
        showMessage('tivrel: no sound device (this browser offers no Web Audio)');
        return;
    }
    starting = true;
    messageLine.textContent = '';
    lastMessage = '';
    let module = null;
    try {
        await sound.ready;
        // Without a click's or key's turn the browser may hold the context: the demo
        // would stand still, so it does not start.
        await Promise.race([sound.context.resume(), new Promise((resolve) => setTimeout(resolve, 300))]);
        if (sound.context.state !== 'running')
            throw new Error('the browser holds the sound until the page is clicked: click Start');
        module = await newInstance();
        module.FS.writeFile(dataName, data);
        module.tivrelAudio = runAudio(sound.context);
        module.tivrelPresent = (pixels, text) => present(module, pixels, text);
        run = {module, clicked, frame: 0, state: new Int32Array(6)};
        timing.clickToFirstFrame = null;
        startScreen.style.display = 'none';
        stage.style.display = 'block';
        layout();
        const started = module.ccall('tivrel_page_start', 'number', ['string', 'number', 'number', 'number', 'number'],
                                     [dataName, firstScene, untilScene, settings.sound ? 1 : 0, settings.volume]);
        if (started !== 0)
            throw new Error('the page could not show the picture');
        if (document.hidden)
            module._tivrel_page_hidden(1);
        run.raf = requestAnimationFrame(step);
    } catch (error) {
        end(failureLine(module, error));
    } finally {
        starting = false;
    }
}

function step()
{
    if (!run)
        return;
    let state;
    try {
        state = run.module._tivrel_page_step();
    } catch (error) {
        end(failureLine(run.module, error));
        return;
    }
    if (state >= FrameLoopFinished) {
        end('');
        return;
    }
    run.raf = requestAnimationFrame(step);
}

// Back to the start screen; `line` (if any) says why.
function end(line)
{
    if (run) {
        cancelAnimationFrame(run.raf);
        if (run.module.tivrelAudio)
            run.module.tivrelAudio.close();
        run = null;
    }
    if (document.fullscreenElement)
        document.exitFullscreen().catch(() => {});
    stage.style.display = 'none';
    startScreen.style.display = 'flex';
    info.textContent = '';
    if (line)
        showMessage(line);
}

function readState()
{
    if (!run)
        return {scene: 0, order: 0, row: 0, frame: 0, paused: false, underruns: 0, running: false, message: lastMessage};
    const out = run.module._malloc(24);
    run.module._tivrel_page_state(out);
    const s = run.module.HEAP32.subarray(out >> 2, (out >> 2) + 6);
    const state = {scene: s[0], order: s[1], row: s[2], frame: s[3], paused: s[4] !== 0, underruns: s[5],
                   running: true, message: lastMessage};
    run.module._free(out);
    return state;
}

function key(action)
{
    if (run)
        run.module._tivrel_page_key(action);
}

// S: the frame on screen as an indexed 320x200 PNG download.
function savePng()
{
    const module = run.module;
    const sizeAddress = module._malloc(4);
    const png = module._tivrel_page_png(sizeAddress);
    const size = module.HEAP32[sizeAddress >> 2];
    module._free(sizeAddress);
    if (!png)
        return;
    const blob = new Blob([module.HEAPU8.slice(png, png + size)], {type: 'image/png'});
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = 'tivrel-' + String(readState().frame).padStart(6, '0') + '.png';
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

// ---- data

// The name the player gives the data file (and its messages): the last part of the
// name the page got, kept to plain characters.
function plainName(name)
{
    const last = String(name).split(/[\/\\?#]/).filter((part) => part !== '').pop() || '';
    return /^[A-Za-z0-9._ -]{1,100}$/.test(last) && last !== '.' && last !== '..' ? last : 'tivrel.ovl';
}

async function useData(bytes, name)
{
    data = bytes;
    dataName = plainName(name);
    const artCanvas = $('art');
    const art = artCanvas.getContext('2d');
    art.fillStyle = '#111';
    art.fillRect(0, 0, 213, 133);
    let module = null;
    try {
        module = await newInstance();
        module.FS.writeFile(dataName, data);
        const rgb = module.ccall('tivrel_page_title_art', 'number', ['string'], [dataName]);
        if (rgb) {
            const image = art.createImageData(213, 133);
            for (let i = 0; i < 213 * 133; i++) {
                image.data.set(module.HEAPU8.subarray(rgb + 3 * i, rgb + 3 * i + 3), 4 * i);
                image.data[4 * i + 3] = 255;
            }
            art.putImageData(image, 0, 0);
        }
    } catch (error) {
        showMessage(failureLine(module, error));
    }
    goButton.disabled = false;
}

async function fetchData(url)
{
    const target = new URL(url, location.href);
    if (target.origin !== location.origin)
        throw new Error(url + ' is not on this site');
    const response = await fetch(target);
    if (!response.ok)
        throw new Error('cannot read ' + url + ': ' + response.status + ' ' + response.statusText);
    return new Uint8Array(await response.arrayBuffer());
}

// ---- input

document.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey)
        return;
    if (!run) {
        if (event.key === 'Enter' && !starting) {
            event.preventDefault();
            start();
        }
        return;
    }
    let handled = true;
    if (event.key === 'Escape')
        key(KeyQuit);
    else if (event.key === 'i' || event.key === 'I')
        key(KeyInfo);
    else if (event.key === 'f' || event.key === 'F') {
        if (document.fullscreenElement)
            document.exitFullscreen().catch(() => {});
        else if (root.requestFullscreen)
            root.requestFullscreen().catch(() => {});
    } else if (event.key === 's' || event.key === 'S')
        savePng();
    else if (KeyActions[event.key] !== undefined)
        key(KeyActions[event.key]);
    else
        handled = false;
    if (handled)
        event.preventDefault();
});

goButton.addEventListener('click', () => start());
for (const id of ['sound', 'aspect', 'scale'])
    $(id).addEventListener('change', saveSettings);
window.addEventListener('resize', () => run && layout());
document.addEventListener('fullscreenchange', () => run && layout());
document.addEventListener('visibilitychange', () => {
    if (run)
        run.module._tivrel_page_hidden(document.hidden ? 1 : 0);
});
document.addEventListener('dragover', (event) => event.preventDefault());
document.addEventListener('drop', async (event) => {
    event.preventDefault();
    const file = event.dataTransfer && event.dataTransfer.files[0];
    if (!file)
        return;
    end('');
    let bytes;
    try {
        bytes = new Uint8Array(await file.arrayBuffer());
    } catch (error) {
        showMessage('tivrel: ' + file.name + ' cannot be read (a content folder plays once built: ovltool build)');
        return;
    }
    await useData(bytes, file.name);
    // Sound starts only in a click's or key's turn: without a running context the
    // dropped file waits for Start.
    if (audio && audio.context.state === 'running')
        start();
    else
        messageLine.textContent = dataName + ': click Start or press Enter';
});

window.tivrel = {
    state: readState,
    pause() {
        if (run && !readState().paused)
            key(1);
    },
    resume() {
        if (run && readState().paused)
            key(1);
    },
    // Skips to scene n as PageDown/PageUp would, one key per scene.
    scene(n) {
        if (!run)
            return;
        const now = readState().scene;
        for (let i = now; i < n; i++)
            key(2);
        for (let i = now; i > n; i--)
            key(3);
    },
    start,
    stop() { key(KeyQuit); },
    timing,
};

// ---- start-up of the page

async function main()
{
    loadSettings();
    if (typeof WebAssembly !== 'object') {
        showMessage('tivrel: this browser runs no WebAssembly');
        return;
    }
    try {
        const [compiled, bytes] = await Promise.all([
            WebAssembly.compileStreaming ? WebAssembly.compileStreaming(fetch('tivrel.wasm'))
                                         : fetch('tivrel.wasm').then((r) => r.arrayBuffer()).then(WebAssembly.compile),
            fetchData(params.get('data') || 'tivrel.ovl'),
        ]);
        wasm = compiled;
        await useData(bytes, new URL(params.get('data') || 'tivrel.ovl', location.href).pathname);
    } catch (error) {
        showMessage('tivrel: ' + error.message);
    }
}

main();
})();
