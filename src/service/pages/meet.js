// The meet's events with where each stands, and a search of the divers by name or team. It
// reads the API when it loads and after a reconnection; dives on the feed move the events on.
import { api, lineStatus, openFeed } from './feed.js';
import { diverName, el, setText } from './results.js';

const status = lineStatus(document.getElementById('feed'));
const state = { events: [], divers: [], consoles: [] };
const search = document.getElementById('search');

function stateText(event) {
  if (event.state === 'not-started') return 'Not started';
  if (event.state === 'finished') return 'Finished';
  return `In progress – round ${event.round}`;
}

function links(eventId) {
  const box = el('span', 'links');
  const board = el('a', null, 'Board');
  board.href = `/?event=${encodeURIComponent(eventId)}`;
  const results = el('a', null, 'Results');
  results.href = `/results?event=${encodeURIComponent(eventId)}`;
  box.append(results, board);
  return box;
}

function showEvents() {
  document.getElementById('events').replaceChildren(...state.events.map((event) => {
    const item = el('li');
    item.dataset.event = event.eventId;
    const title = el('span', 'title', `${event.eventId} – ${event.eventName}`);
    const where = el('span', 'state', stateText(event));
    where.dataset.state = event.state;
    item.append(title, where);
    // With several consoles at the meet, which of them is judging the event now.
    const running = state.consoles.filter((c) => c.running);
    const on = running.filter((c) => c.currentEvent === event.eventId).map((c) => c.name);
    if (running.length > 1 && on.length > 0) {
      const badge = el('span', 'on', `Now on ${on.join(', ')}`);
      badge.dataset.consoles = on.join(' ');
      item.append(badge);
    }
    item.append(links(event.eventId));
    return item;
  }));
}

// Every diver whose name or team holds what was typed (any case, accents ignored), with the
// events they dive in.
// Letters that do not come apart into a base letter and a mark are folded by hand.
const Letters = { ø: 'o', æ: 'ae', œ: 'oe', ß: 'ss', ł: 'l', đ: 'd', ð: 'd', þ: 'th', ı: 'i' };
const fold = (text) => (text ?? '').toLowerCase().normalize('NFD').replace(/\p{M}/gu, '')
  .replace(/[øæœßłđðþı]/g, (letter) => Letters[letter]);

function showFound() {
  const wanted = fold(search.value.trim());
  const list = document.getElementById('found');
  if (wanted.length < 2) {
    list.replaceChildren();
    return;
  }
  const matches = state.divers.filter((d) => fold(diverName(d)).includes(wanted) || fold(d.team).includes(wanted));
  list.replaceChildren(...matches.slice(0, 50).map((entry) => {
    const item = el('li');
    const event = state.events.find((e) => e.eventId === entry.eventId);
    const results = el('a', 'name', diverName(entry));
    results.href = `/results?event=${encodeURIComponent(entry.eventId)}#diver-${entry.DivingOrder}`;
    item.append(results, el('span', 'team', entry.team),
      el('span', 'where', `${event ? event.eventName : entry.eventId} – ${event ? stateText(event) : ''}`));
    return item;
  }));
  if (matches.length === 0) list.replaceChildren(el('li', 'none', 'No diver by that name'));
}

async function catchUp() {
  const [meet, divers] = await Promise.all([api('/api/meet'), api('/api/divers')]);
  if (meet.status === 200) {
    setText('meet-name', meet.body.meetName || meet.body.meetId);
    document.title = meet.body.meetName || meet.body.meetId;
    state.events = meet.body.events;
    state.consoles = meet.body.consoles ?? [];
    status.console(meet.body.console);
    showEvents();
  }
  if (divers.status === 200) state.divers = divers.body;
  showFound();
}

search.addEventListener('input', showFound);
openFeed({
  onMessage: (message) => {
    if (message.type === 'console') status.console(message);
    // An upload that was sent changes its console's event: rare enough to read the meet again.
    else if (message.type === 'finished' && message.result === 'sent') catchUp();
    else if (message.type === 'dive') {
      // Where the event stands comes with the dive: no request needed.
      const event = state.events.find((e) => e.eventId === message.dive.eventId);
      if (event && message.progress) {
        Object.assign(event, { state: message.progress.state, round: message.progress.round });
        showEvents();
      }
    }
  },
  onOpen: catchUp,
  onState: (feedState) => status.feed(feedState),
});
