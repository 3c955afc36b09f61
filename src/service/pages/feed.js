// The /live feed, the JSON API and the line's state, shared by every page.

// GET (or another method) on the API; resolves to {status, body}. A network failure is status 0.
export async function api(path, { method = 'GET', body, token } = {}) {
  const headers = {};
  if (body !== undefined) headers['Content-Type'] = 'application/json';
  if (token) headers.Authorization = `Bearer ${token}`;
  try {
    const response = await fetch(path, {
      method, headers, body: body === undefined ? undefined : JSON.stringify(body), cache: 'no-store',
    });
    const text = await response.text();
    return { status: response.status, body: text ? JSON.parse(text) : null };
  } catch (error) {
    return { status: 0, body: { error: String(error) } };
  }
}

// Keeps a WebSocket to /live open: after a drop it tries again after 1 s, then 2 s, then every
// 3 s. onOpen runs on every (re)connection, so a page catches up there on what it missed.
export function openFeed({ onMessage, onOpen = () => {}, onState = () => {} }) {
  let delay = 1000;
  const connect = () => {
    const scheme = location.protocol === 'https:' ? 'wss:' : 'ws:';
    const socket = new WebSocket(`${scheme}//${location.host}/live`);
    socket.addEventListener('open', () => {
      delay = 1000;
      onState('live');
      onOpen();
    });
    socket.addEventListener('message', (event) => {
      let message;
      try {
        message = JSON.parse(event.data);
      } catch {
        return;
      }
      onMessage(message);
    });
    socket.addEventListener('close', () => {
      onState('offline');
      setTimeout(connect, delay);
      delay = Math.min(delay + 1000, 3000);
    });
  };
  onState('connecting');
  connect();
}

// The time of day of a UTC timestamp, as the viewer's clock shows it.
export const timeOfDay = (iso) => new Date(iso).toLocaleTimeString('en-GB', { hour12: false });

// Shows on an element whether the page is live: "Live" only while both the page's feed and the
// console's line are up; otherwise what is down, and since when for the console.
export function lineStatus(element) {
  const state = { feed: 'connecting', console: null };
  const show = () => {
    let key = state.feed;
    let text = { live: 'Live', offline: 'Reconnecting…', connecting: 'Connecting…' }[state.feed];
    if (state.feed === 'live' && state.console && !state.console.open) {
      key = 'console-down';
      text = `Console disconnected since ${timeOfDay(state.console.since)}`;
    }
    element.dataset.state = key;
    element.textContent = text;
  };
  show();
  return {
    feed(feedState) { state.feed = feedState; show(); },
    console(line) { state.console = line; show(); },
  };
}
