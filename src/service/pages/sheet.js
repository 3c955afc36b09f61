// The results sheet of one event (?event=E12): every diver in place order with each round's
// dive, DD, awards (the discarded ones marked), points and running total. It reads the event
// when it loads and after a reconnection; each dive message brings the dive and the standings.
import { api, lineStatus, openFeed } from './feed.js';
import {
  awardTiles, dd, diveCode, diverName, el, flagWords, points, progressText, setText, summaryOf,
} from './results.js';

const eventId = new URLSearchParams(location.search).get('event');
const status = lineStatus(document.getElementById('feed'));
const state = { dives: new Map(), standings: [], panel: [] };
const diveKey = (dive) => `${dive.DiveRound}/${dive.DivingOrder}`;

function cell(className, ...children) {
  const td = el('td', className);
  td.append(...children);
  return td;
}

function render() {
  const byOrder = new Map();
  for (const dive of state.dives.values()) {
    if (!byOrder.has(dive.DivingOrder)) byOrder.set(dive.DivingOrder, []);
    byOrder.get(dive.DivingOrder).push(dive);
  }
  const bodies = state.standings.map((entry) => {
    const body = el('tbody', 'diver');
    body.id = `diver-${entry.DivingOrder}`;
    const who = el('tr', 'who');
    const name = el('td');
    name.colSpan = 5;
    name.append(el('span', 'place', entry.rank), el('span', 'name', diverName(entry)),
      el('span', 'team', entry.team));
    who.append(name, el('td', 'final', points(entry.total)));
    body.append(who);
    const dives = (byOrder.get(entry.DivingOrder) ?? []).sort((a, b) => a.DiveRound - b.DiveRound);
    for (const dive of dives) {
      const row = el('tr', 'dive');
      const awards = el('ol', 'awards');
      awards.append(...awardTiles(dive, state.panel));
      const flags = el('span', 'flags');
      flags.append(...flagWords(dive));
      const code = cell('dive', el('span', null, diveCode(dive.DiveNumber, dive.DivePos)), flags);
      row.append(el('td', 'round', dive.DiveRound), code, el('td', 'dd', dd(dive.DiveDD)),
        cell('awards', awards), el('td', 'points', points(dive.DiveTotal)),
        el('td', 'running', points(dive.TotalScore)));
      body.append(row);
    }
    if (entry.nextRound !== null && entry.nextRound !== undefined) {
      // When this diver is up again, for whoever follows them on a phone.
      const row = el('tr', 'next');
      const when = entry.divesBefore === 0 ? 'Dives next'
        : `Dives again in round ${entry.nextRound}, after ${entry.divesBefore} more ${entry.divesBefore === 1 ? 'dive' : 'dives'}`;
      const text = el('td', null, when);
      text.colSpan = 6;
      row.append(text);
      body.append(row);
    }
    return body;
  });
  const table = document.querySelector('table.results');
  for (const old of table.querySelectorAll('tbody')) old.remove();
  if (bodies.length === 0) {
    const body = el('tbody');
    const row = el('tr');
    const empty = el('td', 'empty', 'No dives judged yet');
    empty.colSpan = 6;
    row.append(empty);
    body.append(row);
    bodies.push(body);
  }
  table.append(...bodies);
}

function applySummary(summary) {
  state.standings = summary.standings ?? state.standings;
  state.panel = summary.panel ?? state.panel;
  setText('progress', progressText(summary.progress));
}

async function catchUp() {
  if (!eventId) {
    setText('event-name', 'Choose an event on the meet page');
    return;
  }
  const [meet, results, summary] = await Promise.all([
    api('/api/meet'), api(`/api/events/${encodeURIComponent(eventId)}/results`),
    api(`/api/events/${encodeURIComponent(eventId)}/summary`),
  ]);
  if (meet.status === 200) {
    const body = meet.body;
    const event = body.events.find((e) => e.eventId === eventId);
    setText('meet-name', body.meetName || body.meetId);
    setText('event-name', event ? event.eventName : eventId);
    document.title = `${event ? event.eventName : eventId} – ${body.meetName || body.meetId}`;
    status.console(body.console);
  }
  if (results.status === 200) state.dives = new Map(results.body.map((d) => [diveKey(d), d]));
  if (summary.status === 200) applySummary(summaryOf(summary.body));
  else if (summary.status === 404) setText('event-name', `No event ${eventId}`);
  render();
}

setText('printed', ` · Printed ${new Date().toLocaleString('en-GB', { dateStyle: 'medium', timeStyle: 'short' })}`);
if (eventId) document.getElementById('board-link').href = `/?event=${encodeURIComponent(eventId)}`;
openFeed({
  onMessage: (message) => {
    if (message.type === 'dive' && message.dive.eventId === eventId) {
      state.dives.set(diveKey(message.dive), message.dive);
      if (message.standings) applySummary(summaryOf(message));
      render();
    } else if (message.type === 'console') status.console(message);
  },
  onOpen: catchUp,
  onState: (feedState) => status.feed(feedState),
});
