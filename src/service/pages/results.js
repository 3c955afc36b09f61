// Shaping results for display. Every text from the database or the console is put into the page
// with textContent, never as markup.

// Creates an element with a class and a text.
export function el(tag, className, text) {
  const element = document.createElement(tag);
  if (className) element.className = className;
  if (text !== undefined && text !== null) element.textContent = String(text);
  return element;
}

// Sets the text of the element with that id (inside root).
export function setText(id, text, root = document) {
  const element = root.querySelector(`#${id}`);
  if (element) element.textContent = text === undefined || text === null ? '' : String(text);
}

// The diver's name, or "Diver " and the RegID when the meet database has no name for it.
export function diverName(entry) {
  if (entry.diverName) return entry.diverName;
  if (entry.regId !== null && entry.regId !== undefined) return `Diver ${entry.regId}`;
  return `Diving order ${entry.DivingOrder}`;
}

export const award = (value) => Number(value ?? 0).toFixed(1);
export const points = (value) => Number(value ?? 0).toFixed(2);
export const dd = (value) => (value === null || value === undefined ? '–' : Number(value).toFixed(1));

// "105B": the console sends the number and the position letter apart, blank-padded.
export const diveCode = (number, position) => `${(number ?? '').trim()}${(position ?? '').trim()}`;

// The dive's awards on the panel, [{judge, award, discarded}], as the service sends them; for a
// dive it could not place on a panel (kept only in the journal), the judges who gave one.
export function panelAwards(dive, panel) {
  if (Array.isArray(dive.awards)) return dive.awards;
  const judges = panel?.length ? panel
    : [1, 2, 3, 4, 5, 6, 7, 8, 9].filter((j) => Number(dive[`J${j}Score`] ?? 0) !== 0);
  return (judges.length ? judges : [1, 2, 3, 4, 5])
    .map((judge) => ({ judge, award: dive[`J${judge}Score`] ?? 0, discarded: false }));
}

// The award tiles: each an element with data-award, and data-discarded when the rules drop it.
export function awardTiles(dive, panel, tag = 'li') {
  return panelAwards(dive, panel).map((entry) => {
    const tile = el(tag, null, award(entry.award));
    tile.dataset.award = '';
    tile.dataset.judge = entry.judge;
    if (entry.discarded) tile.dataset.discarded = '';
    return tile;
  });
}

// What the console flagged, in words: a failed dive, a balk, a corrected score.
export function flagWords(dive) {
  const words = [];
  if (dive.failed) words.push(['failed', 'Failed dive']);
  if (dive.balked) words.push(['balked', 'Balk']);
  if (dive.corrected) words.push(['corrected', 'Corrected']);
  return words.map(([kind, text]) => el('span', kind, text));
}

// Fills in a judged dive where the page shows one: the elements named prefix + "name", "team",
// "round", "dive", "dd", "awards", "flags", "dive-total" and "total".
export function showDive(dive, prefix = '', panel = null) {
  setText(`${prefix}name`, diverName(dive));
  setText(`${prefix}team`, dive.team);
  setText(`${prefix}round`, dive.DiveRound);
  setText(`${prefix}dive`, diveCode(dive.DiveNumber, dive.DivePos));
  setText(`${prefix}dd`, dd(dive.DiveDD));
  document.getElementById(`${prefix}awards`).replaceChildren(...awardTiles(dive, panel));
  document.getElementById(`${prefix}flags`)?.replaceChildren(...flagWords(dive));
  setText(`${prefix}dive-total`, points(dive.DiveTotal));
  setText(`${prefix}total`, points(dive.TotalScore));
}

// A standings row's move since the dive before: "▲2", "▼1", or nothing.
export function changeOf(entry) {
  if (entry.previousRank === null || entry.previousRank === undefined) return { text: '', kind: '' };
  const moved = entry.previousRank - entry.rank;
  if (moved > 0) return { text: `▲${moved}`, kind: 'up' };
  if (moved < 0) return { text: `▼${-moved}`, kind: 'down' };
  return { text: '', kind: '' };
}

// "Round 2 of 6 · Diver 4 of 12" from an event's progress.
export function progressText(progress) {
  if (!progress) return '';
  if (progress.state === 'not-started') return 'Not started';
  const parts = [];
  if (progress.round) parts.push(`Round ${progress.round} of ${progress.rounds || '?'}`);
  if (progress.diver) parts.push(`Diver ${progress.diver} of ${progress.divers}`);
  if (progress.state === 'finished') parts.push('Final');
  return parts.join(' · ');
}

// The dive message's shape and the summary API's are one: the dive is "judged" in the latter.
export function summaryOf(message) {
  return {
    judged: message.judged ?? message.dive ?? null,
    standings: message.standings,
    next: message.next,
    progress: message.progress,
    panel: message.panel,
  };
}
