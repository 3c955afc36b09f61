// Broadcast graphics: the judged dive (each for ?hold= seconds, 8 unless given), the standings
// or the next diver, whichever the director has on air (PUT /api/overlay, on every overlay at
// once). ?key=RRGGBB paints the background in a key colour for a hardware mixer.
import { api, lineStatus, openFeed } from './feed.js';
import {
  dd, diveCode, diverName, el, points, progressText, setText, showDive, summaryOf,
} from './results.js';

const params = new URLSearchParams(location.search);
const requested = Number(params.get('hold'));
const holdMs = (Number.isFinite(requested) && requested > 0 ? Math.min(requested, 600) : 8) * 1000;
const key = params.get('key');
if (key && /^[0-9a-fA-F]{6}$/.test(key)) {
  document.documentElement.style.background = `#${key}`;
  document.body.classList.add('keyed');
}
const AnimationMs = 300;
const StandingsShown = 20;
const graphics = {
  dive: document.getElementById('third'),
  standings: document.getElementById('standings-graphic'),
  next: document.getElementById('next-graphic'),
};
const status = lineStatus(document.getElementById('feed'));
const state = { show: 'dive', summary: null, eventId: null, events: [], diveOnAir: false };
let clearTimer = null;

// In and out with a short slide; hidden once out.
function take(graphic, on) {
  const element = graphics[graphic];
  if (on) {
    element.classList.remove('leaving');
    if (!element.hidden) return;
    element.classList.add('entering');
    element.hidden = false;
    element.getBoundingClientRect(); // start the transition from the entering state
    element.classList.remove('entering');
  } else if (!element.hidden && !element.classList.contains('leaving')) {
    element.classList.add('leaving');
    setTimeout(() => {
      if (element.classList.contains('leaving')) {
        element.hidden = true;
        element.classList.remove('leaving');
      }
    }, AnimationMs);
  }
}

function fill() {
  const summary = state.summary;
  if (!summary) return;
  if (summary.judged) {
    showDive(summary.judged, '', summary.panel);
    setText('rank', summary.judged.place ?? '');
  }
  const event = state.events.find((e) => e.eventId === state.eventId);
  setText('standings-event', event ? event.eventName : state.eventId);
  setText('standings-progress', progressText(summary.progress));
  document.getElementById('standings-rows').replaceChildren(
    ...(summary.standings ?? []).slice(0, StandingsShown).map((entry) => {
      const row = el('li');
      const who = el('span', 'who');
      who.append(el('span', 'name', diverName(entry)), el('span', 'team', entry.team));
      row.append(el('span', 'rank', entry.rank), who, el('span', 'total', points(entry.total)));
      return row;
    }),
  );
  const next = summary.next;
  if (next) {
    setText('next-name', diverName(next));
    setText('next-team', next.team);
    setText('next-round', next.DiveRound);
    setText('next-dive', diveCode(next.DiveNumber, next.DivePos));
    setText('next-dd', dd(next.DiveDD));
  }
}

// What is on air: the graphic the director chose; the dive only while its hold runs.
function render() {
  take('dive', state.show === 'dive' && state.diveOnAir && Boolean(state.summary?.judged));
  take('standings', state.show === 'standings' && Boolean(state.summary?.standings?.length));
  take('next', state.show === 'next' && Boolean(state.summary?.next));
}

function holdDive() {
  state.diveOnAir = true;
  clearTimeout(clearTimer);
  clearTimer = setTimeout(() => {
    state.diveOnAir = false;
    render();
  }, holdMs);
}

function onDive(message) {
  state.eventId = message.dive.eventId;
  const summary = summaryOf(message);
  if (!summary.standings) Object.assign(summary, { ...state.summary, judged: message.dive });
  state.summary = summary;
  fill();
  holdDive();
  render();
}

async function catchUp() {
  const meet = await api('/api/meet');
  if (meet.status !== 200) return;
  state.events = meet.body.events;
  state.show = meet.body.overlay ?? 'dive';
  status.console(meet.body.console);
  state.eventId = state.eventId ?? meet.body.currentEvent;
  if (state.eventId) {
    const reply = await api(`/api/events/${encodeURIComponent(state.eventId)}/summary`);
    if (reply.status === 200 && !state.summary) {
      state.summary = summaryOf(reply.body);
      fill();
    }
  }
  render();
}

openFeed({
  onMessage: (message) => {
    if (message.type === 'dive') onDive(message);
    else if (message.type === 'overlay') {
      state.show = message.show;
      // Taking the dive on air shows the last one judged for the hold.
      if (state.show === 'dive') holdDive();
      render();
    } else if (message.type === 'console') status.console(message);
  },
  onOpen: catchUp,
  onState: (feedState) => status.feed(feedState),
});
