// The lower third: each judged dive for ?hold= seconds (8 unless given), then nothing.
import { api, openFeed } from './feed.js';
import { setText, showDive, standingOf } from './results.js';

const requested = Number(new URLSearchParams(location.search).get('hold'));
const holdMs = (Number.isFinite(requested) && requested > 0 ? Math.min(requested, 600) : 8) * 1000;
const third = document.getElementById('third');
let clearTimer = null;
let shown = 0; // the dive on screen, so a late rank does not land on the next one

async function showRank(dive, mine) {
  const { status, body } = await api(`/api/events/${encodeURIComponent(dive.eventId)}/standings`);
  const entry = status === 200 ? standingOf(body, dive.DivingOrder) : null;
  if (mine === shown) setText('rank', entry ? entry.rank : '');
}

function show(dive) {
  const mine = ++shown;
  showDive(dive);
  setText('rank', '');
  third.hidden = false;
  clearTimeout(clearTimer);
  clearTimer = setTimeout(() => { third.hidden = true; }, holdMs);
  showRank(dive, mine);
}

openFeed({
  onMessage: (message) => {
    if (message.type === 'dive') show(message.dive);
  },
});
