// The browser build in headless Chromium against the native program: the worklet against modplay
// and capture's ticks, the page's intro, music and sync, its stills against capture's PNG files.
// node browser_test.mjs --site DIR --frames DIR (capture's STILLS) --wav FILE (modplay, 10 s,
//   looping) --ticks FILE (capture's listing). Timings are printed, never checked.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import vm from 'node:vm';
import puppeteer from 'puppeteer-core';

const REPO = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const STILLS = {0: 'intro', 200: 'intro', 888: 'phase 1', 1383: 'first flash', 1595: 'phase 3, figures'};
const [RATE, BLOCK, REFRESH_MS] = [44100, 128, 1000 / 60];  // render quantum; headless display
const [SPIN_MS, BACKGROUND_MS, BACK_IN_STEP_FRAMES, SYNC_FRAMES] = [1000, 5000, 3, 120];
const [RATE_WINDOW_MS, COST_FRAMES, INTRO_WAIT_MS, MUSIC_WAIT_MS] = [10000, 600, 30000, 60000];

const tally = {passed: 0, failed: 0};
function check(ok, what, detail = '') {
  tally[ok ? 'passed' : 'failed']++;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${detail ? ': ' + detail : ''}`);
}

export function launchChromium(profile, executable = '/usr/bin/chromium') {
  return puppeteer.launch({
    executablePath: executable, headless: true, userDataDir: profile,
    args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required', '--disable-gpu',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--no-first-run', '--disable-dev-shm-usage'],
  });
}

// The site at /, the reference frames at /frames/, cross-origin isolated (the finest clock).
export function serve(site, frames = site) {
  const types = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript',
                 '.wasm': 'application/wasm', '.png': 'image/png'};
  const server = http.createServer((req, res) => {
    const {pathname} = new URL(req.url, 'http://localhost');
    const file = pathname === '/' ? path.join(site, 'index.html')
                                  : path.join(pathname.startsWith('/frames/') ? frames : site,
                                              path.basename(pathname));
    fs.readFile(file, (err, body) => {
      if (err) return res.writeHead(404).end();
      res.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream',
                          'Cross-Origin-Opener-Policy': 'same-origin',
                          'Cross-Origin-Embedder-Policy': 'require-corp'}).end(body);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// The site's worklet in Node over its player.wasm and res/brumo.mod, driven as the browser does.
function workletTest(site, wavFile, ticksFile) {
  const posted = [];
  const scope = {sampleRate: RATE, currentFrame: 0, registerProcessor: (n, p) => { scope.P = p; },
                 AudioWorkletProcessor: class { constructor() { this.port = {postMessage: (m) => posted.push(m)}; } }};
  vm.runInNewContext(fs.readFileSync(path.join(site, 'music-worklet.js'), 'utf8'), scope);
  const bytes = (file) => new Uint8Array(fs.readFileSync(file)).buffer;
  const processor = new scope.P({processorOptions: {player: bytes(path.join(site, 'player.wasm')),
                                                    module: bytes(path.join(REPO, 'res/brumo.mod'))}});
  const out = [new Float32Array(BLOCK), new Float32Array(BLOCK)];
  const block = () => {
    out.forEach((plane) => plane.fill(0));
    processor.process([], [out]);
    scope.currentFrame += BLOCK;
  };
  // modplay's WAV (after 44 header bytes), then on to the last still (frame k: (k - 300) x 17 ms).
  processor.port.onmessage({data: 'start'});
  const pcm = new Int16Array(new Uint8Array(fs.readFileSync(wavFile).subarray(44)).buffer);
  const listing = [...fs.readFileSync(ticksFile, 'utf8').matchAll(/^frame (\d+) .* tick (\d+)$/gm)]
                      .map((m) => ({frame: Number(m[1]), tick: Number(m[2])}));
  const musicFrame = (k) => Math.floor((k - 300) * 17 * RATE / 1000);
  const differing = [];
  const last = Math.max(pcm.length / 2, ...listing.map((l) => musicFrame(l.frame)));
  for (let f = 0; f < last; f += BLOCK) {
    block();
    for (let i = 0, k = 2 * f; i < BLOCK && k < pcm.length; i++, k += 2)
      if (out[0][i] * 32768 !== pcm[k] || out[1][i] * 32768 !== pcm[k + 1]) differing.push(f + i);
  }
  check(differing.length === 0 && pcm.length > 2 * RATE * 9,
        `the worklet plays the native player's ${(pcm.length / 2 / RATE).toFixed(1)} s bit for bit`,
        `${differing.length} frames differ${differing.length ? `, the first at ${differing[0]}` : ''}`);

  // A block shown the previous block's frame, then the right one, is whole; a skipped one a hole.
  const underruns = [0, 2 * BLOCK, 2 * BLOCK].map((step) => {
    scope.currentFrame += step - BLOCK;
    block();
    processor.report();
    return posted.at(-1).underruns;
  });
  check(underruns.join() === '0,0,1', 'the worklet counts the blocks missed as underruns',
        `after a late frame count, its catching up and a missed block: ${underruns.join(', ')}`);

  const ends = posted.filter((m) => m.type === 'position').flatMap((m) => m.boundaries);
  const counted = listing.map((l) => ({...l, worklet: ends.filter((b) => b <= musicFrame(l.frame)).length}));
  check(listing.length > 0 && counted.every((l) => l.worklet === l.tick),
        "the worklet's ticks end where the native show counts them",
        counted.map((l) => `frame ${l.frame}: tick ${l.tick}, worklet ${l.worklet}`).join('; '));
}

// A page with every console error, exception or failed request counted; an exact PNG decoder.
async function openPage(browser, base, name, problems) {
  const page = await browser.newPage();
  page.on('console', (m) => {
    if (m.type() === 'error') problems.push(`${name}: console error: ${m.text()}`);
    else if (/^warn/.test(m.type())) console.log(`  (${name} warning: ${m.text()})`);
  });
  page.on('pageerror', (e) => problems.push(`${name}: uncaught: ${e.message}`));
  page.on('requestfailed', (r) => problems.push(`${name}: request failed: ${r.url()} ${r.failure()?.errorText}`));
  page.on('response', (r) => r.status() >= 400 && problems.push(`${name}: ${r.status()} for ${r.url()}`));
  await page.evaluateOnNewDocument(() => {
    window.decodePng = async (url) => {
      const bitmap = await createImageBitmap(await (await fetch(url)).blob(),
                                             {colorSpaceConversion: 'none', premultiplyAlpha: 'none'});
      const ctx = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
      ctx.drawImage(bitmap, 0, 0);
      return ctx.getImageData(0, 0, bitmap.width, bitmap.height);
    };
  });
  await page.goto(base, {waitUntil: 'load'});
  await page.waitForSelector('body[data-state="ready"]', {timeout: 60000});
  return page;
}

async function showTest(browser, base, problems) {
  const page = await openPage(browser, base, 'show', problems);
  check(await page.$eval('#prompt', (p) => !p.hidden && /start/i.test(p.textContent)),
        'the page shows a start prompt');
  // Pixels white in two different intro frames of the native program: the words.
  const words = await page.evaluate(async () => {
    const [a, b] = [(await decodePng('/frames/frame_00000.png')).data, (await decodePng('/frames/frame_00200.png')).data];
    const white = (d, i) => d[i] === 255 && d[i + 1] === 255 && d[i + 2] === 255;
    const at = [];
    for (let i = 0; i < a.length; i += 4) if (white(a, i) && white(b, i)) at.push(i / 4);
    return at;
  });
  await page.click('#prompt');
  const intro = await page.evaluate(async (words, limit) => {
    const [ctx, t0] = [document.getElementById('screen').getContext('2d'), performance.now()];
    for (;;) {
      await new Promise((r) => requestAnimationFrame(r));
      const data = ctx.getImageData(0, 0, 800, 480).data;
      const white = words.every((p) => data[4 * p] === 255 && data[4 * p + 1] === 255 && data[4 * p + 2] === 255);
      let other = 0;
      for (let i = 0; i < data.length; i += 4) other += data[i] !== 255 || data[i + 1] !== 255;
      const ms = performance.now() - t0;
      if ((white && other > 0) || ms > limit)
        return {found: white && other > 0, ms, ticks: Module._web_tick_count(),
                reported: window.demoAudio.report !== null, prompt: document.getElementById('prompt').hidden};
    }
  }, words, INTRO_WAIT_MS);
  check(intro.prompt, 'the click takes the prompt away');
  check(words.length > 1000 && intro.found, 'the intro shows "Proudly" and "Presents" where the native frames have them',
        `${words.length} pixels, after ${intro.ms.toFixed(0)} ms`);
  check(intro.ticks === 0 && !intro.reported, 'the music stays paused during the intro',
        `tick count ${intro.ticks}, ${intro.reported ? 'a' : 'no'} stream reported`);

  // After the intro: the tick count, against the music's own clock and the page's.
  const rate = await page.evaluate(async (windowMs, waitMs) => {
    const t0 = performance.now();
    while (Module._web_tick_count() === 0 && performance.now() - t0 < waitMs)
      await new Promise((r) => setTimeout(r, 20));
    const audio = window.demoAudio.context;
    const read = () => ({ticks: Module._web_tick_count(), wall: performance.now(),
                         audio: audio ? audio.currentTime : NaN, stream: window.demoAudio.report?.streamFrame ?? 0});
    const a = read();
    await new Promise((r) => setTimeout(r, windowMs));
    return {a, b: read(), state: audio ? audio.state : 'none', worklet: window.demoAudio.node instanceof AudioWorkletNode,
            sdlAudio: typeof SDL !== 'undefined' && Boolean(SDL.audio)};
  }, RATE_WINDOW_MS, MUSIC_WAIT_MS);
  const ticks = rate.b.ticks - rate.a.ticks;
  const perAudioSecond = ticks / (rate.b.audio - rate.a.audio);
  const perSecond = ticks / ((rate.b.wall - rate.a.wall) / 1000);
  const streamed = (rate.b.stream - rate.a.stream) / RATE;
  check(rate.a.ticks > 0 && rate.a.ticks < 50, 'the music starts from its beginning after the intro',
        `tick count ${rate.a.ticks} at first`);
  check(rate.state === 'running', "the page's audio context runs", rate.state);
  check(Math.abs(perAudioSecond / 50 - 1) <= 0.05, 'ticks advance at 50 per second of music (within 5%)',
        `${ticks} ticks: ${perAudioSecond.toFixed(2)} per audio second, ${perSecond.toFixed(2)} per second of the page's clock`);
  check(rate.worklet && !rate.sdlAudio && streamed > 0, "the music comes from the page's AudioWorklet, not SDL's audio",
        `node ${rate.worklet}, SDL audio ${rate.sdlAudio}, ${streamed.toFixed(2)} s streamed in the window`);
  await inStepTest(browser, page);
  await page.close();
  return {introMs: intro.ms, perSecond};
}

// Each frame's tick minus the tick heard at the next refresh (none before the first tick end).
function inStep(frames, reports) {
  const ends = reports.flatMap((r) => r.boundaries.map((frame, i) => ({tick: r.ticks - r.boundaries.length + 1 + i, frame})));
  const shift = reports[0].contextFrame - reports[0].streamFrame;
  return frames.flatMap(({est, time, drawn}) => {
    const shown = time + REFRESH_MS;
    const at = est.stamp ? est.stamp.contextTime + (shown - est.stamp.performanceTime) / 1000
                         : est.contextTime + (shown - est.at) / 1000;
    const heard = ends.filter((e) => e.frame <= at * RATE - shift).at(-1);
    return heard ? [drawn - heard.tick] : [];
  });
}
const stepDetail = (off) => `${off.filter((d) => d === 0).length} of ${off.length} frames exact, ` +
                            `drawn minus heard ${Math.min(...off)} to ${Math.max(...off)}`;

// Frames drawn against the tick heard, through a second's stall and five seconds in the background.
async function inStepTest(browser, page) {
  await page.evaluate(() => {
    window.testLog = {reports: [], frames: []};
    window.demoAudio.node.port.addEventListener('message', (event) => {
      if (event.data.type === 'position') window.testLog.reports.push(event.data);
    });
    let last = null;
    Module.postMainLoop = () => {
      const est = window.demoAudio.estimate;
      if (est === last) return;  // no frame drawn in this animation frame
      last = est;
      window.testLog.frames.push({drawn: Module._web_tick_count(), est, time: document.timeline.currentTime});
    };
  });
  const frames = (count) => page.evaluate(async (count) => {
    const t0 = performance.now();
    while (window.testLog.frames.length < count && performance.now() - t0 < 30000)
      await new Promise((r) => setTimeout(r, 50));
    return window.testLog.frames.splice(0);
  }, count);
  const reports = () => page.evaluate(() => window.testLog.reports);

  const synced = inStep(await frames(SYNC_FRAMES), await reports());
  check(synced.length >= SYNC_FRAMES - 10 && synced.every((d) => Math.abs(d) <= 1),
        'each frame draws the tick heard when it is shown (within one)', stepDetail(synced));

  const spin = await page.evaluate(async (ms) => {
    const before = window.demoAudio.report;
    const t0 = performance.now();
    while (performance.now() - t0 < ms) {}
    const spun = performance.now() - t0;
    await new Promise((r) => setTimeout(r, 200));  // the reports sent meanwhile arrive
    return {before, after: window.demoAudio.report, spun};
  }, SPIN_MS);
  const shifts = new Set((await reports()).map((r) => r.contextFrame - r.streamFrame));
  const advanced = (spin.after.streamFrame - spin.before.streamFrame) / RATE;
  const spinUnderruns = spin.after.underruns - spin.before.underruns;
  check(advanced >= 0.9 * spin.spun / 1000 && shifts.size === 1 && spinUnderruns === 0,
        `a ${SPIN_MS} ms stall of the page leaves no hole in the music`, `${(1000 * advanced).toFixed(0)} ms ` +
        `streamed in ${spin.spun.toFixed(0)} ms, ${shifts.size} clock offset(s), ${spinUnderruns} underrun(s)`);

  await page.evaluate(() => { window.testLog.frames.length = 0; });
  const other = await browser.newPage();
  await other.bringToFront();
  const where = () => page.evaluate(() => ({state: document.visibilityState, ...window.demoAudio.report}));
  const away = await where();
  await new Promise((r) => setTimeout(r, BACKGROUND_MS));
  const gone = await where();
  await page.bringToFront();
  await other.close();
  // The reports go on in the background, so every frame after the return can be judged.
  const back = inStep(await frames(30), await reports());
  const firstInStep = back.findIndex((d) => Math.abs(d) <= 1);
  const playedAway = (gone.streamFrame - away.streamFrame) / RATE;
  const awayUnderruns = gone.underruns - away.underruns;
  check(away.state === 'hidden' && playedAway > 0.9 * BACKGROUND_MS / 1000 && awayUnderruns === 0 &&
            firstInStep >= 0 && firstInStep < BACK_IN_STEP_FRAMES && back.slice(firstInStep).every((d) => Math.abs(d) <= 1),
        `${BACKGROUND_MS / 1000} s in the background: the music plays on, the picture back in step within ` +
            `${BACK_IN_STEP_FRAMES} frames`, `${away.state}, ${playedAway.toFixed(2)} s played, ${awayUnderruns} ` +
            `underrun(s); in step from frame ${firstInStep + 1}, then ${stepDetail(back.slice(Math.max(firstInStep, 0)))}`);
}

async function stillsTest(browser, base, problems) {
  const page = await openPage(browser, base, 'stills', problems);
  for (const [frame, what] of Object.entries(STILLS)) {
    const r = await page.evaluate(async (frame, url) => {
      const tick = Module._web_show_frame(frame);
      const shown = document.getElementById('screen').getContext('2d').getImageData(0, 0, 800, 480).data;
      const want = await decodePng(url);
      const differing = [];
      for (let i = 0; i < shown.length; i += 4)
        if ([0, 1, 2].some((k) => shown[i + k] !== want.data[i + k]) || shown[i + 3] !== 255) differing.push(i / 4);
      return {tick, differing: differing.length, first: differing[0] ?? -1, size: `${want.width}x${want.height}`};
    }, Number(frame), `/frames/frame_${frame.padStart(5, '0')}.png`);
    check(r.differing === 0 && r.size === '800x480', `frame ${frame} (${what}, tick ${r.tick}) equals the capture tool's`,
          `${r.differing} pixels differ${r.first < 0 ? '' : `, first at (${r.first % 800}, ${Math.floor(r.first / 800)})`}`);
  }
  const cost = await page.evaluate((frames) => {
    const at = Module._malloc(8 * frames);
    const median = Module._web_frame_cost(frames, at);
    Module._free(at);
    return median;
  }, COST_FRAMES);
  check(cost > 0, `${COST_FRAMES} phase-3 frames timed in the page`);
  await page.close();
  return cost;
}

async function main() {
  const o = {};
  for (let i = 2; i < process.argv.length; i += 2) o[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
  if (!o.site || !o.frames || !o.wav || !o.ticks) {
    console.error('usage: browser_test.mjs --site DIR --frames DIR --wav FILE --ticks FILE');
    process.exit(2);
  }
  workletTest(o.site, o.wav, o.ticks);
  const files = fs.readdirSync(o.site);
  const bytes = files.reduce((sum, f) => sum + fs.statSync(path.join(o.site, f)).size, 0);
  check(bytes < 1024 * 1024, 'the published folder is under 1 MiB', `${bytes} bytes in ${files.join(', ')}`);

  const server = await serve(o.site, o.frames);
  const base = `http://127.0.0.1:${server.address().port}/`;
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'demo-chromium-'));
  const browser = await launchChromium(profile, o.chromium);
  const problems = [];
  try {
    const show = await showTest(browser, base, problems);
    const cost = await stillsTest(browser, base, problems);
    check(problems.length === 0, 'no console error or failed request', problems.join('; '));
    console.log(`\nmeasured (reported, not checked): intro ${show.introMs.toFixed(0)} ms after the click; ` +
                `${show.perSecond.toFixed(2)} ticks a second by the page's clock; phase-3 frame median ${cost.toFixed(0)} us`);
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(profile, {recursive: true, force: true});
  }
  console.log(`\n${tally.passed} passed, ${tally.failed} failed`);
  process.exit(tally.failed === 0 ? 0 : 1);
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  main().catch((e) => {
    console.error(e);
    process.exit(1);
  });
}
