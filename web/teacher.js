"use strict";
// The teacher's page: the class's live view (teams, weeks, who is waited
// for, who is gone), the teacher's actions, and the debriefing. Its charts
// come from projector.js.

let players = [];

function weekText(item) {
  if (!item.week) return "–";
  const week = item.weeks ? `${item.week} of ${item.weeks}` : String(item.week);
  return item.training ? `training ${item.trial}, week ${week}` : `trial ${item.trial}, week ${week}`;
}

function teamProgress(team) {
  if (team.forming) return `forming: ${team.here} of ${team.size} here`;
  if (team.finished) return "finished";
  if (team.trialOver) return `trial ${team.trial} played`;
  if (team.trainingAlone) return "training alone";
  return weekText(team);
}

function waitingText(team) {
  if (team.forming || team.finished || team.trialOver || team.trainingAlone) return "";
  if (!team.waitingFor.length) return "every member has ordered";
  const since = team.waitingSeconds !== null ? ` (${team.waitingSeconds} s)` : "";
  return team.waitingFor.join(", ") + since;
}

// A member's line: who, which stage, what the member does, gone or
// replaced; a replacement's controls while the member plays.
function memberLine(team, member, send) {
  const line = document.createElement("div");
  line.className = "member";
  line.dataset.member = `${team.team}/${member.member}`;
  const what = [`${member.member}. ${member.subject}`];
  if (member.role) what.push(member.role);
  if (member.state) what.push(member.state);
  line.append(what.join(" · "));
  if (member.gone) {
    const gone = document.createElement("span");
    gone.className = "gone";
    gone.textContent = " gone";
    line.append(gone);
  }
  if (member.replacedBy) {
    line.append(` · played by ${member.replacedBy}`);
    return line;
  }
  if (team.forming || team.finished || !players.length) return line;
  const choice = document.createElement("select");
  choice.setAttribute("aria-label", `the player for ${member.subject}`);
  for (const name of players) choice.append(new Option(name, name));
  const replace = document.createElement("button");
  replace.type = "button";
  replace.className = "quiet";
  replace.textContent = "Replace";
  replace.addEventListener("click", () => {
    if (!confirm(`Let ${choice.value} play for ${member.subject} to the trial's end?`)) return;
    send({ type: "replaceMember", team: team.team, member: member.member, player: choice.value });
  });
  line.append(" ", choice, " ", replace);
  return line;
}

function showView(view, send) {
  const state = document.getElementById("state");
  state.textContent = view.state;
  state.className = `state ${view.state}`;
  document.getElementById("startClass").disabled = view.state === "started" ||
    view.state === "ended";
  document.getElementById("pauseClass").disabled = view.state !== "started";
  document.querySelector("#teams tbody").replaceChildren(...view.teams.map((team) => {
    const members = document.createElement("td");
    members.append(...team.members.map((member) => memberLine(team, member, send)));
    const tr = row([cell(team.team), cell(teamProgress(team)), cell(waitingText(team), "waiting"),
      members]);
    tr.dataset.team = team.team;
    return tr;
  }));
  document.querySelector("#students tbody").replaceChildren(...view.participants.map((student) =>
    row([cell(student.subject), cell(student.trial), cell(student.week), cell(student.role),
      cell(student.gone ? "gone" : student.state, student.gone ? "gone" : "")])));
}

function showDebriefing(message) {
  document.getElementById("debriefing").hidden = false;
  document.getElementById("debriefTrial").textContent = message.trial ?? "–";
  document.querySelector("#places tbody").replaceChildren(...rankedTeams(message.teams).map(
    (team) => row([cell(team.place === null ? null : `${team.place} of ${team.ranked}`, "number"),
      cell(team.team),
      cell(team.members.map((m) => m.role ? `${m.subject} (${m.role})` : m.subject).join(", ")),
      cell(team.cost, "number")])));
  showCharts(document.getElementById("debriefCharts"), [
    ...orderCharts(message.teams, 0),
    varianceChart("Amplification (median)", 1, message.amplification)]);
  document.getElementById("leagues").replaceChildren(...message.leagues.map(leagueTable));
}

// A league table of the report: its caption, columns, rows and notes.
function leagueTable(league) {
  const section = document.createElement("section");
  const heading = document.createElement("h2");
  heading.textContent = league.caption || `League table, trial ${league.trial}`;
  const table = document.createElement("table");
  const head = document.createElement("tr");
  for (const column of league.columns) {
    const th = document.createElement("th");
    th.textContent = column.header;
    if (column.right) th.className = "number";
    head.append(th);
  }
  table.createTHead().append(head);
  const body = table.createTBody();
  for (const cells of league.rows) {
    body.append(row(cells.map((text, i) => cell(text, league.columns[i]?.right ? "number" : ""))));
  }
  section.append(heading, table);
  for (const note of league.notes) {
    const p = document.createElement("p");
    p.textContent = note;
    section.append(p);
  }
  return section;
}

function doneText(message) {
  switch (message.of) {
    case "startClass": return "The class is started.";
    case "pauseClass": return "The class is paused.";
    case "endClass": return "The class is over.";
    case "passPause": return "The pause is passed for everyone waiting at it.";
    case "endTraining": return "Training is ended for everyone in it.";
    case "replaceMember": {
      const r = message.replaced;
      return `${r.player} plays for ${r.subject} from trial ${r.trial}, week ${r.fromWeek}.`;
    }
    default: return "";
  }
}

function runTeacher() {
  const done = document.getElementById("done");
  const { code, send } = classSocket("teacher", (message) => {
    if (message.type === "classLoggedIn") {
      players = message.players;
      document.getElementById("setting").textContent = message.setting;
      document.getElementById("desk").hidden = false;
    } else if (message.type === "classView") {
      showView(message, send);
    } else if (message.type === "classDone") {
      done.textContent = doneText(message);
    } else if (message.type === "refused") {
      done.textContent = `Not done (${message.of}): ${message.detail || message.reason}`;
    } else if (message.type === "debriefing") {
      showDebriefing(message);
    }
  });
  document.getElementById("projectorLink").href = `/projector/${code}`;
  for (const action of ["startClass", "pauseClass", "passPause", "endTraining", "debrief"]) {
    document.getElementById(action).addEventListener("click", () => send({ type: action }));
  }
  document.getElementById("endClass").addEventListener("click", () => {
    if (confirm("End the class? Every page is shown the debriefing.")) send({ type: "endClass" });
  });
}

runTeacher();
