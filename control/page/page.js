// The control page: one card per running copy, kept up to date from the event socket,
// with a snapshot of each about once a second. The token lives in this tab only.
"use strict";

const tokenKey = "skyfill-token";
const cards = new Map(); // copy number -> {element, status, snapshotUrl}
let socket = null;

function token() { return sessionStorage.getItem(tokenKey); }

function askForToken(why) {
  sessionStorage.removeItem(tokenKey);
  if (socket) { socket.onclose = null; socket.close(); socket = null; }
  document.getElementById("login").hidden = false;
  document.getElementById("login-error").textContent = why || "";
  document.getElementById("token").focus();
}

async function api(method, path, body) {
  const headers = { "Authorization": "Bearer " + token() };
  if (body !== undefined) headers["Content-Type"] = "application/json";
  const response = await fetch("/api/v1/" + path, {
    method, headers, body: body === undefined ? undefined : JSON.stringify(body),
  });
  if (response.status === 401 || response.status === 429) {
    const text = (await response.json().catch(() => ({}))).error;
    askForToken(text || "The token was not accepted.");
    throw new Error("not allowed");
  }
  return response;
}

function say(text) { document.getElementById("message").textContent = text || ""; }

async function act(method, path, body) {
  try {
    const response = await api(method, path, body);
    if (!response.ok) say((await response.json()).error);
    else say("");
  } catch (e) { /* already shown */ }
}

function rateText(status) {
  const n = status["rate-numerator"], d = status["rate-denominator"];
  if (!n || !d) return "";
  const rate = n / d;
  return (Math.abs(rate - Math.round(rate)) < 0.001 ? Math.round(rate) : rate.toFixed(2)) + "p";
}

function show(number, status) {
  let card = cards.get(number);
  if (!card) {
    const element = document.getElementById("card").content.firstElementChild.cloneNode(true);
    element.dataset.copy = number;
    element.querySelector(".start").onclick = () => act("POST", `copies/${number}/start`);
    element.querySelector(".stop").onclick = () => act("POST", `copies/${number}/stop`);
    const slots = element.querySelector(".slots");
    for (let slot = 1; slot <= 5; ++slot) {
      const button = document.createElement("button");
      button.type = "button";
      button.textContent = slot;
      button.dataset.slot = slot;
      button.onclick = () => act("POST", `copies/${number}/slot`, { slot });
      slots.appendChild(button);
    }
    card = { element, status: {}, snapshotUrl: null };
    cards.set(number, card);
    const list = document.getElementById("copies");
    const after = [...list.children].find(e => Number(e.dataset.copy) > number);
    list.insertBefore(element, after || null);
  }
  card.status = status;
  const e = card.element;
  e.querySelector(".number").textContent = "No " + number;
  e.querySelector(".source").textContent = status["source-name"] || "";
  e.querySelector(".format").textContent =
    `${status.width} x ${status.height} at ${rateText(status)}` +
    (status.fourcc ? `, ${status.fourcc}` : "");
  const state = e.querySelector(".state");
  state.textContent = status.sending ? "Sending" : "Stopped";
  state.classList.toggle("sending", !!status.sending);
  e.querySelector(".start").disabled = !!status.sending;
  e.querySelector(".stop").disabled = !status.sending;
  for (const button of e.querySelectorAll(".slots button")) {
    const active = Number(button.dataset.slot) === status.slot;
    button.classList.toggle("active", active);
    button.setAttribute("aria-pressed", active);
  }
  document.getElementById("none").hidden = cards.size > 0;
}

function forget(number) {
  const card = cards.get(number);
  if (!card) return;
  if (card.snapshotUrl) URL.revokeObjectURL(card.snapshotUrl);
  card.element.remove();
  cards.delete(number);
  document.getElementById("none").hidden = cards.size > 0;
}

async function refresh(number) {
  const response = await api("GET", `copies/${number}`);
  if (response.ok) show(number, await response.json());
}

async function load() {
  const response = await api("GET", "copies");
  if (!response.ok) { say((await response.json()).error); return; }
  const listed = (await response.json()).copies;
  const numbers = new Set(listed.map(s => s.number));
  for (const number of [...cards.keys()]) if (!numbers.has(number)) forget(number);
  for (const status of listed) show(status.number, status);
  document.getElementById("none").hidden = cards.size > 0;
}

function listen() {
  const scheme = location.protocol === "https:" ? "wss://" : "ws://";
  socket = new WebSocket(scheme + location.host + "/api/v1/events",
                         ["skyfill-events", "bearer." + token()]);
  socket.onmessage = message => {
    const event = JSON.parse(message.data);
    if (event.event === "status") show(event.copy, event.status);
    else if (event.event === "appeared") refresh(event.copy).catch(() => {});
    else if (event.event === "left") forget(event.copy);
  };
  // Anything missed while it was down is fetched again once it is back.
  socket.onclose = () => { socket = null; setTimeout(() => { if (token()) { listen(); load().catch(() => {}); } }, 2000); };
}

async function snapshots() {
  for (const [number, card] of cards) {
    try {
      const response = await api("GET", `copies/${number}/snapshot?width=480`);
      if (!response.ok || !cards.has(number)) continue;
      const url = URL.createObjectURL(await response.blob());
      const img = card.element.querySelector(".snapshot");
      img.src = url;
      img.alt = "Output of copy " + number;
      if (card.snapshotUrl) URL.revokeObjectURL(card.snapshotUrl);
      card.snapshotUrl = url;
    } catch (e) { return; }
  }
}

async function open() {
  document.getElementById("login").hidden = true;
  try { await load(); } catch (e) { return; }
  listen();
}

document.getElementById("login").onsubmit = event => {
  event.preventDefault();
  sessionStorage.setItem(tokenKey, document.getElementById("token").value.trim());
  open();
};
document.getElementById("start-all").onclick = () => act("POST", "copies/start");
document.getElementById("stop-all").onclick = () => act("POST", "copies/stop");
setInterval(() => { if (token() && !document.hidden) snapshots(); }, 1000);
if (token()) open(); else askForToken();
