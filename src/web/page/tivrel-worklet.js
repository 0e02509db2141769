// The page's sound: an AudioWorklet processor playing the stereo frames the
// WebAssembly player renders on the main thread (tivrel-page.js posts them, no
// shared memory). Frames wait in a queue of chunks; a block with too few frames
// queued plays what there is, then silence, and counts one underrun (only while
// playing: before the first chunk and while held nothing counts).
//
// Messages in:  {chunk: Float32Array of interleaved L,R}   frames to play
//               {hold: true|false}                         stop / go on consuming
//               {clear: true, epoch}                       forget the queued frames and
//                                                          count played frames afresh
// Messages out: {played, underruns, time, epoch}  every 8 blocks (about 23 ms), on
//               hold and on clear: frames taken from the queue since the last clear,
//               underruns so far, the context time at the start of the block that
//               took the last of them, and the epoch of the last clear.
class TivrelProcessor extends AudioWorkletProcessor {
    constructor()
    {
        super();
        this.chunks = [];
        this.offset = 0;   // frames of chunks[0] already played
        this.played = 0;
        this.underruns = 0;
        this.started = false;
        this.held = false;
        this.blocks = 0;
        this.epoch = 0;
        this.port.onmessage = (event) => {
            const message = event.data;
            if (message.chunk) {
                this.chunks.push(message.chunk);
                this.started = true;
            }
            if (message.hold !== undefined) {
                this.held = message.hold;
                this.report();
            }
            if (message.clear) {
                this.chunks = [];
                this.offset = 0;
                this.played = 0;
                this.epoch = message.epoch;
                this.report();
            }
        };
    }

    report()
    {
        this.port.postMessage({played: this.played, underruns: this.underruns, time: currentTime, epoch: this.epoch});
    }

    process(inputs, outputs)
    {
        const left = outputs[0][0], right = outputs[0][1] || outputs[0][0];
        let at = 0;
        if (!this.held) {
            while (at < left.length && this.chunks.length > 0) {
                const chunk = this.chunks[0];
                const frames = chunk.length / 2;
                const take = Math.min(frames - this.offset, left.length - at);
                for (let i = 0; i < take; i++) {
                    left[at + i] = chunk[2 * (this.offset + i)];
                    right[at + i] = chunk[2 * (this.offset + i) + 1];
                }
                at += take;
                this.offset += take;
                this.played += take;
                if (this.offset === frames) {
                    this.chunks.shift();
                    this.offset = 0;
                }
            }
            if (at < left.length && this.started)
                this.underruns++;
        }
        left.fill(0, at);
        if (right !== left)
            right.fill(0, at);
        if (++this.blocks % 8 === 0)
            this.report();
        return true;
    }
}

registerProcessor('tivrel', TivrelProcessor);
