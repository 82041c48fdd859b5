// The web page in headless Chromium, driven over the DevTools protocol on a pipe (no
// packages beyond Node and Chromium): the site served by Python's http.server on a free
// port, the page opened at ?section=2 and answered No, a few seconds played; then the
// canvas equals textdemo-capture --png at the position the page shows (nearby frames
// searched), that position follows the audio clock within one frame, the analyser hears
// the music, the browser's decoded music starts at libmpg123's first sample and is as long,
// Escape ends the show; a damaged archive and one with LZMA entries each give their one
// line.
//
//   node tests/web/page_test.js SITE_DIR NATIVE_CAPTURE NATIVE_ARCHIVE MP3_SAMPLES [SCREENSHOT.png]
// Exits 77 (skipped) without chromium or without the web build (`make web`).
'use strict';
const { spawn, execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [siteDir, capture, nativeArchive, mp3Samples, screenshotPath] = process.argv.slice(2);
const CHROMIUM = '/usr/bin/chromium';
const SECTION_2_MS = 33488;  // where --section 2 starts
const FRAME_MS = 16;
if (!fs.existsSync(CHROMIUM) || !fs.existsSync(path.join(siteDir, 'textdemo-web.wasm'))) {
  console.log(fs.existsSync(CHROMIUM) ? 'no web build in ' + siteDir + ' (make web)' : 'no chromium');
  process.exit(77);
}

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'textdemo-page-'));
const children = [];
let failures = 0;
function check(ok, what) {
  console.log((ok ? 'ok: ' : 'FAILED: ') + what);
  if (!ok) failures += 1;
}
// Ends the processes this test started and removes what they wrote, once they are gone.
async function cleanUp() {
  await Promise.all(children.map((child) => new Promise((resolve) => {
    if (child.exitCode !== null || child.signalCode !== null) return resolve();
    child.on('exit', resolve);
    child.kill('SIGKILL');
  })));
  fs.rmSync(work, { recursive: true, force: true, maxRetries: 5 });
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The site, a damaged archive (cut short) and the native archive (LZMA entries) side by side.
function layOutSite() {
  const served = path.join(work, 'site');
  fs.mkdirSync(served);
  for (const name of fs.readdirSync(siteDir)) fs.symlinkSync(path.resolve(siteDir, name), path.join(served, name));
  fs.writeFileSync(path.join(served, 'damaged.salad'), fs.readFileSync(path.join(siteDir, 'ruk.salad')).subarray(0, 5000));
  fs.symlinkSync(path.resolve(nativeArchive), path.join(served, 'lzma.salad'));
  return served;
}

function serve(dir) {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '--directory', dir, '0'],
                         { stdio: ['ignore', 'pipe', 'ignore'] });
    children.push(server);
    let said = '';
    server.stdout.on('data', (data) => {
      said += data;
      const port = /port (\d+)/.exec(said);
      if (port) resolve(Number(port[1]));
    });
    server.on('exit', () => reject(new Error('http.server ended: ' + said)));
  });
}

// Chromium with the DevTools protocol on fds 3 (to it) and 4 (from it), NUL-separated JSON.
function startChromium() {
  const profile = path.join(work, 'profile');
  const chromium = spawn(CHROMIUM, ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync', '--user-data-dir=' + profile,
    '--autoplay-policy=no-user-gesture-required', '--remote-debugging-pipe', '--window-size=1280,800', 'about:blank'],
    // Chromium keeps its singleton socket in TMPDIR: inside the work folder it goes with it.
    { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'], env: { ...process.env, TMPDIR: work } });
  children.push(chromium);
  const pending = new Map();
  const listeners = [];
  let next = 1, buffered = '';
  chromium.stdio[4].on('data', (data) => {
    buffered += data;
    let end;
    while ((end = buffered.indexOf('\0')) >= 0) {
      const message = JSON.parse(buffered.slice(0, end));
      buffered = buffered.slice(end + 1);
      if (message.id && pending.has(message.id)) {
        const { resolve, reject } = pending.get(message.id);
        pending.delete(message.id);
        if (message.error) reject(new Error(JSON.stringify(message.error)));
        else resolve(message.result);
      } else {
        for (const listener of listeners) listener(message);
      }
    }
  });
  const send = (method, params = {}, sessionId) => new Promise((resolve, reject) => {
    const id = next++;
    pending.set(id, { resolve, reject });
    chromium.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + '\0');
  });
  return { send, listeners };
}

async function openPage(browser, url) {
  const { targetId } = await browser.send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await browser.send('Target.attachToTarget', { targetId, flatten: true });
  const page = {
    send: (method, params) => browser.send(method, params, sessionId),
    evaluate: async (expression) => {
      const { result, exceptionDetails } = await page.send('Runtime.evaluate',
        { expression, awaitPromise: true, returnByValue: true });
      if (exceptionDetails) throw new Error(JSON.stringify(exceptionDetails));
      return result.value;
    },
    until: async (expression, what, seconds = 30) => {
      for (const stop = Date.now() + seconds * 1000; Date.now() < stop; await sleep(100)) {
        const value = await page.evaluate(expression).catch(() => null);  // the page may still be loading
        if (value) return value;
      }
      throw new Error('timed out waiting for ' + what);
    },
    key: async (key, code, keyCode) => {
      for (const type of ['keyDown', 'keyUp'])
        await page.send('Input.dispatchKeyEvent', { type, key, code, windowsVirtualKeyCode: keyCode,
                                                    text: type === 'keyDown' && key.length === 1 ? key : undefined });
    },
    close: () => browser.send('Target.closeTarget', { targetId }),
  };
  await page.send('Emulation.setDeviceMetricsOverride', { width: 1280, height: 800, deviceScaleFactor: 1, mobile: false });
  await page.send('Page.navigate', { url });
  return page;
}

// Canvas, shown position and the audio clock when it was drawn, read in an animation
// frame right after the page's own callback (callbacks run in the order they were asked for).
const READ_FRAME = `new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(() => {
  const canvas = document.getElementById('picture');
  const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  const rgb = new Uint8Array(canvas.width * canvas.height * 3);
  for (let i = 0, j = 0; i < data.length; i += 4, j += 3) { rgb[j] = data[i]; rgb[j + 1] = data[i + 1]; rgb[j + 2] = data[i + 2]; }
  let text = ''; for (let i = 0; i < rgb.length; i += 8192) text += String.fromCharCode.apply(null, rgb.subarray(i, i + 8192));
  resolve({ position: textdemo.position, clock: textdemo.clockAtPicture, rgb: btoa(text) });
})))`;

const LOUDNESS = `(() => {
  const analyser = Module.textdemoAudio.analyser, samples = new Float32Array(analyser.fftSize);
  analyser.getFloatTimeDomainData(samples);
  return samples.reduce((peak, s) => Math.max(peak, Math.abs(s)), 0);
})()`;

// The first frames of each channel of the music as the browser decoded it, as base64 floats.
const DECODED_START = (frames) => `(() => {
  const buffer = Module.textdemoAudio.buffer, channels = [];
  for (let c = 0; c < buffer.numberOfChannels; ++c) {
    const bytes = new Uint8Array(buffer.getChannelData(c).slice(0, ${frames}).buffer);
    let text = ''; for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
    channels.push(btoa(text));
  }
  return { length: buffer.length, rate: buffer.sampleRate, channels };
})()`;

const floats = (bytes) => new Float32Array(Uint8Array.from(bytes).buffer);

// The browser's decoding against libmpg123's (mp3_samples) over the first seconds: the
// shift of the browser's samples that matches best around the first sound (searched over
// two MP3 frames either way), and the largest difference at that shift over every sample.
async function compareDecodings(page) {
  const FRAMES = 4 * 44100, SEARCH = 2 * 1152, WINDOW = 4096;
  const file = path.join(work, 'mpg123.f32');
  const said = execFileSync(mp3Samples, [nativeArchive, String(FRAMES), file]).toString().trim().split(' ').map(Number);
  const [rate, channels, length] = said;
  const native = floats(fs.readFileSync(file));
  const browser = await page.evaluate(DECODED_START(FRAMES));
  const decoded = browser.channels.map((base64) => floats(Buffer.from(base64, 'base64')));
  const at = (c, i) => native[i * channels + c];
  let onset = 0;
  while (onset < FRAMES && Math.abs(at(0, onset)) < 0.01) ++onset;
  const worstAt = (shift, from, to) => {
    let worst = 0;
    for (let c = 0; c < channels; ++c)
      for (let i = Math.max(from, -shift); i < to && i + shift < decoded[c].length; ++i)
        worst = Math.max(worst, Math.abs(decoded[c][i + shift] - at(c, i)));
    return worst;
  };
  let best = { shift: 0, worst: Infinity };
  for (let shift = -SEARCH; shift <= SEARCH; ++shift) {
    const worst = worstAt(shift, onset, onset + WINDOW);
    if (worst < best.worst) best = { shift, worst };
  }
  return { rate, channels, length, onset, shift: best.shift, worst: worstAt(best.shift, 0, FRAMES),
           browser: { length: browser.length, rate: browser.rate, channels: decoded.length } };
}

// The PNG of each position decoded by the browser itself, compared with the canvas's bytes.
function compareWithCaptures(page, rgbBase64, pngs) {
  return page.evaluate(`(async () => {
    const want = atob(${JSON.stringify(rgbBase64)});
    const results = [];
    for (const [position, base64] of ${JSON.stringify(pngs)}) {
      const blob = await (await fetch('data:image/png;base64,' + base64)).blob();
      const bitmap = await createImageBitmap(blob, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
      const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
      const painter = canvas.getContext('2d');
      painter.drawImage(bitmap, 0, 0);
      const data = painter.getImageData(0, 0, bitmap.width, bitmap.height).data;
      let differing = 0;
      for (let i = 0, j = 0; i < data.length; i += 4, j += 3)
        if (data[i] !== want.charCodeAt(j) || data[i + 1] !== want.charCodeAt(j + 1) || data[i + 2] !== want.charCodeAt(j + 2)) differing++;
      results.push([position, differing]);
    }
    return results;
  })()`);
}

function capturePngs(shown) {
  // The page played from the section's start: the capture renders the same run of frames,
  // so effects whose state builds up frame by frame have the same history.
  const dir = path.join(work, 'png');
  const last = shown + 8 * FRAME_MS;
  execFileSync(capture, ['--archive', nativeArchive, '--from', String(SECTION_2_MS), '--to', String(last), '--png', dir]);
  const files = fs.readdirSync(dir).sort();
  const pngs = [];
  files.forEach((file, index) => {
    const position = SECTION_2_MS + index * FRAME_MS;
    if (Math.abs(position - shown) <= 8 * FRAME_MS) pngs.push([position, fs.readFileSync(path.join(dir, file)).toString('base64')]);
  });
  return pngs;
}

async function main() {
  const port = await serve(layOutSite());
  const browser = startChromium();
  const site = `http://127.0.0.1:${port}/index.html`;

  const page = await openPage(browser, site + '?section=2');
  await page.until(`document.getElementById('message').textContent === 'Fullscreen?'`, 'the question');
  await page.key('n', 'KeyN', 78);
  await page.until('textdemo.frames > 0', 'the first frame');
  await sleep(3000);
  check(await page.evaluate('textdemo.error') === null, 'the show plays without an error line');

  const frame = await page.evaluate(READ_FRAME);
  check(frame.position >= SECTION_2_MS + 1000 && frame.position < SECTION_2_MS + 20000,
        `the shown position ${frame.position} lies a few seconds into section 2`);
  const lead = frame.clock - frame.position;
  check(lead >= 0 && lead < FRAME_MS, `the picture shows the audio clock's position: ${lead.toFixed(1)} ms behind it when drawn`);
  if (screenshotPath) {
    const { data } = await page.send('Page.captureScreenshot', { format: 'png' });
    fs.writeFileSync(screenshotPath, Buffer.from(data, 'base64'));
  }
  const results = await compareWithCaptures(page, frame.rgb, capturePngs(frame.position));
  const best = results.reduce((a, b) => (b[1] < a[1] ? b : a), [null, Infinity]);
  check(best[1] === 0, `the canvas equals textdemo-capture --png at ${best[0]} (shown ${frame.position}; best differs in ${best[1]} pixels)`);

  let peak = 0;
  for (let i = 0; i < 10 && peak < 0.01; ++i, await sleep(50)) peak = Math.max(peak, await page.evaluate(LOUDNESS));
  check(peak >= 0.01, `the music is heard at the output (peak ${peak.toFixed(3)})`);
  const decodings = await compareDecodings(page);
  const heard = decodings.browser;
  check(heard.rate === decodings.rate && heard.channels === decodings.channels && heard.length === decodings.length,
        `the browser decoded the music as libmpg123 does: ${heard.rate} Hz, ${heard.channels} channels, ` +
        `${heard.length} frames (libmpg123: ${decodings.rate}, ${decodings.channels}, ${decodings.length})`);
  check(decodings.onset < 4 * 44100 && decodings.shift === 0 && decodings.worst < 1e-4,
        `the browser's music starts at libmpg123's first sample: shift ${decodings.shift} at the first sound ` +
        `(frame ${decodings.onset}), samples within ${decodings.worst.toExponential(1)} over the first 4 s`);

  await page.key('Escape', 'Escape', 27);
  await page.until('textdemo.ended', 'the end after Escape', 10);
  check(await page.evaluate(`document.getElementById('message').textContent`) === 'The show has ended.', 'Escape ends the show');
  await page.close();

  for (const [archive, start] of [['damaged.salad', 'damaged resource archive'], ['lzma.salad', '/lzma.salad: entry'],
                                  ['missing.salad', 'unable to open missing.salad']]) {
    const bad = await openPage(browser, site + '?archive=' + archive);
    const line = await bad.until('textdemo.error', 'the message for ' + archive);
    const shown = await bad.evaluate(`document.getElementById('message').textContent`);
    check(line.includes(start) && !line.includes('\n') && shown === line, `${archive}: "${line}"`);
    await bad.close();
  }
  const badOption = await openPage(browser, site + '?section=10');
  const line = await badOption.until('textdemo.error', 'the message for a bad option');
  check(/--section/.test(line) && !line.includes('\n'), `?section=10: "${line}"`);
  await badOption.close();
}

main().catch((error) => check(false, error.message)).then(async () => {
  await cleanUp();
  console.log(failures ? `${failures} checks failed` : 'every check passed');
  process.exit(failures ? 1 : 0);
});
