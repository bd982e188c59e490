// Plays the MP4s in DIR (listed in DIR/expected.json) in Chromium, driven headless through
// puppeteer-core: each in a <video> served over a localhost HTTP server with byte ranges; checks
// the duration and size the element reports, then seeks to each expected time, draws the frame to
// a canvas and compares a pixel with the source picture's.
//
// Usage: node play.mjs DIR NODE_MODULES_DIR CHROMIUM
import { createRequire } from 'node:module';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

const [dir, modules, chromium] = process.argv.slice(2);
const require = createRequire(path.join(path.resolve(modules), 'index.js'));
const puppeteer = require('puppeteer-core');
const expected = JSON.parse(fs.readFileSync(path.join(dir, 'expected.json'), 'utf8'));
const TOLERANCE = 24; // per channel: compression and the YUV round trip; neighbours differ by 100+

const page = `<!doctype html><meta charset="utf-8"><body>
<video id="video" muted preload="auto" playsinline></video><canvas id="canvas"></canvas></body>`;

function serve(request, response) {
  const name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname.slice(1));
  if (name === '') {
    response.writeHead(200, { 'Content-Type': 'text/html' }).end(page);
    return;
  }
  if (!expected.files.includes(name)) {
    response.writeHead(404).end();
    return;
  }
  const file = path.join(dir, name);
  const size = fs.statSync(file).size;
  const range = /^bytes=(\d*)-(\d*)$/.exec(request.headers.range || '');
  let start = 0;
  let end = size - 1;
  if (range) {
    if (range[1] === '') {
      start = Math.max(0, size - Number(range[2]));
    } else {
      start = Number(range[1]);
      end = range[2] === '' ? end : Math.min(end, Number(range[2]));
    }
    if (start > end) {
      response.writeHead(416, { 'Content-Range': `bytes */${size}` }).end();
      return;
    }
  }
  const headers = {
    'Content-Type': 'video/mp4',
    'Accept-Ranges': 'bytes',
    'Content-Length': end - start + 1,
  };
  if (range) headers['Content-Range'] = `bytes ${start}-${end}/${size}`;
  response.writeHead(range ? 206 : 200, headers);
  fs.createReadStream(file, { start, end }).pipe(response);
}

// Runs in the page: loads the file, reports what the element says, seeks and reads pixels.
async function play(source, seeks) {
  const video = document.getElementById('video');
  const canvas = document.getElementById('canvas');
  const failed = new Promise((_, reject) => {
    video.onerror = () => reject(new Error(`media error ${video.error && video.error.code}: `
        + `${video.error && video.error.message}`));
  });
  const once = (name) => Promise.race([failed,
    new Promise((resolve) => video.addEventListener(name, resolve, { once: true }))]);
  const loaded = once('loadeddata');
  video.src = source;
  await loaded;
  const report = { duration: video.duration, width: video.videoWidth,
    height: video.videoHeight, seeks: [] };
  canvas.width = video.videoWidth;
  canvas.height = video.videoHeight;
  const context = canvas.getContext('2d', { willReadFrequently: true });
  for (const seek of seeks) {
    const seeked = once('seeked');
    video.currentTime = seek.time;
    await seeked;
    // The frame of the new position, once it has been presented.
    if (video.requestVideoFrameCallback) {
      await Promise.race([new Promise((r) => video.requestVideoFrameCallback(r)),
        new Promise((r) => setTimeout(r, 500))]);
    }
    context.drawImage(video, 0, 0);
    const pixel = context.getImageData(seek.x, seek.y, 1, 1).data;
    report.seeks.push({ time: seek.time, currentTime: video.currentTime,
      rgb: [pixel[0], pixel[1], pixel[2]] });
  }
  return report;
}

const server = http.createServer(serve);
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const origin = `http://127.0.0.1:${server.address().port}`;
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tq-chromium-'));
const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ['--no-sandbox', '--headless', '--disable-gpu', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--no-first-run',
    '--autoplay-policy=no-user-gesture-required', `--user-data-dir=${profile}`],
});
let failures = 0;
try {
  const tab = await browser.newPage();
  tab.setDefaultTimeout(30000);
  await tab.goto(`${origin}/`);
  for (const file of expected.files) {
    const report = await tab.evaluate(play, `${origin}/${file}`, expected.seeks);
    const problems = [];
    if (report.width !== expected.width || report.height !== expected.height) {
      problems.push(`size ${report.width}x${report.height}, expected `
          + `${expected.width}x${expected.height}`);
    }
    if (Math.abs(report.duration - expected.duration) > 0.002) {
      problems.push(`duration ${report.duration} s, expected ${expected.duration} s`);
    }
    report.seeks.forEach((seen, i) => {
      const want = expected.seeks[i];
      const off = Math.max(...seen.rgb.map((value, c) => Math.abs(value - want.rgb[c])));
      const line = `${file}: at ${want.time} s (picture ${want.picture}) rgb ${seen.rgb}, `
          + `source ${want.rgb}`;
      console.log(line);
      if (off > TOLERANCE) problems.push(`${line}: off by ${off}`);
    });
    console.log(`${file}: ${report.width}x${report.height}, ${report.duration} s `
        + `(expected ${expected.duration} s)`);
    for (const problem of problems) console.error(`FAIL ${file}: ${problem}`);
    failures += problems.length;
  }
} finally {
  await browser.close();
  server.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
if (failures > 0) {
  process.exit(1);
}
console.log('the browser played every file as written');
