// The results board: the dive just judged, the standings and who dives next. It reads the API
// when it loads and after a reconnection; each dive message on /live carries all it shows after
// a dive, so a dive costs the service no request.
import { api, lineStatus, openFeed } from './feed.js';
import {
  changeOf, dd, diveCode, diverName, el, points, progressText, setText, showDive, summaryOf,
} from './results.js';

const params = new URLSearchParams(location.search);
// ?event=E12 keeps the board on one event; otherwise it follows the dives as they come.
const pinned = params.get('event');
const PageMs = 10000; // how long each page of a long standings list stays up
const state = { eventId: pinned, events: [], summary: null, page: 0 };
const status = lineStatus(document.getElementById('feed'));
const phone = matchMedia('(max-width: 700px)');
let generation = 0; // drops answers that a newer request or dive has overtaken

function showEvent() {
  const event = state.events.find((e) => e.eventId === state.eventId);
  setText('event-name', event ? event.eventName : state.eventId ?? 'No event yet');
}

function showJudged(dive, panel) {
  document.getElementById('waiting').hidden = Boolean(dive);
  document.getElementById('judged').hidden = !dive;
  if (!dive) return;
  showDive(dive, 'judged-', panel);
  const moved = dive.placeBefore !== null && dive.placeBefore !== undefined
    && dive.placeBefore !== dive.place;
  setText('judged-place-before', moved ? dive.placeBefore : '');
  setText('judged-rank', dive.place ?? '');
}

function showNext(next) {
  document.getElementById('next').hidden = !next;
  if (!next) return;
  setText('next-name', diverName(next));
  setText('next-team', next.team);
  setText('next-round', next.DiveRound);
  setText('next-dive', diveCode(next.DiveNumber, next.DivePos));
  setText('next-dd', dd(next.DiveDD));
}

function standingsTable(entries, judgedOrder) {
  const table = el('table');
  // Column widths on <col>, in the table's own type size (a header's smaller type would not do).
  const columns = el('colgroup');
  columns.append(...['rank', 'change', 'diver', 'count', 'total'].map((name) => el('col', name)));
  table.append(columns);
  const head = el('tr');
  head.append(el('th', 'rank', 'Place'), el('th', 'change', ''), el('th', 'diver', 'Diver'),
    el('th', 'count', 'Dives'), el('th', 'total', 'Total'));
  const body = el('tbody');
  body.append(...entries.map((entry) => {
    const row = el('tr', entry.DivingOrder === judgedOrder ? 'current' : null);
    const who = el('td', 'diver');
    who.append(el('span', 'name', diverName(entry)), el('span', 'team', entry.team));
    const change = changeOf(entry);
    row.append(el('td', 'rank', entry.rank), el('td', `change ${change.kind}`, change.text), who,
      el('td', 'count', entry.divesJudged), el('td', 'total', points(entry.total)));
    return row;
  }));
  const thead = el('thead');
  thead.append(head);
  table.append(thead, body);
  return table;
}

// How many rows fit one column of the standings, measured on a table of one row.
function rowsThatFit(container, sample) {
  const probe = standingsTable([sample], null);
  container.replaceChildren(probe);
  const rowHeight = probe.querySelector('tbody tr').getBoundingClientRect().height;
  const headHeight = probe.querySelector('thead').getBoundingClientRect().height;
  return Math.max(1, Math.floor((container.clientHeight - headHeight) / rowHeight));
}

// The standings in one column, two, or pages of two columns with a sign saying so; never cut off.
function layoutStandings() {
  const container = document.getElementById('standings');
  const entries = state.summary?.standings ?? [];
  const judgedOrder = state.summary?.judged?.DivingOrder;
  const sign = document.getElementById('standings-page');
  if (phone.matches || entries.length === 0) {
    container.replaceChildren(standingsTable(entries, judgedOrder));
    sign.textContent = '';
    return;
  }
  // A long list gets the wider half of the screen and denser rows, in two columns.
  const main = document.querySelector('main');
  main.classList.remove('dense');
  let rows = rowsThatFit(container, entries[0]);
  if (entries.length > rows) {
    main.classList.add('dense');
    rows = rowsThatFit(container, entries[0]);
  }
  const columns = entries.length > rows && container.clientWidth >= 700 ? 2 : 1;
  const perPage = rows * columns;
  const pages = Math.ceil(entries.length / perPage);
  state.pages = pages;
  state.page %= pages;
  const shown = entries.slice(state.page * perPage, (state.page + 1) * perPage);
  const tables = [];
  for (let c = 0; c < columns && c * rows < shown.length; ++c)
    tables.push(standingsTable(shown.slice(c * rows, (c + 1) * rows), judgedOrder));
  container.replaceChildren(...tables);
  sign.textContent = pages > 1 ? `Page ${state.page + 1} of ${pages}` : '';
}

function showSummary(summary) {
  state.summary = summary;
  showJudged(summary.judged, summary.panel);
  showNext(summary.next);
  setText('progress', progressText(summary.progress));
  layoutStandings();
}

async function catchUp() {
  const mine = ++generation;
  const meet = await api('/api/meet');
  if (meet.status === 200) {
    const body = meet.body;
    setText('meet-name', body.meetName || body.meetId);
    document.title = `Results – ${body.meetName || body.meetId}`;
    state.events = body.events;
    status.console(body.console);
    if (!pinned) state.eventId = body.currentEvent ?? state.eventId ?? body.events[0]?.eventId ?? null;
  }
  showEvent();
  if (!state.eventId) return;
  const reply = await api(`/api/events/${encodeURIComponent(state.eventId)}/summary`);
  if (mine === generation && reply.status === 200) showSummary(summaryOf(reply.body));
}

function onDive(message) {
  const { eventId } = message.dive;
  if (eventId !== state.eventId) {
    if (pinned) return;
    state.eventId = eventId;
    showEvent();
  }
  ++generation;
  const summary = summaryOf(message);
  // A dive kept only in the journal comes alone: the rest stays as it was.
  if (!summary.standings) Object.assign(summary, { ...state.summary, judged: message.dive });
  showSummary(summary);
}

setInterval(() => {
  if (!(state.pages > 1)) return;
  ++state.page;
  layoutStandings();
}, PageMs);
addEventListener('resize', () => layoutStandings());

openFeed({
  onMessage: (message) => {
    if (message.type === 'dive') onDive(message);
    else if (message.type === 'console') status.console(message);
  },
  onOpen: catchUp,
  onState: (feedState) => status.feed(feedState),
});
