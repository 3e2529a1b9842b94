// The document functions of the WebAssembly module as JavaScript: bytes in,
// bytes or an error sentence out. The page runs this in a worker (so that a
// long path pass never freezes it), or on its own thread where workers are
// not to be had; rotundelWorkerMain is the worker's side of the messages.
'use strict';

function rotundelApi(m) {
  const session = m._rotundel_session_new();
  // The session's result: a copy of its bytes, or the sentence and its reason.
  const result = (ok) => {
    if (!ok)
      return {
        ok: false,
        error: m.UTF8ToString(m._rotundel_error(session)),
        reason: m.UTF8ToString(m._rotundel_reason(session)),
      };
    const at = m._rotundel_out(session);
    return { ok: true, bytes: m.HEAPU8.slice(at, at + m._rotundel_out_size(session)) };
  };
  const withCopy = (bytes, body) => {
    const at = m._malloc(Math.max(1, bytes.length));
    try {
      m.HEAPU8.set(bytes, at);
      return body(at);
    } finally {
      m._free(at);
    }
  };
  return {
    // bytes: the .one file (Uint8Array); name: its file name, for sentences.
    open(bytes, name) {
      const nameBytes = new TextEncoder().encode(String(name || '') + '\0');
      return withCopy(nameBytes, (nameAt) =>
        withCopy(bytes, (at) => result(m._rotundel_open(session, at, bytes.length, nameAt))));
    },
    // The CSV of `rotundel export FILE.one -o FILE.csv`, and the time its
    // path pass took.
    csv() {
      const r = result(m._rotundel_csv(session));
      r.passMs = m._rotundel_pass_ms(session);
      return r;
    },
    // What `rotundel info FILE.one` prints (json: `--json`).
    info(json) {
      return result(m._rotundel_info(session, json ? 1 : 0));
    },
    // The .one bytes that saving writes.
    save() {
      return result(m._rotundel_save(session));
    },
    // The fastest of repeats path passes on this thread, milliseconds.
    benchPathPass(repeats) {
      const ms = m._rotundel_bench_path_pass(session, repeats);
      return ms < 0 ? result(false) : { ok: true, ms };
    },
  };
}

// The module on this thread. It compiles synchronously (the build asks for
// that), so its functions are there when this returns.
function rotundelHere() {
  const m = {};
  createRotundel(m);
  return rotundelApi(m);
}

// Messages {id, op, args} in, {id, result} out; the bytes of a result are
// handed over, not copied.
function rotundelWorkerMain() {
  let api = null;
  self.onmessage = (e) => {
    const { id, op, args } = e.data;
    let result;
    try {
      api = api || rotundelHere();
      result = api[op](...args);
    } catch (error) {
      // A trap (memory exhausted, say) leaves the module unusable: the next
      // message starts a fresh one.
      api = null;
      result = { ok: false, error: String(error && error.message ? error.message : error), reason: '' };
    }
    self.postMessage({ id, result }, result.bytes ? [result.bytes.buffer] : []);
  };
}
