// The page's AudioWorklet processor (src/web/page/tivrel-worklet.js) run in node with
// a stand-in for the worklet globals: frames come out in order across chunk and block
// edges, a short block plays what there is and counts one underrun, nothing counts
// before the first chunk or while held, a clear forgets the queue and the count of
// frames played.   node --test tests/web/worklet_test.js
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const path = require('path');
const vm = require('vm');

// The processor class with its port: posted messages land in `sent`.
function loadProcessor()
{
    const context = {
        currentTime: 0,
        AudioWorkletProcessor: class {
            constructor() { this.port = {postMessage: (message) => context.sent.push(message), onmessage: null}; }
        },
        registerProcessor: (name, kind) => { context.kind = kind; },
        sent: [],
    };
    vm.runInNewContext(fs.readFileSync(path.join(__dirname, '../../src/web/page/tivrel-worklet.js'), 'utf8'), context);
    const processor = new context.kind();
    const send = (data) => processor.port.onmessage({data});
    // One 128-frame block; returns [left, right].
    const block = () => {
        const outputs = [[new Float32Array(128).fill(9), new Float32Array(128).fill(9)]];
        processor.process([], outputs);
        return outputs[0];
    };
    return {processor, send, block, context};
}

// Interleaved L,R frames numbered from `first`: left = n, right = -n.
function chunk(first, frames)
{
    const samples = new Float32Array(2 * frames);
    for (let i = 0; i < frames; i++) {
        samples[2 * i] = first + i;
        samples[2 * i + 1] = -(first + i);
    }
    return samples;
}

test('frames play in order across chunks and blocks, a short block is padded and counted once', () => {
    const {processor, send, block} = loadProcessor();
    assert.deepStrictEqual(Array.from(block()[0].slice(0, 3)), [0, 0, 0], 'silence before the first chunk');
    assert.strictEqual(processor.underruns, 0, 'nothing counts before the first chunk');
    send({chunk: chunk(1, 100)});
    send({chunk: chunk(101, 100)});
    const [left, right] = block();
    assert.deepStrictEqual(Array.from(left.slice(98, 102)), [99, 100, 101, 102]);
    assert.strictEqual(right[127], -128);
    const [tail] = block();
    assert.deepStrictEqual([tail[0], tail[71], tail[72], tail[127]], [129, 200, 0, 0]);
    assert.strictEqual(processor.underruns, 1);
    assert.strictEqual(processor.played, 200);
});

test('held: silence, nothing taken, nothing counted; a clear starts the count afresh', () => {
    const {processor, send, block, context} = loadProcessor();
    send({chunk: chunk(1, 300)});
    block();
    send({hold: true});
    assert.deepStrictEqual({...context.sent.pop()}, {played: 128, underruns: 0, time: 0, epoch: 0});
    assert.strictEqual(block()[0][5], 0);
    assert.strictEqual(processor.underruns, 0);
    send({hold: false});
    assert.strictEqual(block()[0][0], 129, 'goes on where it stopped');
    send({clear: true, epoch: 3});
    assert.deepStrictEqual({...context.sent.pop()}, {played: 0, underruns: 0, time: 0, epoch: 3});
    send({chunk: chunk(1000, 128)});
    assert.strictEqual(block()[0][0], 1000, 'the queue before the clear is gone');
    for (let i = 0; i < 5; i++)
        block();
    const report = context.sent.pop();
    assert.deepStrictEqual([report.played, report.epoch], [128, 3]);
    assert.strictEqual(processor.underruns, 5);
});
