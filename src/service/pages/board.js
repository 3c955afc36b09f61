// The results board: the dive just judged, the standings and who dives next, kept current by
// the /live feed and caught up from the API after every (re)connection.
import { api, openFeed, showFeedState } from './feed.js';
import {
  dd, diveCode, diverName, el, latest, points, setText, showDive, standingOf,
} from './results.js';

const params = new URLSearchParams(location.search);
// ?event=E12 keeps the board on one event; otherwise it follows the dives as they come.
const pinned = params.get('event');
const state = { eventId: pinned, events: [], standings: [], judged: null };
let generation = 0; // drops answers that a newer request has overtaken

async function loadMeet() {
  const { status, body } = await api('/api/meet');
  if (status !== 200) return;
  setText('meet-name', body.meetName || body.meetId);
  document.title = `Results – ${body.meetName || body.meetId}`;
  state.events = body.events;
  if (!pinned) state.eventId = body.currentEvent ?? state.eventId ?? body.events[0]?.eventId ?? null;
}

function showEvent() {
  const event = state.events.find((e) => e.eventId === state.eventId);
  setText('event-name', event ? event.eventName : state.eventId ?? 'No event yet');
}

function showJudged(dive) {
  state.judged = dive;
  document.getElementById('waiting').hidden = Boolean(dive);
  document.getElementById('judged').hidden = !dive;
  if (!dive) return;
  showDive(dive, 'judged-');
  showRank();
}

function showRank() {
  const entry = state.judged && standingOf(state.standings, state.judged.DivingOrder);
  setText('judged-rank', entry ? entry.rank : '');
}

function showStandings(standings) {
  state.standings = standings;
  const judgedOrder = state.judged?.DivingOrder;
  document.getElementById('standings').replaceChildren(...standings.map((entry) => {
    const row = el('tr', entry.DivingOrder === judgedOrder ? 'current' : null);
    const who = el('td', 'diver');
    who.append(el('span', 'name', diverName(entry)), el('span', 'team', entry.team));
    row.append(el('td', 'rank', entry.rank), who, el('td', 'count', entry.divesJudged),
      el('td', 'total', points(entry.total)));
    return row;
  }));
  showRank();
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

// Standings and who dives next, after a dive or on catching up.
async function refreshTables(withResults) {
  const mine = ++generation;
  const base = `/api/events/${encodeURIComponent(state.eventId)}`;
  const [results, standings, next] = await Promise.all([
    withResults ? api(`${base}/results`) : null, api(`${base}/standings`), api(`${base}/next`),
  ]);
  if (mine !== generation) return;
  if (results?.status === 200) showJudged(latest(results.body));
  if (standings.status === 200) showStandings(standings.body);
  if (next.status === 200) showNext(next.body.next);
}

async function catchUp() {
  await loadMeet();
  showEvent();
  if (state.eventId) await refreshTables(true);
}

function onDive(dive) {
  if (dive.eventId !== state.eventId) {
    if (pinned) return;
    state.eventId = dive.eventId;
    showEvent();
  }
  state.standings = []; // no rank until the standings with this dive are in
  showJudged(dive);
  refreshTables(false);
}

openFeed({
  onMessage: (message) => {
    if (message.type === 'dive') onDive(message.dive);
  },
  onOpen: catchUp,
  onState: (feedState) => showFeedState(document.getElementById('feed'), feedState),
});
