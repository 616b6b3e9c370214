// The show's music on the browser's audio thread: an AudioWorkletProcessor running the demo's
// own player, built as a WebAssembly module of its own (player.wasm, from src/music and
// src/platform/web/music_worklet_player.cpp). The page hands over both the player's bytes and
// the module image when it makes the node (web/music-link.js).
//
// Until the page says 'start' the processor plays silence and the song stays at its start;
// from then on every block is played, and every few blocks the page is told where the stream
// stands against the context's clock and where each tick ended, so that the picture can draw
// the tick being heard. The player renders pieces as long as the native device's buffers,
// which the blocks are cut from, so the stream is the native one bit for bit.
'use strict';

const RATE = 44100;
// About 12 ms between reports: often enough to follow the stream, few enough to cost nothing.
const REPORT_BLOCKS = 4;

class MusicProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    this.started = false;
    this.player = null;
    this.streamFrame = 0;  // frames played since the start
    this.pieceStart = 0;  // the stream frame the rendered piece begins at
    this.pieceFrames = 0;  // and how many of its frames are rendered (0 before the first)
    this.ahead = [];  // boundaries in the rendered piece not yet played
    this.ticks = 0;  // ticks ended in the frames played
    this.boundaries = [];  // their boundaries (frames where the next tick begins) since the last report
    this.underruns = 0;
    // Where the stream lies on the context's clock: context frame = stream frame + shift.
    this.shift = null;
    this.blocks = 0;
    this.port.onmessage = (event) => {
      if (event.data === 'start') this.started = true;
    };
    let problem = '';
    if (sampleRate !== RATE) {
      problem = `the context runs at ${sampleRate} Hz, not ${RATE}`;
    } else {
      try {
        this.player = this.open(options.processorOptions);
      } catch (e) {
        problem = `the player could not be made: ${e.message}`;
      }
    }
    this.port.postMessage({type: 'ready', ok: this.player !== null, problem});
  }

  // The player module instantiated over the module image. Compiling here, synchronously, is
  // allowed off the page's main thread and takes a few milliseconds for its 30 KB.
  open({player, module}) {
    const compiled = new WebAssembly.Module(player);
    const instance = new WebAssembly.Instance(compiled, {
      // The player never exits; the memory grows only while the image is opened, and the
      // views below are made afterwards.
      wasi_snapshot_preview1: {proc_exit: (code) => { throw new Error(`player exited (${code})`); }},
      env: {emscripten_notify_memory_growth: () => {}},
    });
    const e = instance.exports;
    e._initialize();
    const image = new Uint8Array(module);
    const at = e.music_image(image.length);
    if (at === 0) throw new Error('no memory for the module');
    new Uint8Array(e.memory.buffer, at, image.length).set(image);
    if (e.music_open() !== 0) throw new Error('the module is refused');
    const heap = e.memory.buffer;
    const piece = e.music_piece_frames();
    return {
      piece,
      render: e.music_render,
      toBoundary: e.music_frames_to_boundary,
      left: new Float32Array(heap, e.music_left(), piece),
      right: new Float32Array(heap, e.music_right(), piece),
      stereo: new Int16Array(heap, e.music_stereo(), 2 * piece),
      ends: new Int32Array(heap, e.music_boundaries(), piece),
    };
  }

  process(inputs, outputs) {
    const out = outputs[0];
    if (!this.started) return true;  // the outputs come filled with silence
    const n = out[0].length;
    // The context's frames run on with the stream's while the device is fed in time; blocks
    // it went without (the context's frame jumping ahead of the stream), or a block asked for
    // while there is no player to render it, are a hole in the music. Chromium now and then
    // shows a block the previous block's frame, and the next the right one again: no hole.
    const shift = currentFrame - this.streamFrame;
    if (this.shift === null) {
      this.shift = shift;
    } else if (shift > this.shift) {
      this.underruns++;
      this.shift = shift;
    }
    const p = this.player;
    if (p === null) {
      this.underruns++;
      return true;
    }
    for (let done = 0; done < n;) {
      let at = this.streamFrame - this.pieceStart;
      if (at === this.pieceFrames) {
        this.pieceStart = this.streamFrame;
        this.pieceFrames = p.piece;
        const ended = p.render();
        for (let i = 0; i < ended; i++) this.ahead.push(this.pieceStart + p.ends[i]);
        at = 0;
      }
      const run = Math.min(n - done, this.pieceFrames - at);
      out[0].set(p.left.subarray(at, at + run), done);
      if (out.length > 1) out[1].set(p.right.subarray(at, at + run), done);
      done += run;
      this.streamFrame += run;
    }
    while (this.ahead.length && this.ahead[0] <= this.streamFrame) {
      this.boundaries.push(this.ahead.shift());
      this.ticks++;
    }
    if (this.blocks++ % REPORT_BLOCKS === 0) this.report();
    return true;
  }

  // Where the stream stands at the end of this block: its frame against the context's, the
  // ticks ended so far, the frames where the latest ones ended, and where the next one will.
  report() {
    const next = this.ahead.length ? this.ahead[0]
                                   : this.pieceStart + this.pieceFrames + this.player.toBoundary();
    this.port.postMessage({
      type: 'position',
      contextFrame: this.streamFrame + this.shift,
      streamFrame: this.streamFrame,
      ticks: this.ticks,
      boundaries: this.boundaries,
      nextBoundary: next,
      underruns: this.underruns,
    });
    this.boundaries = [];
  }
}

registerProcessor('demo-music', MusicProcessor);
