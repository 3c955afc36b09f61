// The operator's page: uploads and connection tests through the service, with the console's
// message lines as the upload dialog shows them.
import { api, lineStatus, openFeed, timeOfDay } from './feed.js';
import { el, setText } from './results.js';

const TokenKey = 'kavvix-token';
const $ = (id) => document.getElementById(id);
const outcomes = {
  sent: 'Upload complete',
  connected: 'The console answered',
  rejected: 'The console rejected the upload',
  'no-answer': 'No answer from the console',
  'port-unavailable': 'The serial port cannot be opened',
  'line-lost': 'The line to the console was lost',
  'validation-failed': 'The event did not pass validation',
  aborted: 'Aborted',
  failed: 'Failed',
};
// The console as last reported; a job borrows the line without closing it.
const line = { port: null, open: false, version: null, versionCurrent: false, since: null, job: null };
const status = lineStatus($('feed'));

// The time of day in front of each line, as the dialog writes it.
const clock = () => new Date().toLocaleTimeString('en-GB', { hour12: false });

function addMessage(text) {
  const list = $('messages');
  list.append(el('li', null, `${clock()} ${text}`));
  list.scrollTop = list.scrollHeight;
}

function showOutcome(text, result = '') {
  const outcome = $('outcome');
  outcome.textContent = text;
  if (result) outcome.dataset.result = result;
  else delete outcome.dataset.result;
}

// Who is at fault when the event failed its checks: one line per problem, as the service
// describes it ("DD zero or missing: diving order 3 (RegID 902) round 3").
function showValidation(problems = []) {
  $('validation').replaceChildren(...problems.map((problem) => {
    const item = el('li', null, problem.text);
    item.dataset.check = problem.check;
    if (!problem.fatal) item.dataset.warning = 'true';
    return item;
  }));
}

function showConsole() {
  const element = $('console-state');
  // The device as the service was given it, else the port number.
  const port = line.name ? `${line.name} ` : line.port === null ? '' : `COM ${line.port} `;
  const jobs = { upload: 'in use by the upload', test: 'in use by the connection test' };
  element.dataset.open = String(line.open || Boolean(line.job));
  // A version heard before the line went down may no longer be the console's.
  const version = !line.version ? ''
    : line.versionCurrent ? ` – ${line.version}` : ` – last version ${line.version} (not current)`;
  element.textContent = line.job ? `${port}${jobs[line.job] ?? 'in use'}`
    : line.open ? `${port}open${version}`
      : `${port}disconnected since ${timeOfDay(line.since)}${version}`;
  const retry = $('console-retry');
  retry.hidden = line.open || Boolean(line.job);
  retry.textContent = 'The service tries to open the line again every second.';
  status.console(line);
}

// The graphic the broadcast overlays have on air.
function showOverlay(show) {
  for (const button of document.querySelectorAll('#overlay-buttons button'))
    button.setAttribute('aria-pressed', String(button.dataset.show === show));
}

function setJob(job) {
  line.job = job;
  for (const id of ['upload', 'test', 'make-current']) $(id).disabled = Boolean(job);
  $('cancel').disabled = !job;
  if (!job) $('progress-box').hidden = true;
  showConsole();
}

// "Sending packet 2 of 5", with a bar.
function showProgress(sent, total) {
  const bar = $('progress');
  bar.max = total;
  bar.value = sent;
  setText('progress-text', `Sending packet ${sent} of ${total}`);
  $('progress-box').hidden = false;
}

async function loadMeet() {
  const { status, body } = await api('/api/meet');
  if (status !== 200) return;
  setText('meet-name', body.meetName || body.meetId);
  Object.assign(line, body.console);
  showConsole();
  showOverlay(body.overlay);
  setText('current-event', body.currentEvent ?? 'none');
  const select = $('event');
  const chosen = select.value || body.currentEvent;
  select.replaceChildren(...body.events.map((event) => {
    const option = el('option', null, `${event.eventId} – ${event.eventName}`);
    option.value = event.eventId;
    return option;
  }));
  if (chosen) select.value = chosen;
}

// Asks for the token once; null when the operator cancels.
function askToken() {
  const dialog = $('token-dialog');
  const input = $('token');
  input.value = '';
  return new Promise((resolve) => {
    const done = (value) => {
      dialog.close();
      resolve(value);
    };
    $('token-ok').onclick = () => done(input.value.trim() || null);
    $('token-cancel').onclick = () => done(null);
    input.onkeydown = (event) => {
      if (event.key === 'Enter') done(input.value.trim() || null);
    };
    dialog.showModal();
  });
}

// A request that changes something; asks for the token when the service wants one.
async function send(method, path, body) {
  let token = sessionStorage.getItem(TokenKey);
  for (;;) {
    const reply = await api(path, { method, body, token });
    if (reply.status !== 401) return reply;
    sessionStorage.removeItem(TokenKey);
    token = await askToken();
    if (!token) return reply;
    sessionStorage.setItem(TokenKey, token);
  }
}

async function startJob(job, path, body) {
  $('messages').replaceChildren();
  showOutcome('');
  showValidation();
  setJob(job);
  const reply = await send('POST', path, body);
  if (reply.status === 202) {
    // A quick job may have finished on the feed before this answer came.
    if (line.job) showOutcome('Running…');
    return;
  }
  setJob(null);
  showOutcome(reply.body?.error ?? `The service answered ${reply.status}`, 'refused');
}

$('upload').addEventListener('click', () => startJob(
  'upload', `/api/events/${encodeURIComponent($('event').value)}/upload`, { order: $('order').value },
));
$('test').addEventListener('click', () => startJob('test', '/api/connection-test', {}));
$('cancel').addEventListener('click', async () => {
  const reply = await send('POST', '/api/job/cancel', {});
  if (reply.status !== 200 && reply.status !== 409) {
    showOutcome(reply.body?.error ?? `The service answered ${reply.status}`, 'refused');
  }
});
for (const button of document.querySelectorAll('#overlay-buttons button')) {
  button.addEventListener('click', async () => {
    const reply = await send('PUT', '/api/overlay', { show: button.dataset.show });
    if (reply.status !== 200)
      showOutcome(reply.body?.error ?? `The service answered ${reply.status}`, 'refused');
  });
}
$('make-current').addEventListener('click', async () => {
  const reply = await send('PUT', '/api/current-event', { eventId: $('event').value });
  if (reply.status === 200) setText('current-event', reply.body.currentEvent);
  else showOutcome(reply.body?.error ?? `The service answered ${reply.status}`, 'refused');
});

openFeed({
  onMessage: (message) => {
    if (message.type === 'message') {
      if (!line.job) setJob(message.job); // started elsewhere
      addMessage(message.text);
    } else if (message.type === 'console') {
      const { open, since, answering, version, versionCurrent } = message;
      Object.assign(line, { open, since, answering, version, versionCurrent });
      showConsole();
    } else if (message.type === 'overlay') {
      showOverlay(message.show);
    } else if (message.type === 'error' || message.type === 'console-error') {
      addMessage(message.text);
    } else if (message.type === 'progress') {
      if (!line.job) setJob(message.job);
      showProgress(message.sent, message.total);
    } else if (message.type === 'finished') {
      setJob(null);
      showOutcome(outcomes[message.result] ?? message.result, message.result);
      showValidation(message.validation);
      loadMeet();
    }
  },
  onOpen: loadMeet,
  onState: (feedState) => status.feed(feedState),
});
