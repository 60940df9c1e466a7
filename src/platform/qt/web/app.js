'use strict';
// The station page: the spectrogram from the WebSocket, the health every
// second, the buttons and the file list. Text from the station is only ever
// set as text, never as markup.

const $ = (id) => document.getElementById(id);
const canvas = $('spectrogram');
const ctx = canvas.getContext('2d', { willReadFrequently: false });

// Palette entries as the canvas stores pixels (RGBA bytes, little endian).
const lut = new Uint32Array(256);
let havePalette = false;
let socket = null;
let unauthorised = false;

function setPalette(bytes) {
  for (let i = 0; i < 256; i++) {
    const r = bytes[1 + 3 * i], g = bytes[2 + 3 * i], b = bytes[3 + 3 * i];
    lut[i] = (0xff << 24 | b << 16 | g << 8 | r) >>> 0;
  }
  if (!havePalette) {
    const c = bytes.subarray(1, 4);
    ctx.fillStyle = `rgb(${c[0]},${c[1]},${c[2]})`;
    ctx.fillRect(0, 0, canvas.width, canvas.height);
  }
  havePalette = true;
}

// 'C', flags, rows (16 bits), count (16 bits), count columns, top row first.
// Batches arrive a few times a second; the columns are drawn a few at a time
// on every animation frame, so the picture scrolls as steadily as the
// station's own window: left, the newest columns coming in at the right.
const queue = [];  // { bytes, rows, next, count }
let queued = 0;
let carry = 0;
let lastFrame = 0;
const kDrainSeconds = 0.25;  // how far behind the newest column the picture runs

function takeColumns(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const rows = view.getUint16(2, true);
  const count = view.getUint16(4, true);
  if (rows === 0 || count === 0 || bytes.length < 6 + rows * count) return;
  if (bytes[1] & 2) $('gap').textContent = 'Columns were dropped: this connection is slower than the display.';
  queue.push({ bytes, rows, next: 0, count });
  queued += count;
  // More than a screen waiting (a hidden tab, say): only the last screen can show.
  while (queued - queue[0].count + queue[0].next >= canvas.width && queue.length > 1) {
    queued -= queue[0].count - queue[0].next;
    queue.shift();
  }
}

function drawFrame(now) {
  const dt = lastFrame ? Math.min((now - lastFrame) / 1000, 1) : 0;
  lastFrame = now;
  let want = queued * Math.min(dt / kDrainSeconds, 1) + carry;
  let n = Math.min(Math.floor(want), queued);
  carry = n < queued ? want - n : 0;
  if (n > 0) drawColumns(n);
  requestAnimationFrame(drawFrame);
}

function drawColumns(n) {
  const rows = queue[0].rows;
  if (canvas.height !== rows) {
    canvas.height = rows;
    ctx.fillStyle = `rgb(${lut[0] & 255},${lut[0] >> 8 & 255},${lut[0] >> 16 & 255})`;
    ctx.fillRect(0, 0, canvas.width, rows);
  }
  const w = canvas.width;
  n = Math.min(n, w);
  const img = ctx.createImageData(n, rows);
  const px = new Uint32Array(img.data.buffer);
  let c = 0;
  while (c < n && queue.length) {
    const b = queue[0];
    if (b.rows !== rows) break;  // a new display: its columns start on the next frame
    for (; b.next < b.count && c < n; b.next++, c++) {
      const base = 6 + b.next * rows;
      for (let y = 0; y < rows; y++) px[y * n + c] = lut[b.bytes[base + y]];
    }
    if (b.next === b.count) queue.shift();
  }
  queued -= c;
  if (c === 0) return;
  if (c < w) ctx.drawImage(canvas, c, 0, w - c, rows, 0, 0, w - c, rows);
  ctx.putImageData(img, w - c, 0, 0, 0, c, rows);
}

function connect() {
  const scheme = location.protocol === 'https:' ? 'wss:' : 'ws:';
  socket = new WebSocket(`${scheme}//${location.host}/ws`);
  socket.binaryType = 'arraybuffer';
  socket.onopen = () => { setLink(true); };
  socket.onmessage = (ev) => {
    if (!(ev.data instanceof ArrayBuffer)) return;
    const bytes = new Uint8Array(ev.data);
    if (bytes.length === 0) return;
    if (bytes[0] === 0x50 && bytes.length === 1 + 256 * 3) setPalette(bytes);
    else if (bytes[0] === 0x43 && havePalette) takeColumns(bytes);
  };
  socket.onclose = () => {
    setLink(false);
    if (!unauthorised) setTimeout(connect, 2000);
  };
}

function setLink(on) {
  const el = $('link');
  el.textContent = unauthorised ? 'not authorised' : on ? 'live' : 'reconnecting';
  el.className = 'link ' + (on ? 'on' : 'off');
}

function say(text) { $('feedback').textContent = text; }

function noAccess() {
  unauthorised = true;
  setLink(false);
  say('Not authorised: open this page once with ?token= and the station\'s token.');
}

function formatBytes(n) {
  if (n >= 1 << 30) return (n / (1 << 30)).toFixed(2) + ' GB';
  if (n >= 1 << 20) return (n / (1 << 20)).toFixed(1) + ' MB';
  if (n >= 1 << 10) return (n / (1 << 10)).toFixed(0) + ' kB';
  return n + ' B';
}

async function refreshStatus() {
  try {
    const r = await fetch('/api/status', { cache: 'no-store' });
    if (r.status === 401) return noAccess();
    if (!r.ok) return;
    const s = await r.json();
    $('statusText').textContent = s.status;
    $('mode').textContent = s.mode;
    $('running').textContent = s.running ? 'running' : 'stopped';
    const run = s.run;
    $('runFigures').textContent = run
      ? `${run.outcome}, ${run.duration}, ${run.blocks} blocks, Fails ${run.fails}, Overloads ${run.overloads}` +
        (run.filesWritten ? `, ${run.filesWritten} files (${formatBytes(run.bytesWritten)})` : '') +
        (run.error ? ` - ${run.error}` : '')
      : 'no run yet';
    $('fails').textContent = 'Fails ' + s.fails;
    $('overloads').textContent = 'Overloads ' + s.overloads;
    $('file').textContent = s.file || '-';
    $('fileTime').textContent = s.fileTime || '-';
    $('freeDisk').textContent = s.freeMB >= 0 ? s.freeMB + ' MB' : 'unknown';
    $('buffer').textContent = s.bufferSeconds > 0 ? `${s.bufferFilledSeconds} of ${s.bufferSeconds} s` : 'off';
    $('input').textContent = `${s.sampleRate} Hz x ${s.channels}`;
    const health = $('health');
    const bad = s.fails > 0 || s.overloads > 0;
    health.textContent = `Fails ${s.fails}, Overloads ${s.overloads}` + (s.statusLine ? ' - ' + s.statusLine : '');
    health.className = 'health-line' + (bad ? ' bad' : '');
  } catch (e) {
    setLink(false);
  }
}

async function refreshFiles() {
  try {
    const r = await fetch('/api/files', { cache: 'no-store' });
    if (!r.ok) return;
    const list = await r.json();
    const body = $('fileRows');
    body.replaceChildren();
    for (const f of list) {
      const tr = document.createElement('tr');
      const name = document.createElement('td');
      const a = document.createElement('a');
      a.href = `/files/${f.kind}/${encodeURIComponent(f.name)}`;
      a.textContent = f.name;
      a.setAttribute('download', f.name);
      name.appendChild(a);
      const size = document.createElement('td');
      size.className = 'size';
      size.textContent = formatBytes(f.size);
      const time = document.createElement('td');
      time.textContent = f.time;
      tr.append(name, size, time);
      body.appendChild(tr);
    }
  } catch (e) { /* next round */ }
}

async function post(path, text) {
  const r = await fetch(path, { method: 'POST', headers: { 'Content-Type': 'text/plain' }, body: text });
  if (r.status === 401) noAccess();
  return r;
}

for (const b of document.querySelectorAll('button[data-command]')) {
  b.addEventListener('click', async () => {
    const word = b.dataset.command;
    try {
      const r = await post('/api/command', word);
      say(r.ok ? `${b.textContent}: sent` : `${b.textContent}: refused (${r.status})`);
    } catch (e) {
      say(`${b.textContent}: station not reached`);
    }
    setTimeout(refreshStatus, 300);
    setTimeout(refreshFiles, 1500);
  });
}

$('noteForm').addEventListener('submit', async (ev) => {
  ev.preventDefault();
  const text = $('noteText').value.trim();
  if (!text) return;
  try {
    const r = await post('/api/note', text);
    if (r.ok) {
      say('Note written: ' + text);
      $('noteText').value = '';
    } else {
      say('Note not written (' + r.status + ')');
    }
  } catch (e) {
    say('Note: station not reached');
  }
});

refreshStatus();
refreshFiles();
setInterval(refreshStatus, 1000);
setInterval(refreshFiles, 5000);
connect();
requestAnimationFrame(drawFrame);
