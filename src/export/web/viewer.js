/* Rotundel's page viewer: the curves of one automaton as lit tubes or lines,
   its spheres rolling through one period, turned by mouse, touch or keys.
   WebGL 2 where the browser has it, WebGL 1 otherwise; the shaders are
   GLSL ES 1.00, which both take. Comments use this form only, so that the
   page holds no double slash that a reader could take for an address. */
(function () {
  'use strict';

  const data = JSON.parse(document.getElementById('rotundel-data').textContent);
  const canvas = document.getElementById('view');
  const message = document.getElementById('message');
  const PERIOD_MS = 10000;

  function selfTestMode() {
    if (/selftest/.test(location.hash)) return location.hash;
    try {
      if (window.parent !== window && /selftest/.test(window.parent.location.hash))
        return window.parent.location.hash;
    } catch (e) { /* another origin: no self-test from there */ }
    return '';
  }
  const selfTest = selfTestMode();

  function say(text) { message.textContent = text; }

  /* ---- Data ---- */

  function bytesOf(text) {
    const plain = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
    const out = new Uint8Array(plain.length);
    for (let i = 0; i < plain.length; ++i) out[i] = plain.charCodeAt(i);
    return out;
  }

  async function inflate(text) {
    const stream = new Blob([bytesOf(text)]).stream().pipeThrough(new DecompressionStream('deflate'));
    const buffer = await new Response(stream).arrayBuffer();
    const view = new DataView(buffer);
    const out = new Uint16Array(buffer.byteLength >> 1);
    for (let i = 0; i < out.length; ++i) out[i] = view.getUint16(2 * i, true);
    return out;
  }

  /* Runs of differences back to 16-bit levels, each run from zero. */
  function undelta(values, start, count) {
    const out = new Uint16Array(count);
    let last = 0;
    for (let i = 0; i < count; ++i) {
      last = (last + values[start + i]) & 0xffff;
      out[i] = last;
    }
    return out;
  }

  const lo = data.box.min, hi = data.box.max;
  const span = [0, 1, 2].map((i) => (hi[i] > lo[i] ? hi[i] - lo[i] : 1));
  function coordinate(level, axis) { return lo[axis] + (level / 65535) * span[axis]; }
  const extent = Math.max(span[0], span[1], span[2], 1e-9);
  const centre = [0, 1, 2].map((i) => (hi[i] > lo[i] ? (lo[i] + hi[i]) / 2 : lo[i]));

  async function decodeCurves() {
    const values = await inflate(data.positions);
    const counts = data.curves.map((c) => Math.ceil(c.samples / data.stride));
    const total = counts.reduce((a, b) => a + b, 0);
    if (values.length !== 3 * total) throw new Error('The page\u2019s curve data are damaged.');
    const curves = data.curves.map((c, i) => ({ info: c, count: counts[i], xyz: new Float64Array(3 * counts[i]) }));
    let at = 0;
    for (let axis = 0; axis < 3; ++axis)
      for (const c of curves) {
        const run = undelta(values, at, c.count);
        for (let k = 0; k < c.count; ++k) c.xyz[3 * k + axis] = coordinate(run[k], axis);
        at += c.count;
      }
    return curves;
  }

  async function decodeMotion() {
    const keys = data.keys, n = data.spheres.length;
    const poses = [];
    if (n === 0) return poses;
    const values = await inflate(data.motion);
    if (values.length !== n * 7 * keys) throw new Error('The page\u2019s sphere data are damaged.');
    let at = 0;
    for (let s = 0; s < n; ++s) {
      const pose = new Float64Array(7 * keys);
      for (let part = 0; part < 7; ++part) {
        const run = undelta(values, at, keys);
        at += keys;
        for (let k = 0; k < keys; ++k) {
          const v = run[k];
          pose[7 * k + part] = part < 3 ? coordinate(v, part) : (v > 32767 ? v - 65536 : v) / 32767;
        }
      }
      poses.push(pose);
    }
    return poses;
  }

  /* ---- Matrices (column order) ---- */

  function multiply(a, b) {
    const m = new Float32Array(16);
    for (let c = 0; c < 4; ++c)
      for (let r = 0; r < 4; ++r) {
        let s = 0;
        for (let k = 0; k < 4; ++k) s += a[k * 4 + r] * b[c * 4 + k];
        m[c * 4 + r] = s;
      }
    return m;
  }

  function perspective(fovy, aspect, near, far) {
    const f = 1 / Math.tan((fovy * Math.PI) / 360);
    const m = new Float32Array(16);
    m[0] = f / aspect; m[5] = f; m[10] = (far + near) / (near - far); m[11] = -1;
    m[14] = (2 * far * near) / (near - far);
    return m;
  }

  function poseMatrix(q, t, scale) {
    const [x, y, z, w] = q;
    const m = new Float32Array(16);
    m[0] = (1 - 2 * (y * y + z * z)) * scale; m[1] = 2 * (x * y + z * w) * scale; m[2] = 2 * (x * z - y * w) * scale;
    m[4] = 2 * (x * y - z * w) * scale; m[5] = (1 - 2 * (x * x + z * z)) * scale; m[6] = 2 * (y * z + x * w) * scale;
    m[8] = 2 * (x * z + y * w) * scale; m[9] = 2 * (y * z - x * w) * scale; m[10] = (1 - 2 * (x * x + y * y)) * scale;
    m[12] = t[0]; m[13] = t[1]; m[14] = t[2]; m[15] = 1;
    return m;
  }

  /* A 3x3 rotation (column order) turned by angle about a unit axis of the eye. */
  function turned(rotation, axis, angle) {
    const c = Math.cos(angle), s = Math.sin(angle), t = 1 - c, [x, y, z] = axis;
    const r = [t * x * x + c, t * x * y + s * z, t * x * z - s * y,
      t * x * y - s * z, t * y * y + c, t * y * z + s * x,
      t * x * z + s * y, t * y * z - s * x, t * z * z + c];
    const out = new Array(9);
    for (let col = 0; col < 3; ++col)
      for (let row = 0; row < 3; ++row) {
        let v = 0;
        for (let k = 0; k < 3; ++k) v += r[k * 3 + row] * rotation[col * 3 + k];
        out[col * 3 + row] = v;
      }
    return out;
  }

  function colourOf(hex) {
    return [1, 3, 5].map((i) => parseInt(hex.substr(i, 2), 16) / 255);
  }

  /* ---- WebGL ---- */

  const contextOptions = { antialias: true, preserveDrawingBuffer: !!selfTest, alpha: false };
  let gl = canvas.getContext('webgl2', contextOptions);
  const webgl = gl ? 2 : 1;
  if (!gl) gl = canvas.getContext('webgl', contextOptions) || canvas.getContext('experimental-webgl', contextOptions);
  const bigIndices = gl && (webgl === 2 || !!gl.getExtension('OES_element_index_uint'));

  const VERTEX = [
    'attribute vec3 position;', 'attribute vec3 normal;',
    'uniform mat4 model;', 'uniform mat4 view;', 'uniform mat4 projection;',
    'varying vec3 eyeNormal;',
    'void main() {',
    '  mat4 modelView = view * model;',
    '  eyeNormal = mat3(modelView) * normal;',
    '  gl_Position = projection * modelView * vec4(position, 1.0);',
    '}'].join('\n');
  const FRAGMENT = [
    'precision highp float;',
    'uniform vec3 colour;', 'uniform float alpha;', 'uniform float lit;',
    'varying vec3 eyeNormal;',
    'void main() {',
    '  vec3 n = normalize(eyeNormal);',
    '  if (!gl_FrontFacing) n = -n;',
    '  vec3 light = normalize(vec3(0.4, 0.6, 1.0));',
    '  float diffuse = max(dot(n, light), 0.0);',
    '  float shine = pow(max(dot(n, normalize(light + vec3(0.0, 0.0, 1.0))), 0.0), 40.0);',
    '  vec3 shaded = colour * (0.4 + 0.75 * diffuse) + vec3(0.35 * shine);',
    '  gl_FragColor = vec4(mix(colour, shaded, lit), alpha);',
    '}'].join('\n');

  function compile(type, text) {
    const shader = gl.createShader(type);
    gl.shaderSource(shader, text);
    gl.compileShader(shader);
    if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS)) throw new Error(gl.getShaderInfoLog(shader));
    return shader;
  }

  let program, where;
  function setUpProgram() {
    program = gl.createProgram();
    gl.attachShader(program, compile(gl.VERTEX_SHADER, VERTEX));
    gl.attachShader(program, compile(gl.FRAGMENT_SHADER, FRAGMENT));
    gl.bindAttribLocation(program, 0, 'position');
    gl.bindAttribLocation(program, 1, 'normal');
    gl.linkProgram(program);
    if (!gl.getProgramParameter(program, gl.LINK_STATUS)) throw new Error(gl.getProgramInfoLog(program));
    where = {};
    for (const name of ['model', 'view', 'projection', 'colour', 'alpha', 'lit'])
      where[name] = gl.getUniformLocation(program, name);
  }

  function buffer(target, array) {
    const b = gl.createBuffer();
    gl.bindBuffer(target, b);
    gl.bufferData(target, array, gl.STATIC_DRAW);
    return b;
  }

  /* A closed tube around a curve: rings carried along by parallel transport,
     the twist left over after one round shared out evenly along it. */
  function tubeOf(xyz, count, radius, sides) {
    const points = [];
    for (let k = 0; k < count; ++k) points.push([xyz[3 * k], xyz[3 * k + 1], xyz[3 * k + 2]]);
    const n = points.length;
    const tangents = points.map((p, k) => {
      const a = points[(k + n - 1) % n], b = points[(k + 1) % n];
      const t = [b[0] - a[0], b[1] - a[1], b[2] - a[2]];
      const l = Math.hypot(t[0], t[1], t[2]);
      return l > 0 ? t.map((v) => v / l) : [0, 0, 1];
    });
    const cross = (a, b) => [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]];
    const dot = (a, b) => a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    const unit = (v) => { const l = Math.hypot(v[0], v[1], v[2]); return l > 1e-12 ? v.map((x) => x / l) : null; };
    const t0 = tangents[0];
    let normal = unit(cross(t0, Math.abs(t0[0]) < 0.9 ? [1, 0, 0] : [0, 1, 0]));
    const normals = [normal];
    for (let k = 1; k <= n; ++k) {
      const t = tangents[k % n];
      const projected = unit(normal.map((v, i) => v - dot(normal, t) * t[i]));
      normal = projected || unit(cross(t, Math.abs(t[0]) < 0.9 ? [1, 0, 0] : [0, 1, 0]));
      if (k < n) normals.push(normal);
    }
    const back = normal, first = normals[0];
    let twist = Math.atan2(dot(cross(back, first), t0), dot(back, first));
    if (!isFinite(twist)) twist = 0;
    const positions = new Float32Array(n * sides * 3), normalsOut = new Float32Array(n * sides * 3);
    for (let k = 0; k < n; ++k) {
      const t = tangents[k], nk = normals[k], bk = cross(t, nk);
      const turn = (twist * k) / n;
      for (let j = 0; j < sides; ++j) {
        const a = turn + (2 * Math.PI * j) / sides, c = Math.cos(a), s = Math.sin(a);
        const d = [c * nk[0] + s * bk[0], c * nk[1] + s * bk[1], c * nk[2] + s * bk[2]];
        const o = 3 * (k * sides + j);
        for (let i = 0; i < 3; ++i) {
          positions[o + i] = points[k][i] + radius * d[i];
          normalsOut[o + i] = d[i];
        }
      }
    }
    const Index = n * sides > 65535 ? Uint32Array : Uint16Array;
    const indices = new Index(n * sides * 6);
    let at = 0;
    for (let k = 0; k < n; ++k) {
      const k1 = (k + 1) % n;
      for (let j = 0; j < sides; ++j) {
        const j1 = (j + 1) % sides;
        const a = k * sides + j, b = k * sides + j1, c = k1 * sides + j, d = k1 * sides + j1;
        indices.set([a, c, b, b, c, d], at);
        at += 6;
      }
    }
    return { positions, normals: normalsOut, indices };
  }

  function sphereMesh() {
    const stacks = 20, slices = 20, positions = [], triangles = [], lines = [];
    for (let i = 0; i <= stacks; ++i) {
      const phi = (Math.PI * i) / stacks;
      for (let j = 0; j <= slices; ++j) {
        const theta = (2 * Math.PI * j) / slices;
        positions.push(Math.sin(phi) * Math.cos(theta), Math.sin(phi) * Math.sin(theta), Math.cos(phi));
      }
    }
    for (let i = 0; i < stacks; ++i)
      for (let j = 0; j < slices; ++j) {
        const a = i * (slices + 1) + j, b = a + slices + 1;
        triangles.push(a, b, a + 1, a + 1, b, b + 1);
        lines.push(a, a + 1, a, b);
      }
    const p = new Float32Array(positions);
    return {
      vertices: buffer(gl.ARRAY_BUFFER, p),
      triangles: buffer(gl.ELEMENT_ARRAY_BUFFER, new Uint16Array(triangles)), triangleCount: triangles.length,
      lines: buffer(gl.ELEMENT_ARRAY_BUFFER, new Uint16Array(lines)), lineCount: lines.length,
    };
  }

  /* ---- Scene ---- */

  let curves = [], poses = [], sphereGeometry = null;
  const tubeRadius = extent * 0.006;
  const state = {
    rotation: data.camera.rotation.slice(), target: data.camera.target.slice(), distance: data.camera.distance,
    playing: false, active: false, fraction: 0, tubes: true, spheres: !data.curvesOnly, light: false,
  };

  function resetView() {
    state.rotation = data.camera.rotation.slice();
    state.target = data.camera.target.slice();
    state.distance = data.camera.distance;
    redraw();
  }

  function build() {
    const total = curves.reduce((a, c) => a + c.count, 0);
    /* Long curves get fewer sides, so that a page of millions of samples
       still draws at once; lines cost one vertex a sample. */
    const sides = total * 8 <= 2e6 ? 8 : total * 4 <= 4e6 ? 4 : 0;
    if (sides === 0) state.tubes = false;
    for (const c of curves) {
      const line = new Float32Array(3 * (c.count + 1));
      for (let i = 0; i < 3 * c.count; ++i) line[i] = c.xyz[i];
      line.set(line.subarray(0, 3), 3 * c.count);
      c.line = buffer(gl.ARRAY_BUFFER, line);
      c.colour = colourOf(c.info.color);
      if (sides && c.count >= 2 && (bigIndices || c.count * sides <= 65535)) {
        const tube = tubeOf(c.xyz, c.count, tubeRadius, sides);
        c.tube = {
          positions: buffer(gl.ARRAY_BUFFER, tube.positions), normals: buffer(gl.ARRAY_BUFFER, tube.normals),
          indices: buffer(gl.ELEMENT_ARRAY_BUFFER, tube.indices),
          type: tube.indices instanceof Uint32Array ? gl.UNSIGNED_INT : gl.UNSIGNED_SHORT, perSegment: 6 * sides,
        };
      }
    }
    if (poses.length) sphereGeometry = sphereMesh();
    document.getElementById('tubes').disabled = sides === 0;
    document.getElementById('tubes').checked = state.tubes;
    document.getElementById('spheres').checked = state.spheres;
    document.getElementById('spheres').disabled = poses.length === 0;
  }

  function viewMatrix() {
    const r = state.rotation, t = state.target;
    const m = new Float32Array(16);
    for (let c = 0; c < 3; ++c) for (let row = 0; row < 3; ++row) m[c * 4 + row] = r[c * 3 + row];
    for (let row = 0; row < 3; ++row)
      m[12 + row] = -(r[row] * t[0] + r[3 + row] * t[1] + r[6 + row] * t[2]);
    m[14] -= state.distance;
    m[15] = 1;
    return m;
  }

  const IDENTITY = new Float32Array([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1]);

  function poseAt(pose, fraction) {
    const keys = data.keys, x = (((fraction % 1) + 1) % 1) * keys;
    const k0 = Math.floor(x) % keys, k1 = (k0 + 1) % keys, f = x - Math.floor(x);
    const a = 7 * k0, b = 7 * k1;
    const t = [0, 1, 2].map((i) => pose[a + i] * (1 - f) + pose[b + i] * f);
    let d = 0;
    for (let i = 3; i < 7; ++i) d += pose[a + i] * pose[b + i];
    const sign = d < 0 ? -1 : 1;
    const q = [3, 4, 5, 6].map((i) => pose[a + i] * (1 - f) + sign * pose[b + i] * f);
    const l = Math.hypot(q[0], q[1], q[2], q[3]) || 1;
    return { q: q.map((v) => v / l), t };
  }

  function shownOf(curve) {
    if (!state.active || !(curve.info.repeats > 0)) return 1;
    return Math.min(1, Math.max(0, state.fraction * curve.info.repeats));
  }

  function attributes(positions, normals) {
    gl.bindBuffer(gl.ARRAY_BUFFER, positions);
    gl.enableVertexAttribArray(0);
    gl.vertexAttribPointer(0, 3, gl.FLOAT, false, 0, 0);
    if (normals) {
      gl.bindBuffer(gl.ARRAY_BUFFER, normals);
      gl.enableVertexAttribArray(1);
      gl.vertexAttribPointer(1, 3, gl.FLOAT, false, 0, 0);
    } else {
      gl.disableVertexAttribArray(1);
      gl.vertexAttrib3f(1, 0, 0, 1);
    }
  }

  function uniforms(colour, alpha, lit, model) {
    gl.uniform3fv(where.colour, colour);
    gl.uniform1f(where.alpha, alpha);
    gl.uniform1f(where.lit, lit);
    gl.uniformMatrix4fv(where.model, false, model || IDENTITY);
  }

  /* One curve: the part traced by now, and the rest faintly while rolling. */
  function drawCurve(c, flat, faintPass) {
    const shown = shownOf(c);
    const segments = c.count;
    const done = Math.round(shown * segments);
    const from = faintPass ? done : 0, to = faintPass ? segments : done;
    if (to <= from) return;
    if (state.tubes && c.tube && !flat) {
      attributes(c.tube.positions, c.tube.normals);
      uniforms(c.colour, faintPass ? 0.22 : 1, 1);
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, c.tube.indices);
      const size = c.tube.type === gl.UNSIGNED_INT ? 4 : 2;
      gl.drawElements(gl.TRIANGLES, (to - from) * c.tube.perSegment, c.tube.type, from * c.tube.perSegment * size);
    } else {
      attributes(c.line, null);
      uniforms(c.colour, faintPass ? 0.3 : 1, 0);
      gl.drawArrays(gl.LINE_STRIP, from, to - from + 1);
    }
  }

  function background() { return state.light ? [1, 1, 1] : [0, 0, 0]; }

  /* The frame; flat: unlit colours without blending, for the self-test's
     look at which colours reach the screen. */
  function draw(width, height, flat) {
    gl.viewport(0, 0, width, height);
    const bg = flat ? [1 / 255, 2 / 255, 3 / 255] : background();
    gl.clearColor(bg[0], bg[1], bg[2], 1);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    gl.useProgram(program);
    const near = Math.max(state.distance * 1e-3, extent * 1e-4);
    const far = state.distance + 4 * extent + Math.hypot(...state.target.map((v, i) => v - centre[i]));
    gl.uniformMatrix4fv(where.projection, false, perspective(data.camera.fovy, width / Math.max(1, height), near, far));
    gl.uniformMatrix4fv(where.view, false, viewMatrix());
    gl.enable(gl.DEPTH_TEST);
    gl.disable(gl.BLEND);
    gl.depthMask(true);
    if (flat) gl.disable(gl.DEPTH_TEST);
    for (const c of curves) drawCurve(c, flat, false);
    if (flat) return;
    const placed = state.spheres && sphereGeometry ? data.spheres.map((s, i) => {
      const p = poseAt(poses[i], state.active ? state.fraction : 0);
      return { s, model: poseMatrix(p.q, p.t, s.radius), colour: colourOf(s.color) };
    }) : [];
    if (placed.length) attributes(sphereGeometry.vertices, sphereGeometry.vertices);
    for (const p of placed) {
      if (p.s.surface === 'solid') {
        uniforms(p.colour, 1, 1, p.model);
        gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, sphereGeometry.triangles);
        gl.drawElements(gl.TRIANGLES, sphereGeometry.triangleCount, gl.UNSIGNED_SHORT, 0);
      } else if (p.s.surface === 'mesh') {
        uniforms(p.colour, 1, 0, p.model);
        gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, sphereGeometry.lines);
        gl.drawElements(gl.LINES, sphereGeometry.lineCount, gl.UNSIGNED_SHORT, 0);
      }
    }
    gl.enable(gl.BLEND);
    gl.blendFunc(gl.SRC_ALPHA, gl.ONE_MINUS_SRC_ALPHA);
    gl.depthMask(false);
    if (state.active) for (const c of curves) drawCurve(c, false, true);
    for (const p of placed)
      if (p.s.surface === 'transparent') {
        attributes(sphereGeometry.vertices, sphereGeometry.vertices);
        uniforms(p.colour, state.light ? 0.28 : 0.22, 1, p.model);
        gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, sphereGeometry.triangles);
        gl.drawElements(gl.TRIANGLES, sphereGeometry.triangleCount, gl.UNSIGNED_SHORT, 0);
      }
    gl.depthMask(true);
    gl.disable(gl.BLEND);
  }

  let frameRequested = false;
  function redraw() {
    if (frameRequested || !program) return;
    frameRequested = true;
    requestAnimationFrame(frame);
  }

  let lastTime = null;
  function frame(now) {
    frameRequested = false;
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
    const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
    if (canvas.width !== width || canvas.height !== height) { canvas.width = width; canvas.height = height; }
    if (state.playing) {
      if (lastTime !== null) state.fraction = (state.fraction + (now - lastTime) / PERIOD_MS) % 1;
      lastTime = now;
      showTime();
    }
    draw(canvas.width, canvas.height, false);
    if (state.playing) redraw();
  }

  /* ---- Controls ---- */

  const playButton = document.getElementById('play');
  const timeSlider = document.getElementById('time');

  function showTime() {
    timeSlider.value = String(Math.round(state.fraction * 1000));
    timeSlider.setAttribute('aria-valuetext', Math.round(state.fraction * 100) + ' percent of the period');
  }

  function setPlaying(on) {
    state.playing = on;
    if (on) state.active = true;
    lastTime = null;
    playButton.textContent = on ? 'Pause' : 'Play';
    playButton.setAttribute('aria-pressed', on ? 'true' : 'false');
    redraw();
  }

  playButton.addEventListener('click', () => setPlaying(!state.playing));
  timeSlider.addEventListener('input', () => {
    state.active = true;
    state.fraction = Number(timeSlider.value) / 1000;
    showTime();
    redraw();
  });
  for (const [id, key] of [['tubes', 'tubes'], ['spheres', 'spheres'], ['light', 'light']])
    document.getElementById(id).addEventListener('change', (e) => {
      state[key] = e.target.checked;
      if (key === 'light') document.body.classList.toggle('light', state.light);
      redraw();
    });
  document.getElementById('reset').addEventListener('click', resetView);

  function turn(dx, dy) {
    const angle = Math.hypot(dx, dy);
    if (angle === 0) return;
    state.rotation = turned(state.rotation, [dy / angle, dx / angle, 0], angle);
    redraw();
  }

  function pan(dx, dy) {
    const perPixel = (2 * state.distance * Math.tan((data.camera.fovy * Math.PI) / 360)) / Math.max(1, canvas.clientHeight);
    const r = state.rotation;
    for (let i = 0; i < 3; ++i) state.target[i] -= (r[3 * i] * dx - r[3 * i + 1] * dy) * perPixel;
    redraw();
  }

  function zoom(factor) {
    state.distance = Math.min(Math.max(state.distance * factor, extent * 1e-3), extent * 1e3 + data.camera.distance);
    redraw();
  }

  const pointers = new Map();
  let panning = false;
  canvas.addEventListener('pointerdown', (e) => {
    canvas.focus();
    pointers.set(e.pointerId, { x: e.clientX, y: e.clientY });
    panning = e.button === 2 || e.shiftKey;
    try { canvas.setPointerCapture(e.pointerId); } catch (err) { /* a pointer the browser does not know */ }
    e.preventDefault();
  });
  canvas.addEventListener('pointermove', (e) => {
    const last = pointers.get(e.pointerId);
    if (!last) return;
    const now = { x: e.clientX, y: e.clientY };
    if (pointers.size === 1) {
      const dx = now.x - last.x, dy = now.y - last.y;
      if (panning) pan(dx, dy);
      else turn((dx / Math.max(1, canvas.clientHeight)) * Math.PI, (dy / Math.max(1, canvas.clientHeight)) * Math.PI);
    } else if (pointers.size === 2) {
      const [a, b] = [...pointers.entries()];
      const other = a[0] === e.pointerId ? b[1] : a[1];
      const before = Math.hypot(last.x - other.x, last.y - other.y), after = Math.hypot(now.x - other.x, now.y - other.y);
      if (before > 0 && after > 0) zoom(before / after);
      pan((now.x - last.x) / 2, (now.y - last.y) / 2);
    }
    pointers.set(e.pointerId, now);
  });
  for (const type of ['pointerup', 'pointercancel'])
    canvas.addEventListener(type, (e) => { pointers.delete(e.pointerId); });
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  canvas.addEventListener('wheel', (e) => {
    e.preventDefault();
    zoom(Math.exp(Math.max(-1, Math.min(1, e.deltaY / 300))));
  }, { passive: false });
  canvas.addEventListener('keydown', (e) => {
    const step = Math.PI / 36, move = 20;
    const keys = {
      ArrowLeft: () => (e.shiftKey ? pan(-move, 0) : turn(-step, 0)),
      ArrowRight: () => (e.shiftKey ? pan(move, 0) : turn(step, 0)),
      ArrowUp: () => (e.shiftKey ? pan(0, -move) : turn(0, -step)),
      ArrowDown: () => (e.shiftKey ? pan(0, move) : turn(0, step)),
      '+': () => zoom(1 / 1.15), '=': () => zoom(1 / 1.15), '-': () => zoom(1.15), '_': () => zoom(1.15),
      '0': resetView, Home: resetView, p: () => setPlaying(!state.playing), P: () => setPlaying(!state.playing),
    };
    const action = keys[e.key];
    if (action) { action(); e.preventDefault(); }
  });
  if (window.ResizeObserver) new ResizeObserver(redraw).observe(canvas);
  else window.addEventListener('resize', redraw);

  function listFacts() {
    const list = document.getElementById('facts');
    for (const c of data.curves) {
      const item = document.createElement('li');
      const swatch = document.createElement('span');
      swatch.className = 'swatch';
      swatch.style.background = c.color;
      swatch.setAttribute('aria-hidden', 'true');
      const name = document.createElement('strong');
      name.textContent = c.sphere + ', point ' + c.point;
      item.append(swatch, name, document.createTextNode(c.facts ? ': ' + c.facts : ''));
      list.append(item);
    }
    if (!data.curves.length) {
      const item = document.createElement('li');
      item.textContent = 'No point traces a curve.';
      list.append(item);
    }
  }

  /* ---- Self-test ---- */

  function offscreen(width, height) {
    const target = gl.createFramebuffer();
    gl.bindFramebuffer(gl.FRAMEBUFFER, target);
    const colour = gl.createTexture();
    gl.bindTexture(gl.TEXTURE_2D, colour);
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA, width, height, 0, gl.RGBA, gl.UNSIGNED_BYTE, null);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
    gl.framebufferTexture2D(gl.FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.TEXTURE_2D, colour, 0);
    const depth = gl.createRenderbuffer();
    gl.bindRenderbuffer(gl.RENDERBUFFER, depth);
    gl.renderbufferStorage(gl.RENDERBUFFER, gl.DEPTH_COMPONENT16, width, height);
    gl.framebufferRenderbuffer(gl.FRAMEBUFFER, gl.DEPTH_ATTACHMENT, gl.RENDERBUFFER, depth);
    return target;
  }

  function pixelsOf(width, height, flat) {
    draw(width, height, flat);
    const pixels = new Uint8Array(width * height * 4);
    gl.readPixels(0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
    return pixels;
  }

  function runSelfTest(started) {
    const width = 320, height = 240;
    const target = offscreen(width, height);
    const result = { ok: false, webgl, curves: curves.length, vertices: curves.reduce((a, c) => a + c.count, 0),
      stride: data.stride, spheres: data.spheres.length };
    result.firstFrameMs = Math.round(performance.now() - started);
    const flat = pixelsOf(width, height, true);
    const seen = new Set();
    for (let i = 0; i < flat.length; i += 4) seen.add((flat[i] << 16) | (flat[i + 1] << 8) | flat[i + 2]);
    result.missingColours = [...new Set(data.curves.map((c) => c.color))].filter((hex) => !seen.has(parseInt(hex.substr(1), 16)));
    const before = pixelsOf(width, height, false);
    const rect = canvas.getBoundingClientRect();
    const x = rect.left + rect.width / 2, y = rect.top + rect.height / 2;
    const send = (type, dx) => canvas.dispatchEvent(new PointerEvent(type, {
      bubbles: true, cancelable: true, pointerId: 7, pointerType: 'mouse', isPrimary: true, button: 0, buttons: 1,
      clientX: x + dx, clientY: y + dx / 3 }));
    send('pointerdown', 0);
    for (const dx of [10, 25, 40]) send('pointermove', dx);
    send('pointerup', 40);
    const after = pixelsOf(width, height, false);
    let changed = 0;
    for (let i = 0; i < before.length; ++i) if (before[i] !== after[i]) ++changed;
    result.dragChanged = changed > 0;
    result.glError = gl.getError();
    gl.bindFramebuffer(gl.FRAMEBUFFER, null);
    gl.deleteFramebuffer(target);
    result.ok = result.curves === data.curves.length && result.vertices === data.vertices &&
      result.missingColours.length === 0 && result.dragChanged && result.glError === 0;
    if (/coords/.test(selfTest)) {
      const rows = [];
      for (const c of curves)
        for (let k = 0; k < c.count; ++k)
          rows.push(c.info.sphere + ',' + c.info.point + ',' + k * data.stride + ',' +
            c.xyz[3 * k].toPrecision(10) + ',' + c.xyz[3 * k + 1].toPrecision(10) + ',' + c.xyz[3 * k + 2].toPrecision(10));
      const pre = document.createElement('pre');
      pre.id = 'selftest-coords';
      pre.hidden = true;
      pre.textContent = rows.join('\n');
      document.body.append(pre);
      result.step = span.map((s) => s / 65535);
    }
    report(result);
  }

  function report(result) {
    const text = JSON.stringify(result);
    document.body.setAttribute('data-selftest', text);
    try {
      if (window.parent !== window) window.parent.document.body.setAttribute('data-selftest', text);
    } catch (e) { /* another origin */ }
  }

  /* ---- Start ---- */

  async function start() {
    const started = performance.now();
    listFacts();
    if (!gl) {
      say('This browser cannot draw the curves: it has no WebGL.');
      if (selfTest) report({ ok: false, error: 'no WebGL' });
      return;
    }
    try {
      curves = await decodeCurves();
      poses = await decodeMotion();
      setUpProgram();
      build();
    } catch (e) {
      say(e.message || String(e));
      if (selfTest) report({ ok: false, error: String(e.message || e) });
      return;
    }
    say('');
    message.hidden = true;
    /* A link may name a moment of the period: page.html#t=0.25. */
    const moment = /(?:^#|&)t=([0-9.]+)/.exec(location.hash);
    if (moment && isFinite(Number(moment[1]))) {
      state.active = true;
      state.fraction = Number(moment[1]) % 1;
      showTime();
    }
    redraw();
    if (selfTest) requestAnimationFrame(() => runSelfTest(started));
  }

  start();
})();
