// The node player (build-web/tivrel-node.js) against the native program: the golden
// run of the default data, a remix data file captured by both, and the command line
// they share.  node --test tests/web/node_capture_test.js
// Environment: TIVREL_BUILD (the native build folder, default build), TIVREL_WEB
// (the web build folder, default build-web).
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const {spawnSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const {fnv1a, decodePng, readGolden, readScenes} = require('./capture_files.js');

const root = path.resolve(__dirname, '../..');
const build = path.resolve(root, process.env.TIVREL_BUILD || 'build');
const web = path.resolve(root, process.env.TIVREL_WEB || 'build-web');
const nodePlayer = path.join(web, 'tivrel-node.js');
const nativePlayer = path.join(build, 'tivrel');
const defaultData = path.join(build, 'tivrel.ovl');

const temporary = fs.mkdtempSync(path.join(os.tmpdir(), 'tivrel-web-'));
test.after(() => fs.rmSync(temporary, {recursive: true, force: true}));

function run(program, args)
{
    const command = program.endsWith('.js') ? [process.execPath, [program, ...args]] : [program, args];
    const result = spawnSync(command[0], command[1], {encoding: 'latin1', maxBuffer: 1 << 26});
    return {status: result.status, stdout: result.stdout, stderr: result.stderr};
}

function frameName(frame) { return String(frame).padStart(6, '0') + '.png'; }

function capture(program, data, dir, frames, extra = [])
{
    const result = run(program, ['--data', data, '--capture', dir, '--frames', frames.join(','), ...extra]);
    assert.strictEqual(result.status, 0, program + ' failed: ' + result.stderr);
}

test('the node capture of the default data is the golden run: every chosen frame, timeline.csv and music.wav',
     () => {
         const golden = readGolden(path.join(root, 'tests/demo/golden_frames.txt'));
         const dir = path.join(temporary, 'golden');
         capture(nodePlayer, defaultData, dir, [...golden.frames.keys()]);
         const scenes = readScenes(path.join(dir, 'timeline.csv'));
         const wrong = [];
         for (const [frame, expected] of golden.frames) {
             const hash = fnv1a(decodePng(path.join(dir, 'frames', frameName(frame))));
             if (hash !== expected.hash || scenes.get(frame) !== expected.scene)
                 wrong.push(frame);
         }
         assert.deepStrictEqual(wrong, [], 'frames that differ from the golden run');
         for (const name of ['timeline.csv', 'music.wav'])
             assert.strictEqual(fnv1a(fs.readFileSync(path.join(dir, name))), golden.files[name], name);
     });

test('a remix data file captures to the same frames, timeline and soundtrack as natively', () => {
    // Titles from text, another tunnel map and camera path: entries the default
    // data does not have, over the default data as base.
    const folder = path.join(temporary, 'remix');
    fs.mkdirSync(folder);
    fs.writeFileSync(path.join(folder, 'tivrel.toml'),
                     '["tivrel.scx"]\ntext = "REMIX"\n\n["name1.scx"]\ntext = "IN A PAGE"\n\n' +
                         '["angrad1.dat"]\npreset = "spiral"\n\n["movement.dat"]\npreset = "ellipse"\n');
    const data = path.join(temporary, 'remix.ovl');
    const built = run(path.join(build, 'ovltool'), ['build', folder, '-o', data, '--base', defaultData]);
    assert.strictEqual(built.status, 0, built.stderr);
    const frames = [];
    for (let f = 0; f < 3200; f += 61)
        frames.push(f);
    const native = path.join(temporary, 'remix-native'), node = path.join(temporary, 'remix-node');
    capture(nativePlayer, data, native, frames, ['--until-scene', '3']);
    capture(nodePlayer, data, node, frames, ['--until-scene', '3']);
    for (const name of ['timeline.csv', 'music.wav'])
        assert.ok(fs.readFileSync(path.join(node, name)).equals(fs.readFileSync(path.join(native, name))), name);
    const written = fs.readdirSync(path.join(native, 'frames')).sort();
    assert.deepStrictEqual(fs.readdirSync(path.join(node, 'frames')).sort(), written);
    assert.ok(written.length > 40, 'the run reaches scene 3');
    for (const name of written)
        assert.ok(decodePng(path.join(node, 'frames', name)).equals(decodePng(path.join(native, 'frames', name))),
                  name);
});

test('the node player reads the native command line and refuses what it cannot do in one line', () => {
    for (const args of [['--help'], ['--list-scenes'], ['--frames', 'x', '--capture', 'out'], ['--no-such']]) {
        const node = run(nodePlayer, args), native = run(nativePlayer, args);
        assert.strictEqual(node.status, native.status, args.join(' '));
        assert.strictEqual(node.stdout, native.stdout, args.join(' '));
        assert.strictEqual(node.stderr, native.stderr, args.join(' '));
    }
    const video = run(nodePlayer, ['--data', defaultData, '--capture', path.join(temporary, 'v'), '--video', 'a.mp4']);
    assert.strictEqual(video.status, 1);
    assert.match(video.stderr, /^tivrel: cannot write a\.mp4: the WebAssembly player writes no video[^\n]*\n$/);
    const live = run(nodePlayer, ['--data', defaultData]);
    assert.strictEqual(live.status, 2);
    assert.strictEqual(live.stderr.split('\n').length, 2, 'one line');
});

test('the node timedemo prints the native figures, its own loops checked against expand then pack', () => {
    // The fused converters walk their rows differently in WebAssembly; the timedemo
    // refuses to time them when their surface differs from expand then pack.
    const node = run(nodePlayer, ['--data', defaultData, '--bench']);
    assert.strictEqual(node.status, 0, node.stderr);
    // Each line's item and the name of its first figure ("fps=X" names itself).
    const names = out => out.split('\n').filter(l => l.startsWith('bench: ') && !l.startsWith('bench: machine'))
                               .map(l => l.match(/^bench: (\S+?)(?:=| (\w+)=)/).slice(1, 3).join(' '));
    const native = run(nativePlayer, ['--data', defaultData, '--bench']);
    assert.strictEqual(native.status, 0, native.stderr);
    assert.deepStrictEqual(names(node.stdout), names(native.stdout));
    assert.match(node.stdout, /bench: expand_pack24 us_per_frame=[0-9.]+\n/);
});

test('a second capture into the same folder keeps the earlier frames unless --force', () => {
    const dir = path.join(temporary, 'again');
    capture(nodePlayer, defaultData, dir, [0, 1], ['--seconds', '1']);
    const again = run(nodePlayer, ['--data', defaultData, '--capture', dir, '--frames', '0', '--seconds', '1']);
    const native = run(nativePlayer, ['--data', defaultData, '--capture', dir, '--frames', '0', '--seconds', '1']);
    assert.strictEqual(again.status, 1);
    assert.strictEqual(again.stderr, native.stderr);
    capture(nodePlayer, defaultData, dir, [0], ['--seconds', '1', '--force']);
    assert.deepStrictEqual(fs.readdirSync(path.join(dir, 'frames')), ['000000.png']);
});

test('a module the player cannot load ends the run with the native line and status', () => {
    const folder = path.join(temporary, 'unpacked');
    const unpacked = run(path.join(build, 'ovltool'), ['unpack', defaultData, folder]);
    assert.strictEqual(unpacked.status, 0, unpacked.stderr);
    let x = 12345;
    const junk = Buffer.alloc(50000).map(() => (x = (x * 1103515245 + 12345) >>> 0) >>> 24);
    fs.writeFileSync(path.join(folder, 'music.s3m'), junk);
    const data = path.join(temporary, 'junk-music.ovl');
    const packed = run(path.join(build, 'ovltool'), ['pack', folder, '-o', data]);
    assert.strictEqual(packed.status, 0, packed.stderr);
    const args = ['--data', data, '--capture', path.join(temporary, 'junk'), '--frames', 'none'];
    const node = run(nodePlayer, args), native = run(nativePlayer, args);
    assert.strictEqual(native.status, 1);
    assert.strictEqual(node.status, native.status);
    assert.strictEqual(node.stdout, native.stdout);
});
