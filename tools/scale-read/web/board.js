// The live board: one tile per station, fed by the reader's WebSocket. No framework, no build.
"use strict";

const TREND_MILLIS = 5 * 60 * 1000;
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
    node, name, state: "not-open", record: null, points: [], drawn: false,
    value: find(".value"), unit: find(".unit"), stateText: find(".state"),
    stable: find(".stable"), mode: find(".mode"), time: find(".time"),
    raw: find(".raw"), canvas: find(".trend"), commands: find(".commands"),
    result: find(".result"),
  };
  find(".name").textContent = name;
  for (const button of node.querySelectorAll("button")) {
    button.addEventListener("click", () => sendCommand(tile, button.dataset.command));
  }
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
  tile.commands.hidden = offered.length === 0;
}

// "-12.345kg" -> ["-12.345", "kg"]: the figure large, its unit small.
function splitText(text) {
  const match = /^(.*?)([A-Za-z]+)$/.exec(text || "");
  return match ? [match[1], match[2]] : [text || "—", ""];
}

function show(tile) {
  const state = tile.state;
  tile.node.className = `tile ${state}`;
  tile.stateText.textContent = state;
  const record = tile.record;
  if (state === "waiting") {
    tile.value.textContent = "Load...";
    tile.unit.textContent = "";
  } else if (state === "port-lost" || state === "not-open") {
    tile.value.textContent = state;
    tile.unit.textContent = "";
  } else if (record) {
    const [figure, unit] = splitText(record.text);
    tile.value.textContent = figure;
    tile.unit.textContent = record.unit || unit;
  }
  const stable = state === "reading" && record && record.stable;
  tile.stable.classList.toggle("on", Boolean(stable));
  if (record) {
    const mode = record.mode ? record.mode : "gross/net —";
    tile.mode.textContent = record.tare !== undefined ? `${mode} · tare ${record.tare}` : mode;
    tile.time.textContent = record.time ? new Date(record.time).toLocaleTimeString() : "";
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
  if (message.text !== undefined) tile.record = message;
  if (message.raw !== undefined) tile.raw.textContent = message.raw;
  show(tile);
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

function drawTrend(tile) {
  const { canvas, points } = tile;
  const context = canvas.getContext("2d");
  context.clearRect(0, 0, canvas.width, canvas.height);
  if (points.length < 2) return;
  const now = Date.now();
  let low = Infinity;
  let high = -Infinity;
  for (const [, weight] of points) {
    low = Math.min(low, weight);
    high = Math.max(high, weight);
  }
  const span = high - low || 1;
  const x = (at) => canvas.width * (1 - (now - at) / TREND_MILLIS);
  const y = (weight) => canvas.height - 8 - (canvas.height - 16) * ((weight - low) / span);
  context.strokeStyle = getComputedStyle(tile.value).color;
  context.lineWidth = 2;
  context.beginPath();
  points.forEach(([at, weight], i) => (i ? context.lineTo(x(at), y(weight)) : context.moveTo(x(at), y(weight))));
  context.stroke();
  context.fillStyle = "#7d868c";
  context.font = "12px sans-serif";
  context.fillText(String(high), 4, 12);
  context.fillText(String(low), 4, canvas.height - 4);
}

async function sendCommand(tile, command) {
  tile.result.textContent = "…";
  const headers = { "Content-Type": "application/json" };
  if (token) headers.Authorization = `Bearer ${token}`;
  try {
    const response = await fetch(`/api/v1/stations/${encodeURIComponent(tile.name)}/command`, {
      method: "POST", headers, body: JSON.stringify({ command }),
    });
    const answer = await response.json();
    tile.result.textContent = answer.result || answer.error || response.statusText;
  } catch (failure) {
    tile.result.textContent = String(failure);
  }
  setTimeout(() => (tile.result.textContent = ""), 4000);
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
      for (const name of message.stations) offerCommands(tileFor(name));
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
