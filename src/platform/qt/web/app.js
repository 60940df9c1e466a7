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
// The picture scrolls left and the newest columns come in at the right, as
// in the station's own window.
function drawColumns(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const flags = bytes[1];
  const rows = view.getUint16(2, true);
  const count = view.getUint16(4, true);
  if (rows === 0 || count === 0 || bytes.length < 6 + rows * count) return;
  if (canvas.height !== rows) {
    canvas.height = rows;
    ctx.fillStyle = `rgb(${lut[0] & 255},${lut[0] >> 8 & 255},${lut[0] >> 16 & 255})`;
    ctx.fillRect(0, 0, canvas.width, rows);
  }
  const w = canvas.width;
  const n = Math.min(count, w);
  if (n < w) ctx.drawImage(canvas, n, 0, w - n, rows, 0, 0, w - n, rows);
  const img = ctx.createImageData(n, rows);
  const px = new Uint32Array(img.data.buffer);
  const first = count - n;
  for (let c = 0; c < n; c++) {
    const base = 6 + (first + c) * rows;
    for (let y = 0; y < rows; y++) px[y * n + c] = lut[bytes[base + y]];
  }
  ctx.putImageData(img, w - n, 0);
  if (flags & 2) $('gap').textContent = 'Columns were dropped: this connection is slower than the display.';
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
    else if (bytes[0] === 0x43 && havePalette) drawColumns(bytes);
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
