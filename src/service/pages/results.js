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

// The nine awards of a dive, J1Score to J9Score.
export const awards = (dive) => Array.from({ length: 9 }, (_, i) => dive[`J${i + 1}Score`]);

// Fills in a judged dive where the page shows one: the elements named prefix + "name", "team",
// "round", "dive", "dd", "awards", "dive-total" and "total".
export function showDive(dive, prefix = '') {
  setText(`${prefix}name`, diverName(dive));
  setText(`${prefix}team`, dive.team);
  setText(`${prefix}round`, dive.DiveRound);
  setText(`${prefix}dive`, diveCode(dive.DiveNumber, dive.DivePos));
  setText(`${prefix}dd`, dd(dive.DiveDD));
  document.getElementById(`${prefix}awards`).replaceChildren(
    ...awards(dive).map((value) => el('li', null, award(value))),
  );
  setText(`${prefix}dive-total`, points(dive.DiveTotal));
  setText(`${prefix}total`, points(dive.TotalScore));
}

// The dive judged last: the one that arrived last.
export function latest(dives) {
  return dives.reduce((last, dive) => (!last || dive.receivedAt >= last.receivedAt ? dive : last), null);
}

// The diver's standing (rank and all), by diving order.
export const standingOf = (standings, divingOrder) =>
  standings.find((entry) => entry.DivingOrder === divingOrder) ?? null;
