// The page's side of the show's music. The program hands over the module image at start-up
// (load, in the viewer's click, so the audio context may start) and says when the intro is
// over (start); an AudioWorklet (music-worklet.js) plays it with the player built as
// player.wasm. Every frame the program asks which tick is being heard (heardTick) and draws
// that one: the worklet's reports place each tick's first frame on the context's clock, and
// the context's output timestamp places that clock on the page's.
'use strict';

class MusicLink {
  // The show's stream rate: the context runs at it, so the stream is the native program's
  // frame for frame.
  static RATE = 44100;
  // Ticks whose ends are kept, newest last: four seconds, far more than any output latency.
  static KEPT_TICKS = 200;

  constructor(worklet = 'music-worklet.js', player = 'player.wasm') {
    this.workletUrl = worklet;
    // Fetched ahead, so the music is ready long before the intro ends.
    this.playerBytes = fetch(player).then((r) => {
      if (!r.ok) throw new Error(`${player}: ${r.status}`);
      return r.arrayBuffer();
    });
    this.playerBytes.catch(() => {});  // reported when the music is wanted
    this.context = null;
    this.node = null;
    this.playing = false;  // the worklet has a player
    this.startWanted = false;
    this.report = null;  // the worklet's latest
    this.ends = [];  // stream frames where the latest ticks ended; the last is tick report.ticks
    this.underruns = 0;
    this.estimate = null;  // the inputs and result of the latest heardTick
    this.shownTick = 0;
  }

  // The module image (an ArrayBuffer of its own), checked by the program already. Whatever
  // fails here leaves the show silent, holding its first phase; the program goes on.
  load(image) {
    try {
      this.context = new AudioContext({sampleRate: MusicLink.RATE, latencyHint: 'interactive'});
    } catch (e) {
      console.warn(`No audio context at ${MusicLink.RATE} Hz (${e.message}); playing silently`);
      return;
    }
    // Browsers offer worklets only to secure pages: https, or a server on this machine.
    if (!this.context.audioWorklet) {
      console.warn('No AudioWorklet (the page needs https or localhost); playing silently');
      this.context.close();
      this.context = null;
      return;
    }
    // Made in the viewer's click, the context runs; a browser may still want it resumed.
    if (this.context.state === 'suspended') this.context.resume().catch(() => {});
    Promise.all([this.context.audioWorklet.addModule(this.workletUrl), this.playerBytes])
        .then(([, player]) => {
          this.node = new AudioWorkletNode(this.context, 'demo-music', {
            numberOfInputs: 0,
            outputChannelCount: [2],
            processorOptions: {player, module: image},
          });
          this.node.port.onmessage = (event) => this.receive(event.data);
          this.node.connect(this.context.destination);
        })
        .catch((e) => console.error(`The music could not be set up: ${e.message}`));
  }

  // The intro is over: the music begins (as soon as the worklet is ready, if it is not yet).
  start() {
    this.startWanted = true;
    if (this.playing) this.node.port.postMessage('start');
  }

  receive(message) {
    if (message.type === 'ready') {
      if (!message.ok) {
        console.warn(`No music: ${message.problem}`);
        return;
      }
      this.playing = true;
      if (this.startWanted) this.node.port.postMessage('start');
    } else if (message.type === 'position') {
      this.ends.push(...message.boundaries);
      if (this.ends.length > MusicLink.KEPT_TICKS)
        this.ends.splice(0, this.ends.length - MusicLink.KEPT_TICKS);
      this.report = message;
      this.underruns = message.underruns;
    }
  }

  // The context's time heard at the page's time `at` (milliseconds, performance.now's clock):
  // from the output timestamp, which pairs a context time with when it leaves the device, or
  // failing that from the current time less the output latency.
  heardContextTime(at) {
    const c = this.context;
    const stamp = c.getOutputTimestamp ? c.getOutputTimestamp() : null;
    if (stamp && stamp.performanceTime > 0)
      return {time: stamp.contextTime + (at - stamp.performanceTime) / 1000, stamp};
    const latency = c.outputLatency || c.baseLatency || 0;
    return {time: c.currentTime - latency + (at - performance.now()) / 1000, stamp: null};
  }

  // The number of ticks ended at or before stream frame `frame`, from the reports: the kept
  // tick ends for the past, the coming boundary and the tick length beyond the last report.
  ticksAt(frame) {
    const r = this.report;
    if (r === null || frame < 0) return 0;
    if (frame >= r.streamFrame) {
      if (frame < r.nextBoundary) return r.ticks;
      const length = r.nextBoundary - (this.ends.length ? this.ends[this.ends.length - 1] : 0);
      return r.ticks + 1 + Math.floor((frame - r.nextBoundary) / Math.max(length, 1));
    }
    let ticks = r.ticks;
    for (let i = this.ends.length - 1; i >= 0 && this.ends[i] > frame; i--) ticks--;
    return Math.max(ticks, 0);
  }

  // The tick to draw in the frame being made now: the one heard when the frame is shown, at
  // the display's next refresh (about 1/60 s after this animation frame's time). It never
  // goes back.
  heardTick() {
    if (this.report === null) return this.shownTick;
    const frameTime = document.timeline.currentTime ?? performance.now();
    const at = frameTime + 1000 / 60;
    const heard = this.heardContextTime(at);
    const offset = this.report.contextFrame - this.report.streamFrame;
    const streamFrame = heard.time * MusicLink.RATE - offset;
    const tick = this.ticksAt(streamFrame);
    this.shownTick = Math.max(this.shownTick, tick);
    this.estimate = {at, stamp: heard.stamp, contextTime: heard.time, offset, streamFrame, tick,
                     shown: this.shownTick};
    return this.shownTick;
  }
}

// What the page's tests read: the context, the worklet's node, its latest report and the latest
// estimate. Nothing here changes the show.
function exposeMusic(link) {
  return Object.freeze({
    get context() { return link.context; },
    get node() { return link.node; },
    get report() { return link.report; },
    get ends() { return link.ends.slice(); },
    get underruns() { return link.underruns; },
    get estimate() { return link.estimate; },
  });
}
