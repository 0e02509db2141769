// What the node tests read from a capture folder: decoded PNG pixels as R,G,B, the
// 64-bit FNV-1a hash the golden test uses (as 16 hex digits), and the golden file.
'use strict';
const fs = require('fs');
const zlib = require('zlib');

// FNV-1a 64 over `bytes` exactly as tests/demo/golden_test.cpp computes it (its
// offset basis is 1469598103934665603 = 0x14650fb0739d0383; the prime is
// 0x100000001b3 = 2^40 + 0x1b3), in two 32-bit halves.
function fnv1a(bytes)
{
    let hi = 0x14650fb0, lo = 0x739d0383;
    for (let i = 0; i < bytes.length; i++) {
        lo ^= bytes[i];
        // (hi:lo) * 0x1b3 + (lo << 40)
        const loLow = lo & 0xffff, loHigh = lo >>> 16;
        const a = loLow * 0x1b3;
        const b = loHigh * 0x1b3 + (a >>> 16);
        const newLo = ((b & 0xffff) << 16 | (a & 0xffff)) >>> 0;
        const carry = Math.floor(b / 0x10000);
        const newHi = (Math.imul(hi, 0x1b3) + carry + ((lo << 8) >>> 0)) >>> 0;
        hi = newHi;
        lo = newLo;
    }
    return hi.toString(16).padStart(8, '0') + lo.toString(16).padStart(8, '0');
}

// R,G,B bytes of an 8-bit indexed or RGB PNG (no interlace), or throws.
function decodePng(path)
{
    const file = fs.readFileSync(path);
    let at = 8, width = 0, height = 0, colourType = 0, palette = null;
    const idat = [];
    while (at < file.length) {
        const length = file.readUInt32BE(at);
        const type = file.toString('latin1', at + 4, at + 8);
        const body = file.subarray(at + 8, at + 8 + length);
        if (type === 'IHDR') {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            if (body[8] !== 8 || body[12] !== 0)
                throw new Error(path + ': not an 8-bit non-interlaced PNG');
            colourType = body[9];
        } else if (type === 'PLTE')
            palette = body;
        else if (type === 'IDAT')
            idat.push(body);
        at += 12 + length;
    }
    const channels = colourType === 3 ? 1 : colourType === 2 ? 3 : 0;
    if (channels === 0 || (channels === 1 && !palette))
        throw new Error(path + ': colour type ' + colourType + ' not read here');
    const raw = zlib.inflateSync(Buffer.concat(idat));
    const stride = width * channels;
    const rows = Buffer.alloc(stride * height);
    for (let y = 0; y < height; y++) {
        const filter = raw[y * (stride + 1)];
        const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
        const out = rows.subarray(y * stride, (y + 1) * stride);
        const up = y > 0 ? rows.subarray((y - 1) * stride, y * stride) : Buffer.alloc(stride);
        for (let x = 0; x < stride; x++) {
            const left = x >= channels ? out[x - channels] : 0;
            const above = up[x];
            const corner = x >= channels ? up[x - channels] : 0;
            let predicted = 0;
            if (filter === 1)
                predicted = left;
            else if (filter === 2)
                predicted = above;
            else if (filter === 3)
                predicted = (left + above) >> 1;
            else if (filter === 4) {
                const p = left + above - corner;
                const pa = Math.abs(p - left), pb = Math.abs(p - above), pc = Math.abs(p - corner);
                predicted = pa <= pb && pa <= pc ? left : pb <= pc ? above : corner;
            }
            out[x] = (line[x] + predicted) & 255;
        }
    }
    if (channels === 3)
        return rows;
    const rgb = Buffer.alloc(width * height * 3);
    for (let i = 0; i < width * height; i++)
        palette.copy(rgb, 3 * i, 3 * rows[i], 3 * rows[i] + 3);
    return rgb;
}

// tests/demo/golden_frames.txt: {files: {name: hash}, frames: Map(frame -> {scene, hash})}.
function readGolden(path)
{
    const golden = {files: {}, frames: new Map()};
    for (const line of fs.readFileSync(path, 'utf8').split('\n')) {
        const parts = line.trim().split(/\s+/);
        if (line.startsWith('#') || parts.length < 2)
            continue;
        if (parts.length === 2)
            golden.files[parts[0]] = parts[1];
        else
            golden.frames.set(Number(parts[0]), {scene: Number(parts[1]), hash: parts[2]});
    }
    return golden;
}

// frame -> scene from a capture's timeline.csv.
function readScenes(path)
{
    const scenes = new Map();
    for (const line of fs.readFileSync(path, 'utf8').split('\n').slice(1)) {
        const [frame, scene] = line.split(',');
        if (scene !== undefined)
            scenes.set(Number(frame), Number(scene));
    }
    return scenes;
}

module.exports = {fnv1a, decodePng, readGolden, readScenes};
