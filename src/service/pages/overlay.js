// The lower third: each judged dive for ?hold= seconds (8 unless given), then nothing.
import { api, openFeed } from './feed.js';
import {
  award, awards, dd, diveCode, diverName, el, points, setText, standingOf,
} from './results.js';

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
  setText('name', diverName(dive));
  setText('team', dive.team);
  setText('round', dive.DiveRound);
  setText('dive', diveCode(dive.DiveNumber, dive.DivePos));
  setText('dd', dd(dive.DiveDD));
  document.getElementById('awards').replaceChildren(
    ...awards(dive).map((value) => el('li', null, award(value))),
  );
  setText('dive-total', points(dive.DiveTotal));
  setText('total', points(dive.TotalScore));
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
