// Sonaro web remote: the strips, matrix, automix, EQ and presets of one unit over the server's
// JSON API (docs/api.md). Every control is bound to a catalogue key; a change goes to the
// server, shows as pending until the unit confirms it and as failed when the unit did not.
"use strict";
(function () {
  const S = {
    lang: window.sonaroLanguage(),
    rows: [],          // the catalogue
    settings: {},      // key -> value, as the server holds them
    levels: null,
    link: {},
    me: null,
    ws: null,
    nextId: 1,
    waiting: new Map(), // request id -> resolve
    bindings: new Map(), // key -> [render functions]
    dragging: new Set(), // keys under a finger: incoming values wait
    built: false,
    retryMs: 500,
    eqChannel: "input.1",
    curveTimers: new Map()
  };
  const T = (key, ...args) => window.sonaroText(S.lang, key, ...args);
  const $ = (id) => document.getElementById(id);
  const INPUTS = 8, OUTPUTS = 2;

  function el(tag, attrs, ...children) {
    const e = document.createElement(tag);
    for (const [k, v] of Object.entries(attrs || {})) {
      if (k === "class") e.className = v;
      else if (k === "text") e.textContent = v;
      else if (k.startsWith("on")) e.addEventListener(k.slice(2), v);
      else e.setAttribute(k, v);
    }
    children.forEach((c) => e.append(c));
    return e;
  }
  const svg = (tag, attrs) => {
    const e = document.createElementNS("http://www.w3.org/2000/svg", tag);
    for (const [k, v] of Object.entries(attrs || {})) e.setAttribute(k, v);
    return e;
  };

  // --- catalogue ----------------------------------------------------------------------------
  function rowOf(key) {
    let n = 0;
    const pattern = key.replace(/^unit\.\d+\./, "").replace(/\.(\d+)(?=\.|$)/g, () => ".%" + (++n));
    return S.rows.find((r) => r.key === pattern);
  }
  function labelOf(key) {
    const row = rowOf(key);
    if (!row) return key;
    const numbers = (key.match(/\.(\d+)(?=\.|$)/g) || []).map((m) => m.slice(1));
    return (row.label[S.lang] || row.label.en).replace("%1", numbers[0]).replace("%2", numbers[1]);
  }
  const isAdminSetting = (key) => { const r = rowOf(key); return r && r.administrator; };
  const channelName = (kind, n) => S.settings[kind + "." + n + ".name"] || "";

  // --- the connection -----------------------------------------------------------------------
  function connect() {
    const scheme = location.protocol === "https:" ? "wss://" : "ws://";
    const ws = new WebSocket(scheme + location.host + "/api/ws");
    S.ws = ws;
    ws.addEventListener("message", (e) => handle(JSON.parse(e.data)));
    ws.addEventListener("open", () => { S.retryMs = 500; });
    ws.addEventListener("close", (e) => {
      S.waiting.forEach((resolve) => resolve({ status: { ok: false, code: 0, comment: T("serverLost") } }));
      S.waiting.clear();
      if (e.code === 4001 || e.code === 4000) { location.replace("/login"); return; }
      showBanner(T("serverLost") + " — " + T("reconnecting"));
      setTimeout(connect, S.retryMs);
      S.retryMs = Math.min(S.retryMs * 2, 8000);
    });
  }
  function send(message) {
    if (S.ws && S.ws.readyState === WebSocket.OPEN) S.ws.send(JSON.stringify(message));
  }
  function request(type, fields) {
    const id = String(S.nextId++);
    return new Promise((resolve) => {
      S.waiting.set(id, resolve);
      send(Object.assign({ op: "request", id, type }, fields || {}));
    });
  }

  function handle(m) {
    if (m.op === "hello") {
      send({ op: "identify", schemaVersion: 1, events: ["changes", "deliveries", "levels", "open", "link"], levelsRate: 20 });
    } else if (m.op === "identified") {
      S.me = m;
      start();
    } else if (m.op === "response") {
      const resolve = S.waiting.get(m.id);
      S.waiting.delete(m.id);
      if (resolve) resolve(m);
    } else if (m.op === "event") {
      onEvent(m);
    } else if (m.op === "error") {
      toast(m.status.comment || ("error " + m.status.code));
    }
  }

  async function start() {
    const [catalogue, state] = await Promise.all([request("getCatalogue"), request("getState")]);
    if (!catalogue.status.ok || !state.status.ok) return;
    S.rows = catalogue.catalogue;
    S.settings = state.state.settings;
    S.link = state.state.link;
    if (!S.levels) S.levels = state.state.levels;
    hideBanner();
    build();
    S.bindings.forEach((renders, key) => renders.forEach((r) => r(S.settings[key])));
    showLink();
    refreshCurves();
    if (!$("view-presets").hidden) loadPresets();
  }

  function onEvent(m) {
    if (m.type === "levels") {
      S.levels = m.levels;
      scheduleMeters();
    } else if (m.type === "open") {
      if (S.levels) S.levels.open = m.open;
      scheduleMeters();
    } else if (m.type === "changed") {
      for (const [key, value] of Object.entries(m.changes)) {
        S.settings[key] = value;
        if (!S.dragging.has(key)) render(key);
        if (/\.(eq|highPass|lowPass)/.test(key)) curveChanged(key.replace(/^(?:unit\.\d+\.)?((?:input|output)\.\d+).*$/, "$1"));
      }
    } else if (m.type === "delivery") {
      setPending(m.key, false);
      if (!m.confirmed) { markFailed(m.key); toast(T("notConfirmed", labelOf(m.key))); }
    } else if (m.type === "link") {
      S.link = m.link;
      showLink();
    }
  }

  // --- values -------------------------------------------------------------------------------
  function bind(key, renderFn, element) {
    if (!S.bindings.has(key)) S.bindings.set(key, []);
    S.bindings.get(key).push(renderFn);
    if (element) {
      element.dataset.key = key;
      if (isAdminSetting(key) && S.me && S.me.role !== "administrator") {
        element.classList.add("locked");
        element.title = T("administratorOnly");
      }
    }
    if (S.settings[key] !== undefined) renderFn(S.settings[key]);
  }
  function render(key) {
    (S.bindings.get(key) || []).forEach((r) => r(S.settings[key]));
  }
  function elementsOf(key) { return document.querySelectorAll('[data-key="' + key + '"]'); }
  function setPending(key, on) { elementsOf(key).forEach((e) => { e.classList.toggle("pending", on); if (on) e.classList.remove("failed"); }); }
  function markFailed(key) {
    elementsOf(key).forEach((e) => { e.classList.add("failed"); setTimeout(() => e.classList.remove("failed"), 4000); });
  }

  // Sends a value; the controls show it at once and as pending until the unit confirms.
  async function change(key, value) {
    if (typeof value !== "string") S.settings[key] = value;
    render(key);
    setPending(key, true);
    const reply = await request("set", { key, value });
    if (!reply.status.ok) {
      setPending(key, false);
      markFailed(key);
      toast(T("refused", reply.status.comment || labelOf(key)));
      const now = await request("get", { key });
      if (now.status.ok) { S.settings[key] = now.value; render(key); }
      return;
    }
    if (!S.dragging.has(key)) { S.settings[key] = reply.value; render(key); }
    if (reply.delivery === "confirmed" || reply.delivery === "unchanged") setPending(key, false);
    if (reply.delivery === "notDelivered") { setPending(key, false); markFailed(key); }
    if (S.link.connection !== "connected" && reply.delivery === "pending") toast(T("unitOffline"), "info");
  }

  // --- controls -----------------------------------------------------------------------------
  function toggle(key, cls, on, off, labels) {
    const b = el("button", { type: "button", class: "toggle " + cls, "aria-pressed": "false" });
    const words = rowOf(key).words; // [value when not pressed, value when pressed]
    b.addEventListener("click", () => {
      const pressed = b.getAttribute("aria-pressed") === "true";
      change(key, pressed ? words[0] : words[1]);
    });
    bind(key, (v) => {
      const pressed = v === words[1];
      b.setAttribute("aria-pressed", String(pressed));
      if (on) b.textContent = labels ? T(pressed ? on : off) : T(on);
      b.setAttribute("aria-label", labelOf(key) + (labels ? ": " + T(pressed ? on : off) : ""));
    }, b);
    return b;
  }

  // A fader (vertical) or slider (horizontal) with the ARIA slider role: pointer, wheel and keys.
  function slider(key, opts) {
    const row = rowOf(key);
    const min = row.min, max = row.max, step = opts.step || row.step;
    const vertical = !opts.horizontal;
    const e = el("div", {
      class: vertical ? "fader" : "hslider", role: "slider", tabindex: "0",
      "aria-valuemin": String(min), "aria-valuemax": String(max),
      "aria-orientation": vertical ? "vertical" : "horizontal", "aria-label": labelOf(key)
    });
    const track = el("div", { class: "track" }, el("div", { class: "fill" }));
    if (vertical) {
      const scale = el("div", { class: "scale", "aria-hidden": "true" });
      [10, 0, -10, -20, -30, -40, -50].forEach((db) => {
        const t = el("div", { class: "tick" }, el("span", { text: String(db) }));
        t.style.top = ((max - db) / (max - min) * 100) + "%";
        scale.append(t);
      });
      e.append(scale);
    }
    e.append(track, el("div", { class: "cap" }));
    let value = min, lastSent = 0, timer = null;
    const show = (v) => {
      if (typeof v !== "number") return;
      value = v;
      e.style.setProperty("--pos", String((v - min) / (max - min)));
      e.setAttribute("aria-valuenow", String(v));
      e.setAttribute("aria-valuetext", v + (row.unit ? " " + row.unit : ""));
      if (opts.onShow) opts.onShow(v);
    };
    bind(key, show, e);
    const clamp = (v) => Math.min(max, Math.max(min, Math.round(v / step) * step));
    const sendSoon = (v, final) => {
      S.settings[key] = v;
      show(v);
      const now = performance.now();
      clearTimeout(timer);
      if (final || now - lastSent > 50) { lastSent = now; change(key, v); }
      else timer = setTimeout(() => { lastSent = performance.now(); change(key, value); }, 50);
    };
    const fromPointer = (ev) => {
      const r = track.getBoundingClientRect();
      const share = vertical ? (r.bottom - ev.clientY) / r.height : (ev.clientX - r.left) / r.width;
      return clamp(min + Math.min(1, Math.max(0, share)) * (max - min));
    };
    e.addEventListener("pointerdown", (ev) => {
      if (e.classList.contains("disabled")) return;
      e.setPointerCapture(ev.pointerId);
      S.dragging.add(key);
      e.focus();
      sendSoon(fromPointer(ev), false);
    });
    e.addEventListener("pointermove", (ev) => { if (S.dragging.has(key) && e.hasPointerCapture(ev.pointerId)) sendSoon(fromPointer(ev), false); });
    const release = (ev) => {
      if (!S.dragging.has(key)) return;
      S.dragging.delete(key);
      if (e.hasPointerCapture(ev.pointerId)) e.releasePointerCapture(ev.pointerId);
      sendSoon(value, true);
    };
    e.addEventListener("pointerup", release);
    e.addEventListener("pointercancel", release);
    e.addEventListener("keydown", (ev) => {
      if (e.classList.contains("disabled")) return;
      const big = opts.bigStep || step * 6;
      const moves = { ArrowUp: step, ArrowRight: step, ArrowDown: -step, ArrowLeft: -step, PageUp: big, PageDown: -big };
      let v = null;
      if (ev.key in moves) v = clamp(value + moves[ev.key]);
      else if (ev.key === "Home") v = min;
      else if (ev.key === "End") v = max;
      if (v === null) return;
      ev.preventDefault();
      if (v !== value) sendSoon(v, true);
    });
    return e;
  }

  // A read-out that takes a typed value ("-12", "-12 dB"); the server parses and checks it.
  function readout(key, format) {
    const input = el("input", { class: "readout", inputmode: "decimal", autocomplete: "off", "aria-label": labelOf(key) });
    bind(key, (v) => { if (document.activeElement !== input) input.value = format(v); }, input);
    const commit = () => {
      const text = input.value.trim();
      if (text === "" || text === format(S.settings[key])) { input.value = format(S.settings[key]); return; }
      const number = Number(text);
      change(key, Number.isFinite(number) ? number : text);
    };
    input.addEventListener("keydown", (ev) => {
      if (ev.key === "Enter") { ev.preventDefault(); commit(); input.blur(); }
      if (ev.key === "Escape") { input.value = format(S.settings[key]); input.blur(); }
    });
    input.addEventListener("change", commit);
    input.addEventListener("focus", () => input.select());
    return input;
  }
  const db = (v) => (typeof v === "number" ? (v > 0 ? "+" : "") + v + " dB" : "");

  // --- strips -------------------------------------------------------------------------------
  function miniCurve(channel) {
    const path = svg("path", {});
    const s = svg("svg", { viewBox: "0 0 240 40", preserveAspectRatio: "none", "aria-hidden": "true" });
    s.append(svg("line", { x1: 0, x2: 240, y1: 20, y2: 20 }), path);
    const b = el("button", { type: "button", class: "mini-curve", "aria-label": T("eq") + " " + channel, onclick: () => { S.eqChannel = channel; showView("eq"); } }, s);
    b.dataset.curve = channel;
    return b;
  }
  function nameButton(kind, n) {
    const key = kind + "." + n + ".name";
    const b = el("button", { type: "button", class: "name" });
    bind(key, (v) => {
      b.textContent = v || T(kind, n);
      b.classList.toggle("unnamed", !v);
      b.setAttribute("aria-label", T("rename") + ": " + (v || T(kind, n)));
    }, b);
    b.addEventListener("click", () => rename(key, kind, n));
    return b;
  }
  function meter(kind, n) {
    const cover = el("div", { class: "cover" });
    const m = el("div", { class: "meter", "aria-hidden": "true" }, cover);
    m.dataset.meter = kind + "." + n;
    return m;
  }
  function inputStrip(n) {
    const p = "input." + n + ".";
    const open = el("div", { class: "open-state", role: "status" });
    open.dataset.open = String(n - 1);
    return el("div", { class: "strip input", role: "group", "aria-label": T("input", n) },
      el("div", { class: "strip-head" }, el("span", { class: "number", text: String(n) }), nameButton("input", n)),
      miniCurve("input." + n), open,
      el("div", { class: "toggles" },
        toggle(p + "source", "source", "line", "mic", true), toggle(p + "phantom", "phantom", "phantom"),
        toggle(p + "priority", "priority", "priority"), toggle(p + "mute", "mute", "mute")),
      el("div", { class: "fader-row" }, slider(p + "gain", {}), meter("input", n)),
      readout(p + "gain", db));
  }
  function outputStrip(n) {
    const p = "output." + n + ".";
    return el("div", { class: "strip output", role: "group", "aria-label": T("output", n) },
      el("div", { class: "strip-head" }, el("span", { class: "number", text: T("outputShort", n) }), nameButton("output", n)),
      miniCurve("output." + n),
      el("div", { class: "toggles" },
        toggle(p + "level", "level", "mic", "line", true), toggle(p + "mute", "mute", "mute"),
        toggle(p + "limiter.enable", "limiter", "limiter")),
      el("div", { class: "fader-row" }, slider(p + "gain", {}), meter("output", n)),
      readout(p + "gain", db));
  }

  // --- matrix, automix ----------------------------------------------------------------------
  function matrixView() {
    const head = el("tr", {}, el("th", {}));
    for (let i = 1; i <= INPUTS; i++) head.append(el("th", { scope: "col", text: String(i) }));
    const table = el("table", { class: "matrix" }, el("thead", {}, head));
    const body = el("tbody");
    for (let o = 1; o <= OUTPUTS; o++) {
      const tr = el("tr", {}, el("th", { class: "row", scope: "row", text: T("outputShort", o) }));
      for (let i = 1; i <= INPUTS; i++) {
        const key = "output." + o + ".route." + i;
        const b = toggle(key, "route", null);
        tr.append(el("td", {}, b));
      }
      body.append(tr);
    }
    table.append(body);
    return el("div", { class: "panel" }, el("h2", { text: T("matrix") }), table);
  }
  function segmented(key, values, labelFor) {
    const group = el("div", { class: "segmented", role: "group", "aria-label": labelOf(key) });
    const buttons = values.map((v) => {
      const b = el("button", { type: "button", "aria-pressed": "false", text: labelFor(v), onclick: () => change(key, v) });
      group.append(b);
      return [v, b];
    });
    bind(key, (cur) => buttons.forEach(([v, b]) => b.setAttribute("aria-pressed", String(v === cur))), group);
    return group;
  }
  function settingRow(labelText, control, valueEl) {
    return el("div", { class: "setting" }, el("label", { text: labelText }), control, valueEl || el("span"));
  }
  function automixView() {
    const threshold = el("span", { class: "value" });
    const hold = el("span", { class: "value" });
    const thresholdSlider = slider("automix.threshold", { horizontal: true, onShow: (v) => { threshold.textContent = db(v); } });
    bind("automix.mode", (v) => thresholdSlider.classList.toggle("disabled", v !== "manual"));
    return el("div", { class: "panel" }, el("h2", { text: T("automix") }),
      settingRow(T("mode"), segmented("automix.mode", ["auto", "manual"], (v) => T(v))),
      settingRow(T("threshold"), thresholdSlider, threshold),
      settingRow(T("maxOpen"), segmented("automix.maxOpen", [1, 2, 3, 4, 5, 6, 7, 8], String)),
      settingRow(T("holdTime"), slider("automix.holdTime", { horizontal: true, bigStep: 250, onShow: (v) => { hold.textContent = v + " ms"; } }), hold));
  }

  // --- EQ -----------------------------------------------------------------------------------
  const GRAPH = { w: 960, h: 400, left: 40, right: 10, top: 10, bottom: 24, dbRange: 18 };
  const xOf = (f) => GRAPH.left + (Math.log10(f / 20) / 3) * (GRAPH.w - GRAPH.left - GRAPH.right);
  const yOf = (d) => GRAPH.top + (GRAPH.dbRange - Math.max(-GRAPH.dbRange, Math.min(GRAPH.dbRange, d))) / (2 * GRAPH.dbRange) * (GRAPH.h - GRAPH.top - GRAPH.bottom);
  function eqView() {
    const picker = el("div", { class: "channel-picker", role: "group", "aria-label": T("channel") });
    const channels = [];
    for (let i = 1; i <= INPUTS; i++) channels.push(["input." + i, String(i)]);
    for (let o = 1; o <= OUTPUTS; o++) channels.push(["output." + o, T("outputShort", o)]);
    channels.forEach(([c, text]) => {
      const b = el("button", { type: "button", "aria-pressed": String(c === S.eqChannel), text, onclick: () => { S.eqChannel = c; updateEqPicker(); refreshCurve(c); } });
      b.dataset.channel = c;
      picker.append(b);
    });
    const graph = svg("svg", { class: "eq-graph", viewBox: "0 0 " + GRAPH.w + " " + GRAPH.h, role: "img" });
    [20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000].forEach((f) => {
      graph.append(svg("line", { class: "grid" + ([100, 1000, 10000].includes(f) ? " major" : ""), x1: xOf(f), x2: xOf(f), y1: GRAPH.top, y2: GRAPH.h - GRAPH.bottom }));
      const t = svg("text", { x: xOf(f) + 3, y: GRAPH.h - 8 });
      t.textContent = f >= 1000 ? f / 1000 + "k" : String(f);
      graph.append(t);
    });
    [-18, -12, -6, 0, 6, 12, 18].forEach((d) => {
      graph.append(svg("line", { class: "grid" + (d === 0 ? " major" : ""), x1: GRAPH.left, x2: GRAPH.w - GRAPH.right, y1: yOf(d), y2: yOf(d) }));
      const t = svg("text", { x: 4, y: yOf(d) + 4 });
      t.textContent = (d > 0 ? "+" : "") + d;
      graph.append(t);
    });
    graph.append(svg("path", { class: "curve", id: "eq-curve" }), svg("g", { id: "eq-handles" }));
    const table = el("table", { class: "bands", id: "eq-bands" });
    return el("div", { class: "eq-view" }, picker, graph, el("p", { class: "caption", text: T("readOnlyCurve") }), table);
  }
  function updateEqPicker() {
    document.querySelectorAll(".channel-picker button").forEach((b) => b.setAttribute("aria-pressed", String(b.dataset.channel === S.eqChannel)));
  }
  function curveChanged(channel) {
    clearTimeout(S.curveTimers.get(channel));
    S.curveTimers.set(channel, setTimeout(() => refreshCurve(channel), 80));
  }
  function refreshCurves() {
    for (let i = 1; i <= INPUTS; i++) refreshCurve("input." + i);
    for (let o = 1; o <= OUTPUTS; o++) refreshCurve("output." + o);
  }
  async function refreshCurve(channel) {
    const reply = await request("getEqCurve", { channel });
    if (!reply.status.ok) return;
    const c = reply.curve;
    const mini = document.querySelector('.mini-curve[data-curve="' + channel + '"] path');
    if (mini) {
      mini.setAttribute("d", c.frequencies.map((f, i) => (i ? "L" : "M") + ((Math.log10(f / 20) / 3) * 240).toFixed(1) + "," + (20 - Math.max(-20, Math.min(20, c.levels[i]))).toFixed(1)).join(""));
    }
    if (channel !== S.eqChannel) return;
    const points = c.frequencies.map((f, i) => xOf(f).toFixed(1) + "," + yOf(c.levels[i]).toFixed(1));
    const base = yOf(0).toFixed(1);
    $("eq-curve").setAttribute("d", "M" + xOf(c.frequencies[0]).toFixed(1) + "," + base + "L" + points.join("L") + "L" + xOf(c.frequencies[c.frequencies.length - 1]).toFixed(1) + "," + base + "Z");
    $("eq-curve").parentNode.setAttribute("aria-label", T("eq") + " " + channel);
    const handles = $("eq-handles");
    handles.replaceChildren(...c.bands.map((b) => svg("circle", { class: "handle", r: 6, cx: xOf(b.frequency), cy: yOf(b.level) })));
    const prefix = channel + ".eq.";
    const head = el("tr", {}, el("th", { text: T("band") }), el("th", { text: T("frequency") }), el("th", { text: T("gain") }), el("th", { text: "Q" }), el("th", { text: T("type") }));
    const rows = c.bands.map((b, i) => el("tr", {}, el("td", { text: String(i + 1) }), el("td", { text: Math.round(b.frequency) + " Hz" }),
      el("td", { text: db(S.settings[prefix + (i + 1) + ".gain"]) }), el("td", { text: String(S.settings[prefix + (i + 1) + ".q"]) }),
      el("td", { text: String(S.settings[prefix + (i + 1) + ".type"]) })));
    $("eq-bands").replaceChildren(el("thead", {}, head), el("tbody", {}, ...rows));
  }

  // --- presets ------------------------------------------------------------------------------
  function presetsView() {
    const list = el("ul", { class: "preset-list", id: "preset-list" });
    const panel = el("div", { class: "panel" }, el("h2", { text: T("presets") }), list);
    if (S.me.role === "administrator") {
      const name = el("input", { id: "preset-name", maxlength: "64", "aria-label": T("presetName"), placeholder: T("presetName") });
      panel.append(el("div", { class: "row" }, name, el("button", { type: "button", class: "primary", text: T("savePreset"), onclick: async () => {
        const r = await request("savePreset", { name: name.value.trim() });
        if (r.status.ok) { toast(T("presetSaved", r.name), "info"); name.value = ""; loadPresets(); } else toast(T("refused", r.status.comment));
      } })));
    }
    return panel;
  }
  async function loadPresets() {
    const r = await request("listPresets");
    const list = $("preset-list");
    if (!r.status.ok || !list) return;
    list.replaceChildren(...(r.presets.length ? r.presets.map((p) => el("li", {}, el("span", { text: p }),
      el("button", { type: "button", text: T("recall"), onclick: async () => {
        const x = await request("recallPreset", { name: p });
        toast(x.status.ok ? T("presetRecalled", p) : T("refused", x.status.comment), x.status.ok ? "info" : "");
      } }))) : [el("li", { text: T("noPresets") })]));
  }

  // --- page ---------------------------------------------------------------------------------
  function build() {
    S.bindings.clear();
    const strips = $("view-channels");
    strips.replaceChildren();
    for (let i = 1; i <= INPUTS; i++) strips.append(inputStrip(i));
    for (let o = 1; o <= OUTPUTS; o++) strips.append(outputStrip(o));
    $("view-matrix").replaceChildren(matrixView());
    $("view-automix").replaceChildren(automixView());
    $("view-eq").replaceChildren(eqView());
    $("view-presets").replaceChildren(presetsView());
    $("who").textContent = T("signedInAs", S.me.user, T(S.me.role));
    S.built = true;
    scheduleMeters();
  }
  let meterFrame = 0;
  function scheduleMeters() {
    if (!meterFrame) meterFrame = requestAnimationFrame(applyMeters);
  }
  function applyMeters() {
    meterFrame = 0;
    const l = S.levels;
    if (!l || !S.built) return;
    document.querySelectorAll(".meter").forEach((m) => {
      const [kind, n] = m.dataset.meter.split(".");
      const share = (kind === "input" ? l.inputs : l.outputs)[n - 1] || 0;
      m.firstChild.style.transform = "scaleY(" + (1 - share).toFixed(3) + ")";
    });
    document.querySelectorAll(".open-state").forEach((o) => {
      const open = !!(l.open && l.open[Number(o.dataset.open)]);
      o.classList.toggle("open", open);
      o.textContent = T(open ? "active" : "waiting");
    });
    if (!document.body.dataset.levels) document.body.dataset.firstMeterMs = String(Math.round(performance.now()));
    document.body.dataset.levels = String((Number(document.body.dataset.levels) || 0) + 1);
  }
  function showLink() {
    const connected = S.link.connection === "connected";
    $("link").classList.toggle("connected", connected);
    $("link-text").textContent = connected ? T("connected") : (S.link.connection === "offline" || !S.link.connection ? T("offline") : S.link.connection);
  }
  function showView(name) {
    document.querySelectorAll(".tabs [role=tab]").forEach((t) => t.setAttribute("aria-selected", String(t.dataset.view === name)));
    document.querySelectorAll(".view").forEach((v) => { v.hidden = v.id !== "view-" + name; });
    if (name === "presets") loadPresets();
    if (name === "eq") { updateEqPicker(); refreshCurve(S.eqChannel); }
  }
  function showBanner(text) { $("banner").textContent = text; $("banner").hidden = false; }
  function hideBanner() { $("banner").hidden = true; }
  function toast(text, kind) {
    const t = el("div", { class: "toast " + (kind || ""), role: "status", text });
    $("toasts").append(t);
    setTimeout(() => t.remove(), 5000);
    while ($("toasts").children.length > 4) $("toasts").firstChild.remove();
  }
  function rename(key, kind, n) {
    const dialog = $("rename-dialog");
    $("rename-title").textContent = T("renameTitle", T(kind, n));
    $("rename-input").value = S.settings[key] || "";
    dialog.dataset.key = key;
    dialog.showModal();
  }
  function setLanguage(lang) {
    S.lang = lang;
    window.localStorage.setItem("sonaro.language", lang);
    window.sonaroTranslate(document, lang);
    if (S.built) {
      const view = document.querySelector(".tabs [aria-selected=true]").dataset.view;
      build();
      S.bindings.forEach((renders, key) => renders.forEach((r) => r(S.settings[key])));
      refreshCurves();
      showView(view);
      showLink();
    }
  }

  document.querySelectorAll(".tabs [role=tab]").forEach((t) => t.addEventListener("click", () => showView(t.dataset.view)));
  document.querySelector(".tabs").addEventListener("keydown", (ev) => {
    const tabs = [...document.querySelectorAll(".tabs [role=tab]")];
    const i = tabs.indexOf(document.activeElement);
    if (i < 0 || (ev.key !== "ArrowRight" && ev.key !== "ArrowLeft")) return;
    const next = tabs[(i + (ev.key === "ArrowRight" ? 1 : tabs.length - 1)) % tabs.length];
    next.focus();
    showView(next.dataset.view);
  });
  $("language").addEventListener("click", () => setLanguage(S.lang === "en" ? "zh" : "en"));
  $("logout").addEventListener("click", async () => {
    await fetch("/logout", { method: "POST", credentials: "same-origin" });
    location.replace("/login");
  });
  $("rename-cancel").addEventListener("click", () => $("rename-dialog").close());
  $("rename-form").addEventListener("submit", () => {
    const key = $("rename-dialog").dataset.key;
    change(key, $("rename-input").value.trim());
  });
  window.sonaroTranslate(document, S.lang);
  connect();
}());
