// The page: the built-in examples, a file opened or dropped, its read-out,
// downloads of the .one and the CSV; and, at #selftest=NAME, a check of one
// example whose result goes into <body data-selftest> for a headless browser.
'use strict';

const examples = JSON.parse(document.getElementById('rotundel-examples').textContent);
const $ = (id) => document.getElementById(id);

// The document functions, in a worker where the browser allows one from
// this page (a long path pass never freezes the page), else here.
function documentFunctions() {
  let worker = null;
  try {
    const text = [
      document.getElementById('rotundel-module').textContent,
      document.getElementById('rotundel-api').textContent,
      'rotundelWorkerMain();',
    ].join('\n;\n');
    worker = new Worker(URL.createObjectURL(new Blob([text], { type: 'text/javascript' })));
  } catch (e) {
    worker = null;
  }
  document.body.dataset.engine = worker ? 'worker' : 'page';
  let here = null;
  const callHere = async (op, ...args) => {
    try {
      return (here || (here = rotundelHere()))[op](...args);
    } catch (error) {
      here = null;
      return { ok: false, error: String(error && error.message ? error.message : error), reason: '' };
    }
  };
  if (!worker) return { call: callHere };
  let next = 0;
  const waiting = new Map();
  worker.onmessage = (e) => {
    const { id, result } = e.data;
    waiting.get(id)(result);
    waiting.delete(id);
  };
  // A worker that cannot run at all: what was asked fails with its reason,
  // and what is asked later runs here.
  worker.onerror = (e) => {
    worker.terminate();
    worker = null;
    document.body.dataset.engine = 'page';
    for (const done of waiting.values()) done({ ok: false, error: String(e.message), reason: '' });
    waiting.clear();
  };
  return {
    call: (op, ...args) =>
      worker
        ? new Promise((resolve) => {
            const id = next++;
            waiting.set(id, resolve);
            worker.postMessage({ id, op, args });
          })
        : callHere(op, ...args),
  };
}
let rotundel = null;

const decode = (bytes) => new TextDecoder().decode(bytes);
const bytesOfBase64 = (text) => Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
// The sentence of a failed result, as the desktop shows it: the message,
// then the file system's reason.
const sentence = (r) => (r.reason ? `${r.error} (${r.reason})` : r.error);

async function sha256(bytes) {
  const digest = await crypto.subtle.digest('SHA-256', bytes);
  return Array.from(new Uint8Array(digest), (b) => b.toString(16).padStart(2, '0')).join('');
}

let documentName = '';

function say(text, error) {
  $('status').textContent = text;
  $('status').classList.toggle('error', !!error);
}

async function openBytes(bytes, name) {
  say(`Opening ${name}…`);
  const opened = await rotundel.call('open', bytes, name);
  if (!opened.ok) {
    say(`Cannot open ${name}: ${sentence(opened)}`, true);
    return false;
  }
  documentName = name;
  $('save').disabled = $('csv').disabled = false;
  say(`Working out the paths of ${name}…`);
  const info = await rotundel.call('info', false);
  if (!info.ok) {
    say(`${name}: ${sentence(info)}`, true);
    return false;
  }
  $('info').textContent = decode(info.bytes);
  say(name);
  return true;
}

function download(bytes, name, type) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

async function openFile(file) {
  if (!file) return;
  openBytes(new Uint8Array(await file.arrayBuffer()), file.name);
}

function wire() {
  for (const name of Object.keys(examples)) {
    const option = document.createElement('option');
    option.value = option.textContent = name;
    $('example').appendChild(option);
  }
  $('example').addEventListener('change', (e) => {
    const name = e.target.value;
    if (name) openBytes(bytesOfBase64(examples[name]), `${name}.one`);
  });
  $('file').addEventListener('change', (e) => openFile(e.target.files[0]));
  document.addEventListener('dragover', (e) => {
    e.preventDefault();
    document.body.classList.add('dragging');
  });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('dragging');
    openFile(e.dataTransfer.files[0]);
  });
  const base = () => documentName.replace(/\.one$/i, '') || 'automaton';
  $('save').addEventListener('click', async () => {
    const r = await rotundel.call('save');
    if (r.ok) download(r.bytes, `${base()}.one`, 'application/octet-stream');
    else say(`Cannot save ${documentName}: ${sentence(r)}`, true);
  });
  $('csv').addEventListener('click', async () => {
    const r = await rotundel.call('csv');
    if (r.ok) download(r.bytes, `${base()}.csv`, 'text/csv');
    else say(sentence(r), true);
  });
}

// #selftest=NAME: opens the example NAME and reports the hashes of its CSV,
// its info --json and the .one it saves, the fastest of twenty path passes on one thread, and
// what opening the example cut in half says (the document must stay).
// The work runs on the page's thread while the page loads, so that a
// headless browser's --dump-dom (with a virtual time budget for the hashes)
// sees the report: a worker's time would not hold the page's clock.
async function selfTest(name) {
  const report = { ok: false, example: name };
  try {
    if (!(name in examples)) throw new Error(`no example is called ${name}`);
    const api = rotundelHere();
    const whole = bytesOfBase64(examples[name]);
    const opened = api.open(whole, `${name}.one`);
    if (!opened.ok) throw new Error(sentence(opened));
    const saved = api.save();
    const cut = api.open(whole.subarray(0, whole.length >> 1), `${name}-cut.one`);
    report.damaged = cut.ok ? '(opened)' : sentence(cut);
    const kept = api.save();
    report.keptDocument =
      saved.ok && kept.ok && (await sha256(saved.bytes)) === (await sha256(kept.bytes));
    const csv = api.csv();
    if (!csv.ok) throw new Error(sentence(csv));
    const info = api.info(true);
    if (!info.ok) throw new Error(sentence(info));
    const bench = api.benchPathPass(20);
    if (!bench.ok) throw new Error(sentence(bench));
    report.csvBytes = csv.bytes.length;
    report.firstPassMs = csv.passMs;
    report.pathPassMs = bench.ms;
    report.csvSha256 = await sha256(csv.bytes);
    report.infoSha256 = await sha256(info.bytes);
    report.oneSha256 = await sha256(saved.bytes);
    report.ok = true;
  } catch (e) {
    report.error = String(e && e.message ? e.message : e);
  }
  document.body.dataset.selftest = JSON.stringify(report);
}

const test = /^#selftest=(.+)$/.exec(location.hash);
if (test) {
  selfTest(decodeURIComponent(test[1]).replace(/\.one$/, ''));
} else {
  rotundel = documentFunctions();
  wire();
  // #example=NAME: a link to the page with one of its examples open.
  const start = /^#example=(.+)$/.exec(location.hash);
  const chosen = start && decodeURIComponent(start[1]).replace(/\.one$/, '');
  if (chosen in examples) {
    $('example').value = chosen;
    openBytes(bytesOfBase64(examples[chosen]), `${chosen}.one`);
  }
}
