// How far the browser build's picture runs from its sound, end to end, in the system's
// Chromium (headless). Run by hand after building the site (tools/web.sh --build-only):
//
//   node tools/av_offset.mjs [--site build-web/site] [--seconds 20]
//
// It drives Chromium through tests/web's puppeteer-core (npm ci there first).
//
// For every tick the picture shows first in some frame: the picture's time is when that frame
// is presented (the timestamp of the next animation frame, when the frame drawn before it
// reaches the screen), the sound's is when the tick's first frame leaves the audio device (the
// frame the worklet rendered it at on the context's clock, carried to the page's clock through
// the context's output timestamp, which includes the output latency). Neither comes from the
// page's own estimate. Prints the offsets' median and 5th and 95th percentiles in milliseconds;
// positive means the picture comes after the sound.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import {launchChromium, serve} from '../tests/web/browser_test.mjs';

const RATE = 44100;
const START_WAIT_MS = 60000;

function options(argv) {
  const o = {site: 'build-web/site', seconds: '20'};
  for (let i = 2; i < argv.length; i += 2) o[argv[i].replace(/^--/, '')] = argv[i + 1];
  if (!fs.existsSync(path.join(o.site, 'index.html')) || !(Number(o.seconds) > 0)) {
    console.error('usage: av_offset.mjs [--site DIR] [--seconds N]  (build the site first)');
    process.exit(2);
  }
  return o;
}

function percentile(sorted, p) {
  return sorted[Math.min(sorted.length - 1, Math.floor(p / 100 * sorted.length))];
}

const median = (values) => percentile([...values].sort((a, b) => a - b), 50);

// In the page: from the music's first heard tick on, for `ms` milliseconds, every frame of the
// program's main loop (its animation frame's time and the tick it drew), the context's output
// timestamps, and every report of the worklet.
async function record(ms, waitMs) {
  const audio = window.demoAudio;
  const t0 = performance.now();
  while ((!audio.node || Module._web_tick_count() === 0) && performance.now() - t0 < waitMs)
    await new Promise((r) => setTimeout(r, 20));
  const frames = [];
  const stamps = [];
  const reports = [];
  const listen = (event) => {
    if (event.data.type === 'position') reports.push(event.data);
  };
  audio.node.port.addEventListener('message', listen);
  Module.postMainLoop = () => {
    frames.push({time: document.timeline.currentTime, tick: Module._web_tick_count()});
    const s = audio.context.getOutputTimestamp();
    stamps.push({contextTime: s.contextTime, performanceTime: s.performanceTime});
  };
  await new Promise((r) => setTimeout(r, ms));
  Module.postMainLoop = null;
  audio.node.port.removeEventListener('message', listen);
  return {frames, stamps, reports, outputLatency: audio.context.outputLatency,
          baseLatency: audio.context.baseLatency, underruns: audio.underruns};
}

function offsets({frames, stamps, reports}) {
  // Each tick's first frame on the context's clock: its stream frame, placed by the report
  // that carried it.
  const heardAt = new Map();
  for (const r of reports) {
    const shift = r.contextFrame - r.streamFrame;
    r.boundaries.forEach((b, i) => heardAt.set(r.ticks - r.boundaries.length + 1 + i, b + shift));
  }
  // Context seconds to page milliseconds: the output timestamps' offset, their median (the two
  // clocks drift apart by far less than a millisecond in a run).
  const clock = median(stamps.filter((s) => s.performanceTime > 0)
                           .map((s) => s.performanceTime - 1000 * s.contextTime));
  const result = [];
  for (let i = 1; i + 1 < frames.length; i++) {
    const tick = frames[i].tick;
    if (tick === frames[i - 1].tick || !heardAt.has(tick)) continue;
    const picture = frames[i + 1].time;
    const sound = 1000 * heardAt.get(tick) / RATE + clock;
    result.push(picture - sound);
  }
  return result;
}

async function main() {
  const o = options(process.argv);
  const server = await serve(o.site);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'demo-av-'));
  const browser = await launchChromium(profile, o.chromium);
  try {
    const page = await browser.newPage();
    await page.goto(`http://127.0.0.1:${server.address().port}/`, {waitUntil: 'load'});
    await page.waitForSelector('body[data-state="ready"]', {timeout: 60000});
    await page.click('#prompt');
    const log = await page.evaluate(record, 1000 * Number(o.seconds), START_WAIT_MS);
    const values = offsets(log).sort((a, b) => a - b);
    if (values.length === 0) throw new Error('no tick was seen both drawn and heard');
    const f = (v) => v.toFixed(1);
    console.log(`${values.length} ticks over ${o.seconds} s (output latency ` +
                `${f(1000 * log.outputLatency)} ms, base latency ${f(1000 * log.baseLatency)} ms, ` +
                `${log.underruns} underrun(s) reported by the worklet)`);
    console.log(`picture after sound: median ${f(percentile(values, 50))} ms, ` +
                `5th percentile ${f(percentile(values, 5))} ms, ` +
                `95th percentile ${f(percentile(values, 95))} ms`);
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(profile, {recursive: true, force: true});
  }
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
