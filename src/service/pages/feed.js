// The /live feed and the JSON API, shared by every page.

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

// Shows the feed's state on an element: its data-state and a word.
export function showFeedState(element, state) {
  element.dataset.state = state;
  element.textContent = { live: 'Live', offline: 'Reconnecting…', connecting: 'Connecting…' }[state];
}
