// The live board: one tile per station, fed by the reader's WebSocket. No framework, no build.
"use strict";

const TREND_MILLIS = 5 * 60 * 1000;
const COMMAND_NAMES = { zero: "Zero", tare: "Tare", "clear-tare": "Clear the tare of" };
const tiles = new Map(); // station name -> tile
let stationCommands = {}; // station name -> the commands its indicator takes, when allowed

// The token comes once in a ?token= link; it is kept for this tab and taken out of the address.
const params = new URLSearchParams(location.search);
if (params.has("token")) {
  sessionStorage.setItem("scale-read-token", params.get("token"));
  params.delete("token");
  const rest = params.toString();
  history.replaceState(null, "", location.pathname + (rest ? "?" + rest : ""));
}
const token = sessionStorage.getItem("scale-read-token");

function eventsUrl() {
  const query = new URLSearchParams();
  if (token) query.set("token", token); // a browser's WebSocket cannot send headers
  for (const station of params.getAll("station")) query.append("station", station);
  const scheme = location.protocol === "https:" ? "wss:" : "ws:";
  const rest = query.toString();
  return `${scheme}//${location.host}/api/v1/events${rest ? "?" + rest : ""}`;
}

function tileFor(name) {
  let tile = tiles.get(name);
  if (tile) return tile;
  const node = document.getElementById("tile").content.firstElementChild.cloneNode(true);
  const find = (selector) => node.querySelector(selector);
  tile = {
    node, name, state: "not-open", record: null, last: null, reason: "", points: [],
    value: find(".value"), unit: find(".unit"), stateText: find(".state"), why: find(".why"),
    mark: find(".mark"), mode: find(".mode"), time: find(".time"),
    raw: find(".raw"), canvas: find(".trend"), commands: find(".commands"),
    confirm: find(".confirm"), question: find(".question"), result: find(".result"),
    asked: null, resultTimer: 0,
  };
  find(".name").textContent = name;
  // A zero or tare changes what the scale weighs: it is asked once more before it goes.
  for (const button of tile.commands.querySelectorAll("button")) {
    button.addEventListener("click", () => ask(tile, button.dataset.command));
  }
  find(".yes").addEventListener("click", () => {
    const command = tile.asked;
    closeQuestion(tile);
    if (command) sendCommand(tile, command);
  });
  find(".no").addEventListener("click", () => closeQuestion(tile));
  offerCommands(tile);
  document.getElementById("tiles").append(node);
  tiles.set(name, tile);
  return tile;
}

// Buttons only for what the station's indicator takes, and none while commands are off.
function offerCommands(tile) {
  const offered = stationCommands[tile.name] || [];
  for (const button of tile.commands.querySelectorAll("button")) {
    button.hidden = !offered.includes(button.dataset.command);
  }
  tile.commands.hidden = offered.length === 0 || tile.asked !== null;
}

// "-12.345kg" -> ["-12.345", "kg"]: the figure large, its unit small.
function splitText(text) {
  const match = /^(.*?)([A-Za-z]+)$/.exec(text || "");
  return match ? [match[1], match[2]] : [text || "—", ""];
}

function clockTime(time) {
  return time ? new Date(time).toLocaleTimeString() : "";
}

// Only a station that is reading shows a weight as current; any other says why not, and its
// last weight only as such.
function show(tile) {
  const state = tile.state;
  const reading = state === "reading";
  tile.node.className = `tile ${state}`;
  tile.stateText.textContent = state;
  const record = reading ? tile.record : null;
  if (state === "waiting") {
    tile.value.textContent = "Load...";
    tile.unit.textContent = "";
  } else if (!reading) {
    tile.value.textContent = state;
    tile.unit.textContent = "";
  } else if (record) {
    const [figure, unit] = splitText(record.text);
    tile.value.textContent = figure;
    tile.unit.textContent = record.unit || unit;
  }
  const last = tile.last;
  const lastText = !reading && last && last.text ? `last ${last.text} at ${clockTime(last.time)}` : "";
  tile.why.textContent = reading ? "" : [tile.reason, lastText].filter(Boolean).join(" · ");
  // Stable or moving, each with a shape and a word of its own: not told by colour alone.
  tile.mark.className = "mark";
  tile.mark.textContent = "";
  if (record) {
    tile.mark.classList.add(record.stable ? "stable" : "moving");
    tile.mark.textContent = record.stable ? "● stable" : "▲ moving";
    const mode = record.mode ? record.mode : "gross/net —";
    tile.mode.textContent = record.tare !== undefined ? `${mode} · tare ${record.tare}` : mode;
    tile.time.textContent = clockTime(record.time);
  } else {
    tile.mode.textContent = "";
    tile.time.textContent = "";
    tile.raw.textContent = "";
  }
}

function onRecord(message) {
  const tile = tileFor(message.station);
  tile.raw.textContent = message.raw || "";
  if (message.error) return; // a rejected frame: its bytes only
  tile.record = message;
  tile.state = "reading";
  const now = Date.now();
  tile.points.push([now, message.weight]);
  while (tile.points.length && tile.points[0][0] < now - TREND_MILLIS) tile.points.shift();
  show(tile);
  scheduleTrend();
}

function onState(message) {
  const tile = tileFor(message.station);
  tile.state = message.state;
  tile.reason = message.reason || "";
  if (message.state === "reading") {
    if (message.text !== undefined) tile.record = message;
    if (message.raw !== undefined) tile.raw.textContent = message.raw;
  } else {
    tile.record = null;
    if (message.last) tile.last = message.last;
  }
  show(tile);
}

// The service's trend of the last minutes, [age in ms, weight] oldest first: a page that was
// just loaded draws it at once. A reader that restarted has less to give than the page kept.
function onTrend(tile, ages) {
  const now = Date.now();
  if (!ages || ages.length < tile.points.length) return;
  tile.points = ages.map(([age, weight]) => [now - age, weight]);
  scheduleTrend();
}

// The trends are drawn a few times a second at most, however many frames come.
let trendDue = false;
function scheduleTrend() {
  if (trendDue) return;
  trendDue = true;
  setTimeout(() => {
    trendDue = false;
    tiles.forEach(drawTrend);
  }, 250);
}

// Drawn in the canvas's own size on the screen, so that its labels read as the page's text.
function drawTrend(tile) {
  const { canvas } = tile;
  const scale = window.devicePixelRatio || 1;
  const width = canvas.clientWidth;
  const height = canvas.clientHeight;
  if (canvas.width !== Math.round(width * scale)) canvas.width = Math.round(width * scale);
  if (canvas.height !== Math.round(height * scale)) canvas.height = Math.round(height * scale);
  const context = canvas.getContext("2d");
  context.setTransform(scale, 0, 0, scale, 0, 0);
  context.clearRect(0, 0, width, height);
  const now = Date.now();
  while (tile.points.length && tile.points[0][0] < now - TREND_MILLIS) tile.points.shift();
  const points = tile.points;
  if (points.length < 2) return;
  let low = Infinity;
  let high = -Infinity;
  for (const [, weight] of points) {
    low = Math.min(low, weight);
    high = Math.max(high, weight);
  }
  const span = high - low || 1;
  const label = 15; // px, as the tile's small text
  const top = label + 4;
  const bottom = height - 2 * label - 8; // below: the lowest weight, then the time axis
  const x = (at) => width * (1 - (now - at) / TREND_MILLIS);
  const y = (weight) => bottom - (bottom - top) * ((weight - low) / span);
  context.strokeStyle = getComputedStyle(tile.value).color;
  context.lineWidth = 2;
  context.beginPath();
  points.forEach(([at, weight], i) => (i ? context.lineTo(x(at), y(weight)) : context.moveTo(x(at), y(weight))));
  context.stroke();
  const unit = (tile.record || tile.last || {}).unit || "";
  context.fillStyle = "#aab3b8";
  context.font = `${label}px system-ui, sans-serif`;
  context.textBaseline = "top";
  context.fillText(`${high} ${unit}`, 4, 2);
  context.fillText(`${low} ${unit}`, 4, bottom + 2);
  context.textBaseline = "bottom";
  context.textAlign = "right";
  context.fillText("now", width - 4, height - 1);
  context.textAlign = "left";
  context.fillText("5 min ago", 4, height - 1);
}

function ask(tile, command) {
  tile.asked = command;
  tile.question.textContent = `${COMMAND_NAMES[command] || command} ${tile.name}?`;
  tile.commands.hidden = true;
  tile.confirm.hidden = false;
}

function closeQuestion(tile) {
  tile.asked = null;
  tile.confirm.hidden = true;
  offerCommands(tile);
}

// The result large, in words: "zero: done", or what went wrong.
function showResult(tile, command, text, done) {
  clearTimeout(tile.resultTimer);
  tile.result.textContent = `${command}: ${text}`;
  tile.result.className = `result ${done ? "done" : "failed"}`;
  tile.resultTimer = setTimeout(() => {
    tile.result.textContent = "";
    tile.result.className = "result";
  }, 8000);
}

async function sendCommand(tile, command) {
  clearTimeout(tile.resultTimer);
  tile.result.className = "result";
  tile.result.textContent = `${command}: …`;
  const headers = { "Content-Type": "application/json" };
  if (token) headers.Authorization = `Bearer ${token}`;
  try {
    const response = await fetch(`/api/v1/stations/${encodeURIComponent(tile.name)}/command`, {
      method: "POST", headers, body: JSON.stringify({ command }),
    });
    const answer = await response.json();
    showResult(tile, command, answer.result || answer.error || response.statusText, response.ok);
  } catch (failure) {
    showResult(tile, command, String(failure), false);
  }
}

// One connection, opened again after a pause whenever it ends (the reader restarted, the
// network dropped); while it is down the tiles turn grey.
let retryMillis = 1000;
function connect() {
  const link = document.getElementById("link");
  const socket = new WebSocket(eventsUrl());
  socket.onopen = () => {
    retryMillis = 1000;
    link.textContent = "live";
    link.classList.remove("lost");
    document.body.classList.remove("offline");
  };
  socket.onmessage = (event) => {
    const message = JSON.parse(event.data);
    if (message.type === "record") onRecord(message);
    else if (message.type === "state") onState(message);
    else if (message.type === "hello") {
      stationCommands = message.stationCommands || {};
      for (const name of message.stations) {
        const tile = tileFor(name);
        offerCommands(tile);
        onTrend(tile, (message.trends || {})[name]);
      }
    }
  };
  socket.onclose = (event) => {
    link.textContent = event.reason ? `disconnected: ${event.reason}` : "reconnecting…";
    link.classList.add("lost");
    document.body.classList.add("offline");
    setTimeout(connect, retryMillis);
    retryMillis = Math.min(retryMillis * 2, 5000);
  };
}
connect();
