// main.js - the page around the program: one run of the demo at a time on a
// fresh canvas, its console, its status line and its reports; meshes given
// in the address (?mesh=NAME), picked or dropped; frames counted.
import { Console } from './console.js';
import { isForeign, toMeshText } from './import.js';

const FONT_FAMILY = 'DejaVu Sans Mono';
const MESH_DIR = '/mesh';

const $ = (id) => document.getElementById(id);
const view = $('view');
const statusLine = $('status');
const reportBox = $('report');
const rate = $('rate');

// What the tests and a curious reader can see of the page.
const page = (window.orvanePage = {
  state: 'loading',  // loading, running, report (a report ended the run), ended
  frames: 0,         // frames shown by the current run
  firstFrameMs: null,  // the first frame of the page, in ms from its load
  fps: 0,            // frames per second over the last whole second
  runs: 0,
});

function setState(state) {
  page.state = state;
  document.body.dataset.state = state;
}

function showReport(text) {
  reportBox.textContent = text;
  reportBox.hidden = !text;
}

// Frames per second, counted over whole seconds of the run.
let rateStart = 0, rateFrames = 0;
function countFrame(counter) {
  const now = performance.now();
  page.frames = counter;
  if (page.firstFrameMs === null) page.firstFrameMs = now;
  if (rateStart === 0) rateStart = now;
  ++rateFrames;
  if (now - rateStart >= 1000) {
    page.fps = (rateFrames * 1000) / (now - rateStart);
    rate.textContent = `${page.fps.toFixed(1)} frames/s`;
    rateStart = now;
    rateFrames = 0;
  }
}

let run = null;  // { module, ended: Promise } of the current run

// Ends the current run the way a desktop window's close button does, and
// waits until its shutdown has run (a run that a report ended is over).
async function stopRun() {
  if (!run) return;
  const current = run;
  run = null;
  if (page.state === 'running') {
    current.module._orvCloseRequest();
    await Promise.race([current.ended, new Promise((r) => setTimeout(r, 3000))]);
  }
  current.canvas.remove();
}

// Starts the demo on a new canvas with args, after writing files (a list of
// { path, bytes }) into its file system.
async function startRun(args, files = []) {
  await stopRun();
  const term = new Console();
  const canvas = document.createElement('canvas');
  canvas.id = 'canvas';
  canvas.width = 800;
  canvas.height = 600;
  canvas.tabIndex = 0;
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  view.prepend(canvas);
  setState('loading');
  showReport('');
  page.frames = 0;
  page.fps = 0;
  rateStart = rateFrames = 0;
  ++page.runs;
  let ended;
  const endedPromise = new Promise((r) => (ended = r));
  const module = await window.createOrvane({
    canvas,
    arguments: args,
    textFont,
    stdout: (b) => term.put(b),
    stderr: (b) => term.put(b),
    // Emscripten's own messages are the browser console's, not the program's.
    print: (t) => console.log(t),
    printErr: (t) => console.warn(t),
    preRun: [(m) => {
      m.FS.mkdir(MESH_DIR);
      for (const f of files) m.FS.writeFile(f.path, f.bytes);
    }],
    onFrame: (counter) => {
      if (page.state === 'loading') setState('running');
      statusLine.textContent = term.current();
      countFrame(counter);
    },
    onEnded: (status, report) => {
      setState(report ? 'report' : 'ended');
      if (report) showReport(term.text());
      ended();
    },
    onAbort: (what) => {
      term.putLine(`The program stopped: ${what}`);
      setState('report');
      showReport(term.text());
      ended();
    },
  });
  run = { module, canvas, ended: endedPromise };
  canvas.focus();
}

// Opens a mesh file: Orvane's mesh text as it is, another format converted
// on the page. A file that cannot be read is reported and the run on the
// page goes on.
async function openMesh(name, bytes, others, base) {
  const path = `${MESH_DIR}/${name.slice(name.lastIndexOf('/') + 1).replace(/[^\w.+-]/g, '_')}`;
  if (isForeign(name)) {
    try {
      const { text } = await toMeshText(name, bytes, others, base);
      bytes = new TextEncoder().encode(text);
    } catch (e) {
      showReport(`Cannot open the mesh '${name}': ${e.message}`);
      return;
    }
  }
  await startRun([path], [{ path, bytes }]);
}

async function openFiles(fileList) {
  const files = Array.from(fileList);
  if (files.length === 0) return;
  // A glTF file with its buffers: the mesh is the one the others belong to.
  const main = files.find((f) => isForeign(f.name) && !/\.bin$/i.test(f.name)) || files[0];
  const others = new Map(files.filter((f) => f !== main).map((f) => [f.name, f]));
  await openMesh(main.name, new Uint8Array(await main.arrayBuffer()), others, '');
}

async function openAddress(name) {
  const url = new URL(name, location.href);
  let response;
  try {
    response = await fetch(url);
  } catch (e) {
    response = null;
  }
  if (!response || !response.ok) {
    showReport(`Cannot open the mesh '${name}': ${response ? response.status + ' ' + response.statusText : 'not reachable'}`);
    setState('ended');
    return;
  }
  const base = url.href.slice(0, url.href.lastIndexOf('/') + 1);
  await openMesh(name, new Uint8Array(await response.arrayBuffer()), new Map(), base);
}

$('file').addEventListener('change', async (e) => {
  const files = Array.from(e.target.files);
  e.target.value = '';  // the next pick is a new choice, even of the same file
  await openFiles(files);
});
document.addEventListener('dragover', (e) => e.preventDefault());
document.addEventListener('drop', (e) => {
  e.preventDefault();
  openFiles(e.dataTransfer.files);
});
$('restart').addEventListener('click', () => startRun([]));

// The text in the picture uses the font served with the page, loaded before
// the first run so that its glyphs are ready when the program asks.
// Without it the picture has no text, as on a desktop without the font.
const font = new FontFace(FONT_FAMILY, 'url(fonts/DejaVuSansMono.ttf)');
document.fonts.add(font);
const textFont = await font.load().then(() => FONT_FAMILY, () => undefined);

const mesh = new URLSearchParams(location.search).get('mesh');
if (mesh) await openAddress(mesh);
else await startRun([]);
