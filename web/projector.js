"use strict";
// The class's charts, drawn as plain SVG, and the projector view that shows
// them live. The teacher's page draws its debriefing with the same charts.

const SVG = "http://www.w3.org/2000/svg";
// The stages as the charts show them, from the customer up the chain.
const STAGES = [{ index: 3, name: "Retailer" }, { index: 2, name: "Wholesaler" },
  { index: 1, name: "Distributor" }, { index: 0, name: "Factory" }];
const TEAM_COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#17becf",
  "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22"];

function svgElement(name, attributes, text) {
  const element = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) element.setAttribute(key, value);
  if (text !== undefined) element.textContent = text;
  return element;
}

// A round step for an axis reaching `top`: 1, 2 or 5 times a power of ten.
function axisStep(top) {
  const rough = Math.max(top, 1) / 4;
  const power = Math.pow(10, Math.floor(Math.log10(rough)));
  for (const factor of [1, 2, 5, 10]) if (factor * power >= rough) return factor * power;
  return 10 * power;
}

// A chart's frame: the title, the value axis up to `top` with its grid.
function chartFrame(title, top) {
  const width = 640, height = 360, left = 64, right = 16, above = 44, below = 40;
  const svg = svgElement("svg", { viewBox: `0 0 ${width} ${height}`, role: "img",
    "aria-label": title });
  svg.appendChild(svgElement("text", { x: left, y: 28, "font-size": 24, "font-weight": "bold" },
    title));
  const step = axisStep(top);
  const axisTop = Math.max(step, Math.ceil(top / step) * step);
  const plot = { left, top: above, width: width - left - right, height: height - above - below };
  const y = (value) => plot.top + plot.height - (value / axisTop) * plot.height;
  for (let value = 0; value <= axisTop; value += step) {
    svg.appendChild(svgElement("line", { x1: plot.left, x2: plot.left + plot.width, y1: y(value),
      y2: y(value), stroke: value === 0 ? "#26323d" : "#d5dce3" }));
    svg.appendChild(svgElement("text", { x: plot.left - 8, y: y(value) + 7, "font-size": 20,
      "text-anchor": "end" }, String(Math.round(value * 100) / 100)));
  }
  return { svg, plot, y };
}

// One line per series over the weeks 1..weeks, on a value axis up to `top`.
function lineChart(title, series, weeks, top) {
  const { svg, plot, y } = chartFrame(title, top);
  const x = (week) => plot.left + (weeks > 1 ? (week - 1) / (weeks - 1) : 0) * plot.width;
  for (let week = 1; week <= weeks; week += Math.max(1, Math.round(weeks / 8))) {
    svg.appendChild(svgElement("text", { x: x(week), y: plot.top + plot.height + 28,
      "font-size": 20, "text-anchor": "middle" }, String(week)));
  }
  series.forEach((line, n) => {
    const points = line.values.map((value, i) => `${x(i + 1)},${y(value)}`).join(" ");
    if (!points) return;
    svg.appendChild(svgElement("polyline", { points, fill: "none", "stroke-width": 3,
      stroke: TEAM_COLOURS[n % TEAM_COLOURS.length], "data-series": line.name }));
  });
  return svg;
}

// One bar per value (none: no bar), labelled below.
function barChart(title, bars) {
  const top = Math.max(1, ...bars.map((bar) => bar.value || 0));
  const { svg, plot, y } = chartFrame(title, top);
  const slot = plot.width / bars.length;
  bars.forEach((bar, i) => {
    const centre = plot.left + slot * (i + 0.5);
    svg.appendChild(svgElement("text", { x: centre, y: plot.top + plot.height + 28,
      "font-size": 17, "text-anchor": "middle" }, bar.label));
    if (bar.value === null || bar.value === undefined) return;
    svg.appendChild(svgElement("rect", { x: centre - slot * 0.3, width: slot * 0.6,
      y: y(bar.value), height: plot.top + plot.height - y(bar.value), fill: "#3f8f8a",
      "data-bar": bar.label }));
  });
  return svg;
}

// The four stages' orders of every team, one chart a stage on one scale,
// so that the swings growing up the chain show.
function orderCharts(teams, weeks) {
  const top = Math.max(1, ...teams.flatMap((team) => team.orders.flat()));
  const shownWeeks = Math.max(weeks || 0, ...teams.map((team) => team.orders.length));
  return STAGES.map((stage) => lineChart(`${stage.name}'s orders`,
    teams.map((team) => ({ name: team.team, values: team.orders.map((week) => week[stage.index]) })),
    shownWeeks, top));
}

// How the variance of the orders grows from the customer to the factory.
function varianceChart(title, demand, byStage) {
  return barChart(title, [{ label: "Customer", value: demand },
    ...STAGES.map((stage) => ({ label: stage.name, value: byStage[stage.index] }))]);
}

function chartBox(svg) {
  const box = document.createElement("div");
  box.className = "chart";
  box.appendChild(svg);
  return box;
}

// The teams' names in the colours of their lines.
function showLegend(container, teams) {
  container.replaceChildren(...teams.map((team, n) => {
    const name = document.createElement("span");
    name.style.color = TEAM_COLOURS[n % TEAM_COLOURS.length];
    name.textContent = `— ${team.team}`;
    return name;
  }));
}

function showCharts(container, charts) {
  container.replaceChildren(...charts.map(chartBox));
}

function cell(text, className) {
  const td = document.createElement("td");
  td.textContent = text === null || text === undefined ? "–" : String(text);
  if (className) td.className = className;
  return td;
}

function row(cells) {
  const tr = document.createElement("tr");
  tr.append(...cells);
  return tr;
}

// The teams of a debriefing by place, the incomplete ones last.
function rankedTeams(teams) {
  return [...teams].sort((a, b) => (a.place ?? Infinity) - (b.place ?? Infinity) ||
    a.team.localeCompare(b.team));
}

// The class's page's WebSocket: `/ws/<kind>/<code>`, logged in with the
// password the person typed (kept in this page only), opened again when it
// breaks.
function classSocket(kind, onMessage) {
  const code = location.pathname.split("/").pop().toUpperCase();
  for (const element of document.querySelectorAll(".code")) element.textContent = code;
  const status = document.getElementById("status");
  const form = document.getElementById("login");
  const input = document.getElementById("password");
  let socket = null;
  let password = null;
  let loggedIn = false;

  const send = (message) => {
    if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify(message));
  };
  const say = (text) => { status.textContent = text; status.hidden = !text; };
  const connect = () => {
    socket = new WebSocket(
      `${location.protocol === "https:" ? "wss:" : "ws:"}//${location.host}/ws/${kind}/${code}`);
    socket.onopen = () => {
      if (password !== null) {
        send({ type: "classLogin", password });
      } else {
        say("");
        form.hidden = false;
        input.focus();
      }
    };
    socket.onmessage = (event) => {
      const message = JSON.parse(event.data);
      if (message.type === "classLoggedIn") {
        loggedIn = true;
        say("");
        form.hidden = true;
      } else if (message.type === "refused" && message.of === "classLogin") {
        password = null;
        say(message.reason === "tooManyGuesses" ? "Too many wrong passwords: wait a little."
          : "That is not the class's password.");
        form.hidden = false;
        input.select();
        return;
      }
      onMessage(message, send);
    };
    socket.onclose = () => {
      say(loggedIn ? "The connection was lost: connecting again..." : "Connecting...");
      setTimeout(connect, 2000);
    };
  };
  form.addEventListener("submit", (event) => {
    event.preventDefault();
    password = input.value;
    send({ type: "classLogin", password });
  });
  connect();
  return { code, send };
}

// The projector view: the live charts, then the debriefing.
function runProjector() {
  const banner = document.getElementById("banner");
  const live = document.getElementById("live");
  const debriefing = document.getElementById("debriefing");
  classSocket("projector", (message) => {
    if (message.type === "classLoggedIn") {
      document.getElementById("screen").hidden = false;
    } else if (message.type === "classCharts") {
      document.getElementById("trial").textContent = message.trial ?? "–";
      banner.hidden = message.state !== "paused";
      banner.textContent = "The class is paused";
      showLegend(document.getElementById("legend"), message.teams);
      showCharts(live, [...orderCharts(message.teams, message.weeks),
        varianceChart("Variance of the orders", message.demandVariance, message.variance)]);
    } else if (message.type === "debriefing") {
      live.hidden = true;
      showLegend(document.getElementById("legend"), message.teams);
      debriefing.hidden = false;
      document.querySelector("#places tbody").replaceChildren(...rankedTeams(message.teams).map(
        (team) => row([cell(team.place, "number"), cell(team.team), cell(team.cost, "number")])));
      showCharts(document.getElementById("debriefCharts"), [
        ...orderCharts(message.teams, 0),
        varianceChart("Amplification (median)", 1, message.amplification)]);
    }
  });
}

if (document.body.classList.contains("projector")) runProjector();
