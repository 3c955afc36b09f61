"""The board, the overlay and the operator page against the real service."""
import base64
import csv
import io
import re
import sqlite3
import time

import pytest
from selenium.common.exceptions import NoAlertPresentException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

from conftest import (EVENT, TOKEN, add_event, diver, save_doc, screenshot, sheet_dive, viewport,
                      wait_until)

HOSTILE = '<img src=x onerror=alert(1)>'

# What the board shows, read the way a spectator reads it.
BOARD_TEXT = """
const text = (id) => document.getElementById(id).textContent;
const judged = document.getElementById('judged');
return {
  name: text('judged-name'), team: text('judged-team'), round: text('judged-round'),
  dive: text('judged-dive'), dd: text('judged-dd'),
  awards: [...document.querySelectorAll('[data-panel="dive"] [data-award]')].map((e) => e.textContent),
  discarded: [...document.querySelectorAll('[data-panel="dive"] [data-award]')]
      .flatMap((e, i) => e.hasAttribute('data-discarded') ? [i] : []),
  flags: [...document.querySelectorAll('#judged-flags span')].map((e) => e.textContent),
  placeBefore: text('judged-place-before'), progress: text('progress'),
  diveTotal: text('judged-dive-total'), total: text('judged-total'), rank: text('judged-rank'),
  standings: [...document.querySelectorAll('#standings .name')].map((e) => e.textContent),
  next: document.getElementById('next').hidden ? null
      : [text('next-name'), text('next-round'), text('next-dive'), text('next-dd')],
  shown: !judged.hidden,
};"""

def eventually_equal(read, expected, timeout=5.0):
    deadline = time.monotonic() + timeout
    while (value := read()) != expected and time.monotonic() < deadline:
        time.sleep(0.02)
    assert value == expected


def name_of(database, order):
    return diver(database, 99 + order)[0]  # E12's diving order d is RegID 99 + d


def by_id(driver, element_id):
    return driver.find_element(By.ID, element_id)


def feed_state(driver):
    return by_id(driver, 'feed').get_attribute('data-state')


def open_page(browser, service, path, width=1920, height=1080):
    viewport(browser, width, height)
    browser.get(service.url + path)
    wait_until(lambda: feed_state(browser) == 'live')
    return browser


@pytest.fixture(scope='module')
def board(browser, service):
    return open_page(browser, service, '/')


# A seven-judge panel: two highest and two lowest discarded (judges 2 and 7, 3 and 6), the three
# 7.0s kept, so the dive total is 21 x DD.
SEVEN = (7.0, 7.5, 6.5, 7.0, 7.0, 6.0, 8.0)
SEVEN_DISCARDED = [1, 2, 5, 6]


def test_board_shows_each_judged_dive(board, simulator, database, service):
    # Round 1's DDs fall with the diving order (2.0, 1.7, 1.5): each diver places behind the one
    # before, and no standings row moves.
    for order in (1, 2, 3):
        number, dd = sheet_dive(database, order, 1)
        total = round(21 * dd, 2)
        simulator.dive(1, order, total, total, number[:-1], number[-1], dd, SEVEN)
        next_number, next_dd = sheet_dive(database, order + 1, 1)
        name, team = diver(database, 99 + order)
        eventually_equal(lambda: board.execute_script(BOARD_TEXT), {
            'name': name, 'team': team, 'round': '1', 'dive': number, 'dd': f'{dd:.1f}',
            'awards': [f'{a:.1f}' for a in SEVEN], 'discarded': SEVEN_DISCARDED, 'flags': [],
            'diveTotal': f'{total:.2f}', 'total': f'{total:.2f}', 'rank': str(order),
            'placeBefore': '', 'progress': f'Round 1 of 6 · Diver {order} of 12',
            'standings': [name_of(database, o) for o in range(1, order + 1)],
            'next': [name_of(database, order + 1), '1', next_number, f'{next_dd:.1f}'],
            'shown': True})
        assert board.execute_script("return [...document.querySelectorAll('#standings td.change')]"
                                    ".map((e) => e.textContent)") == [''] * order
    # The QR code for phones is drawn by the service: an SVG from the same origin.
    assert board.execute_script("return document.querySelector('.phone img').naturalWidth") > 0
    screenshot(board, 'board-7-judges', scale=0.5)
    viewport(board, 390, 844, scale=2)
    screenshot(board, 'board-phone', scale=0.5)
    viewport(board, 1920, 1080)


@pytest.mark.parametrize('order, change, shown', [
    (4, ('UPDATE kavvix_divers SET DiverName = ? WHERE RegID = ?', (HOSTILE, 103)), HOSTILE),
    (7, ('DELETE FROM kavvix_divers WHERE RegID = ?', (106,)), 'Diver 106'),
])
def test_names_reach_the_board_as_text(board, simulator, database, order, change, shown):
    name, team = diver(database, 99 + order)
    with sqlite3.connect(database) as db:
        db.execute(*change)
    simulator.dive(1, order, 40.0, 40.0)
    wait_until(lambda: by_id(board, 'judged-name').text == shown)
    assert shown in board.execute_script(BOARD_TEXT)['standings']
    assert board.execute_script("return document.querySelectorAll('img:not([src=\"/qr.svg\"])').length") == 0
    with pytest.raises(NoAlertPresentException):
        board.switch_to.alert
    with sqlite3.connect(database) as db:
        db.execute('INSERT OR REPLACE INTO kavvix_divers VALUES (?, ?, ?, ?)',
                   ('RIV26', 99 + order, name, team))


def test_pages_forbid_inline_scripts_and_other_origins(service):
    for path, kind in (('/', 'html'), ('/overlay', 'html'), ('/operator', 'html'),
                       ('/pages/board.js', 'javascript'), ('/pages/board.css', 'css')):
        _, headers, _ = service.request('GET', path, token=None)
        assert headers['Content-Type'].startswith('text/' + kind), path
        policy = headers['Content-Security-Policy']
        assert "script-src 'self'" in policy and "default-src 'none'" in policy
        assert 'unsafe-inline' not in policy and 'http' not in policy


def test_board_reconnects_and_catches_up(board, service, simulator, database):
    service.stop()
    wait_until(lambda: feed_state(board) == 'offline')
    # Offline, the board cannot come back before the dives are stored: it can only learn of
    # them from the API.
    conditions = {'offline': True, 'latency': 0, 'downloadThroughput': -1, 'uploadThroughput': -1}
    board.execute_cdp_cmd('Network.enable', {})
    board.execute_cdp_cmd('Network.emulateNetworkConditions', conditions)
    service.start()
    simulator.dive(1, 5, 48.0, 48.0)
    simulator.dive(1, 6, 66.0, 66.0)
    service.log.wait_for('order 6: stored')
    board.execute_cdp_cmd('Network.emulateNetworkConditions', {**conditions, 'offline': False})
    wait_until(lambda: by_id(board, 'judged-total').text == '66.00')
    standings = board.execute_script(BOARD_TEXT)['standings']
    assert standings[0] == name_of(database, 6) and name_of(database, 5) in standings
    log = service.log.snapshot()
    stored = next(i for i, line in enumerate(log) if 'order 6: stored' in line)
    assert all(i > stored for i, line in enumerate(log) if 'WS /live 101' in line)


def test_overlay_is_transparent_and_clears_after_the_hold(browser, service, simulator):
    hold = 2
    clients = service.log.count('WS /live 101')
    browser.get(f'{service.url}/overlay?hold={hold}')
    service.log.wait_for('WS /live 101', clients + 1)
    backgrounds = browser.execute_script(
        'return [document.documentElement, document.body].map('
        '(e) => getComputedStyle(e).backgroundColor)')
    assert backgrounds == ['rgba(0, 0, 0, 0)'] * 2
    browser.execute_script("""
        const third = document.getElementById('third');
        window.times = {};
        new MutationObserver(() => { window.times[third.hidden ? 'cleared' : 'shown'] = Date.now(); })
            .observe(third, { attributes: true, attributeFilter: ['hidden'] });""")
    simulator.dive(2, 1, 101.4, 51.0)
    wait_until(lambda: by_id(browser, 'total').text == '101.40')
    times = wait_until(lambda: (t := browser.execute_script('return window.times')).get(
        'cleared') and t, timeout=hold + 3)
    assert hold * 1000 - 100 <= times['cleared'] - times['shown'] <= hold * 1000 + 500


def messages(driver):
    """The operator page's messages, without their times."""
    lines = [li.text for li in driver.find_elements(By.CSS_SELECTOR, '#messages li')]
    assert all(re.match(r'\d\d:\d\d:\d\d ', line) for line in lines)
    return [line[9:] for line in lines]


def upload(browser, progress=None):
    """Starts an upload from the operator page: its outcome, or the page once progress shows."""
    by_id(browser, 'upload').click()
    if progress:
        return wait_until(lambda: by_id(browser, 'progress-text').text == progress)
    return wait_until(lambda: by_id(browser, 'outcome').get_attribute('data-result'), timeout=15)


def test_operator_uploads_and_shows_a_rejection(browser, service, simulator):
    open_page(browser, service, '/operator', 1280, 800)
    wait_until(lambda: browser.find_elements(By.CSS_SELECTOR, '#event option'))
    Select(by_id(browser, 'event')).select_by_value(EVENT)
    Select(by_id(browser, 'order')).select_by_visible_text('B')
    # A slow console, so that the upload can be seen under way. The service has a token: the
    # page asks for it, once.
    simulator.command(lineRate=300)
    by_id(browser, 'upload').click()
    wait_until(lambda: by_id(browser, 'token-dialog').get_attribute('open'))
    by_id(browser, 'token').send_keys(TOKEN)
    by_id(browser, 'token-ok').click()
    wait_until(lambda: by_id(browser, 'progress-text').text == 'Sending packet 2 of 3')
    assert by_id(browser, 'cancel').is_enabled()
    screenshot(browser, 'operator-upload')
    assert wait_until(lambda: by_id(browser, 'outcome').get_attribute('data-result'),
                      timeout=15) == 'sent'
    simulator.command(lineRate=0)
    assert messages(browser)[-1] == 'All data has been sent'

    simulator.command(rejectNext='02')
    assert upload(browser) == 'rejected'
    assert by_id(browser, 'token-dialog').get_attribute('open') is None
    assert not by_id(browser, 'progress-box').is_displayed()

    # Cancelled from the page while the first frame awaits its answer.
    simulator.command(lineRate=300)
    upload(browser, progress='Sending packet 1 of 3')
    by_id(browser, 'cancel').click()
    assert wait_until(lambda: by_id(browser, 'outcome').get_attribute('data-result'),
                      timeout=15) == 'aborted'
    simulator.command(lineRate=0)

    # An event that fails its checks: the lines as the dialog writes them, and who is at fault.
    Select(by_id(browser, 'event')).select_by_value('EDD')
    upload(browser)
    assert messages(browser)[-1] == '>> Process Aborted <<'
    assert [li.text for li in browser.find_elements(By.CSS_SELECTOR, '#validation li')] == \
        ['DD zero or missing: diving order 3 (RegID 902) round 3']

    # The director's buttons take a graphic on air on every overlay, and say which is.
    for show in ('standings', 'dive'):
        button = f'#overlay-buttons [data-show="{show}"]'
        browser.find_element(By.CSS_SELECTOR, button).click()
        wait_until(lambda: browser.find_element(By.CSS_SELECTOR, button).get_attribute(
            'aria-pressed') == 'true')
        assert service.json('/api/meet')['overlay'] == show


def judged_total(browser):
    return by_id(browser, 'judged-total').text


# round 3 of E12's seven-judge panel: awards, DD, dive total, flags sent, what the board shows
# (discarded tiles, words). Each row is the same diver's dive sent again: a correction.
AWARDS = [
    ('agrees', (8.0, 7.5, 7.0, 6.5, 6.0, 8.5, 9.0), 3.0, 67.5, {}, [3, 4, 5, 6], []),
    ('penalty', (8.0, 7.5, 7.0, 6.5, 6.0, 8.5, 9.0), 3.0, 60.0, {}, [], ['Corrected']),
    ('failed', (0,) * 7, 3.0, 0.0, {'failed': 'F'}, [], ['Failed dive', 'Corrected']),
    ('balk', (5.0, 5.5, 5.0, 5.0, 4.5, 5.0, 5.0), 3.0, 45.0, {'balked': 'B'}, [0, 1, 4, 6],
     ['Balk', 'Corrected']),
]


@pytest.mark.parametrize('case, awards, dd, dive_total, flags, discarded, words', AWARDS,
                         ids=[row[0] for row in AWARDS])
def test_board_marks_discarded_awards_only_when_they_give_the_total(
        browser, service, simulator, case, awards, dd, dive_total, flags, discarded, words):
    if browser.current_url != service.url + '/':
        open_page(browser, service, '/')
    total = 101.4 + dive_total  # after round 2's 101.40
    simulator.dive(3, 1, total, dive_total, dd=dd, awards=awards, **flags)
    shown = wait_until(lambda: (b := browser.execute_script(BOARD_TEXT))['total'] == f'{total:.2f}'
                       and b['flags'] == words and b)
    assert shown['awards'] == [f'{a:.1f}' for a in awards]  # seven tiles, failed or not
    assert shown['discarded'] == discarded
    assert shown['flags'] == words


def test_board_shows_a_five_judge_panel(browser, service, simulator):
    open_page(browser, service, '/')
    assert service.request('PUT', '/api/current-event', {'eventId': 'E10'})[0] == 200
    simulator.dive(1, 1, 42.0, 42.0, dd=2.0, awards=(6.5, 7.0, 7.5, 6.0, 8.0))
    wait_until(lambda: by_id(browser, 'event-name').text == '3m Springboard - Women'
               and judged_total(browser) == '42.00')
    shown = browser.execute_script(BOARD_TEXT)
    assert shown['awards'] == ['6.5', '7.0', '7.5', '6.0', '8.0'] and shown['discarded'] == [3, 4]
    assert shown['progress'] == 'Round 1 of 5 · Diver 1 of 10'
    screenshot(browser, 'board-5-judges', scale=0.5)


def inside_viewport(browser, selector):
    """Whether every element the selector finds is wholly inside the window."""
    return browser.execute_script("""
        return [...document.querySelectorAll(arguments[0])].every((e) => {
          const r = e.getBoundingClientRect();
          return r.top >= 0 && r.left >= 0 && r.bottom <= innerHeight && r.right <= innerWidth;
        });""", selector)


def test_forty_divers_fit_a_1920x1080_board(browser, service, simulator, database):
    add_event(database, 'E40', '1m Springboard - Open', 40, 3, 4000)
    assert service.request('PUT', '/api/current-event', {'eventId': 'E40'})[0] == 200
    open_page(browser, service, '/?event=E40')
    for order in range(1, 41):
        simulator.dive(1, order, 30 + order * 0.5, 30 + order * 0.5, dd=2.4,
                       awards=(6.5, 7.0, 7.0, 6.5, 7.5, 7.0, 6.5))
    wait_until(lambda: judged_total(browser) == '50.00')
    assert browser.execute_script('return document.documentElement.scrollHeight') <= 1080
    for panel in ('dive', 'next', 'standings'):
        assert inside_viewport(browser, f'[data-panel="{panel}"]'), panel
    assert inside_viewport(browser, '#standings tr')
    rows = len(browser.find_elements(By.CSS_SELECTOR, '#standings tbody tr'))
    sign = by_id(browser, 'standings-page').get_attribute('textContent')
    assert rows == 40 or re.fullmatch(r'Page 1 of \d', sign), (rows, sign)
    assert browser.execute_script(BOARD_TEXT)['progress'] == 'Round 1 of 3 · Diver 40 of 40'
    screenshot(browser, 'board-40-divers', scale=0.5)
    assert service.request('PUT', '/api/current-event', {'eventId': EVENT})[0] == 200


def test_results_sheet_prints_and_downloads(browser, service):
    open_page(browser, service, f'/results?event={EVENT}', 1280, 900)
    stored = service.json(f'/api/events/{EVENT}/results')
    standings = service.json(f'/api/events/{EVENT}/standings')
    wait_until(lambda: len(browser.find_elements(By.CSS_SELECTOR, 'tr.dive')) == len(stored))
    order = browser.execute_script(
        "return [...document.querySelectorAll('tbody.diver')].map((b) => b.id)")
    assert order == [f'diver-{entry["DivingOrder"]}' for entry in standings]
    # Each round's dive with its awards, the discarded ones marked as on the board.
    marked = browser.execute_script(
        "return [...document.querySelectorAll('tr.dive')].map((r) => "
        "r.querySelectorAll('[data-discarded]').length)")
    assert sorted(marked) == sorted(sum(a['discarded'] for a in d['awards']) for d in stored)
    # A parent sees when their diver is up again.
    again = browser.execute_script(
        "return [...document.querySelectorAll('tbody.diver')].map((b) => "
        "b.querySelector('tr.next')?.textContent ?? null)")
    assert again == [None if (n := e['divesBefore']) is None else 'Dives next' if n == 0 else
                     f'Dives again in round {e["nextRound"]}, after {n} more dive' + 's' * (n > 1)
                     for e in standings]
    screenshot(browser, 'results-page', scale=0.75)

    browser.execute_cdp_cmd('Emulation.setEmulatedMedia', {'media': 'print'})
    viewport(browser, 794, 1123)
    screenshot(browser, 'results-print-preview', scale=1)
    browser.execute_cdp_cmd('Emulation.setEmulatedMedia', {'media': ''})
    pdf = base64.b64decode(browser.execute_cdp_cmd('Page.printToPDF', {
        'preferCSSPageSize': True, 'printBackground': True})['data'])
    assert pdf.startswith(b'%PDF')
    box = re.search(rb'/MediaBox \[0 0 ([\d.]+) ([\d.]+)\]', pdf)
    assert abs(float(box[1]) - 595.3) < 2 and abs(float(box[2]) - 841.9) < 2  # A4 portrait
    save_doc(f'results-{EVENT}.pdf', pdf)

    status, headers, text = service.request('GET', f'/api/events/{EVENT}/results.csv')
    assert status == 200 and headers['Content-Type'].startswith('text/csv')
    rows = list(csv.reader(io.StringIO(text, newline='')))
    assert rows[0] == ['meet', 'event', 'round', 'diving order', 'RegID', 'diver', 'team', 'dive',
                       'position', 'DD', 'awards', 'dive total', 'total', 'revision',
                       'received at']
    assert len(rows) == len(stored) + 1
    by_key = {(r[2], r[3]): r for r in rows[1:]}
    for dive in stored:
        row = by_key[(str(dive['DiveRound']), str(dive['DivingOrder']))]
        assert row[5] == (dive['diverName'] or '') and row[11] == f'{dive["DiveTotal"]:.2f}'
        assert row[10].split(' ') == [f'{a["award"]:.1f}' for a in dive['awards']]
    assert text.count('\r\n') == len(rows)


def test_meet_page_picks_an_event_and_finds_a_diver(browser, service):
    open_page(browser, service, '/meet', 390, 844)
    viewport(browser, 390, 844, scale=2)
    states = wait_until(lambda: browser.execute_script(
        "return Object.fromEntries([...document.querySelectorAll('#events li')].map("
        "(e) => [e.dataset.event, e.querySelector('.state').textContent]))") or None)
    assert states['E12'].startswith('In progress – round ') and states['E25'] == 'Not started'
    browser.find_element(By.ID, 'search').send_keys('ostergard')  # no accents needed
    found = wait_until(lambda: browser.find_elements(By.CSS_SELECTOR, '#found a'))
    assert [a.text for a in found] == ['Ingrid Østergård']
    assert found[0].get_attribute('href').endswith(f'/results?event={EVENT}#diver-9')
    screenshot(browser, 'meet-phone', scale=0.5)


GRAPHIC = """
return Object.fromEntries(['dive', 'standings', 'next'].map((p) => {
  const e = document.querySelector(`[data-panel="${p}"]`);
  return [p, !e.hidden && !e.classList.contains('leaving')];
}));"""


def test_overlays_scale_key_and_follow_the_director(browser, service, simulator):
    tabs = {}
    for name, path in (('hd', '/overlay?hold=600'), ('uhd', '/overlay?hold=600&key=00b140')):
        browser.switch_to.new_window('tab')
        tabs[name] = browser.current_window_handle
        browser.get(service.url + path)
        wait_until(lambda: feed_state(browser) == 'live')
    browser.switch_to.new_window('tab')
    tabs['board'] = browser.current_window_handle
    open_page(browser, service, '/')
    time.sleep(0.3)  # the pages' own requests on loading are answered

    # Boards and overlays take every dive from the feed alone: not one API request per dive.
    requests = service.api_requests()
    for order in (8, 9, 10):
        simulator.dive(2, order, 60 + order, 60 + order)
    for handle in tabs.values():
        browser.switch_to.window(handle)
        wait_until(lambda: by_id(browser, 'judged-total' if handle == tabs['board'] else
                                 'total').text == '70.00')
    assert service.api_requests() == requests

    for handle, size in ((tabs['hd'], (1280, 720)), (tabs['uhd'], (3840, 2160))):
        browser.switch_to.window(handle)
        viewport(browser, *size)
        # Measured once the slide in has ended (a tab in the background starts it late).
        inside = wait_until(lambda: (r := browser.execute_script("""
            const r = document.querySelector('[data-panel="dive"]').getBoundingClientRect();
            return [r.left / innerWidth, r.top / innerHeight, r.right / innerWidth, r.bottom / innerHeight];"""))
            and r[0] >= 0.099 and r[1] >= 0.099 and r[2] <= 0.901 and r[3] <= 0.901 and r, timeout=3)
        assert inside[3] > 0.85, (size, inside)  # a lower third
    browser.switch_to.window(tabs['uhd'])
    assert browser.execute_script(
        'return getComputedStyle(document.documentElement).backgroundColor') == 'rgb(0, 177, 64)'
    assert browser.execute_script("""
        return getComputedStyle(document.querySelector('[data-panel="dive"]')).transitionDuration
            .split(',').every((d) => parseFloat(d) <= 0.5)""")

    for show in ('standings', 'next', 'none', 'dive'):
        status, _, text = service.request('PUT', '/api/overlay', {'show': show})
        assert status == 200, text
        for name in ('hd', 'uhd'):
            browser.switch_to.window(tabs[name])
            eventually_equal(lambda: browser.execute_script(GRAPHIC),
                             {p: p == show for p in ('dive', 'standings', 'next')})
        if show != 'none':
            browser.switch_to.window(tabs['hd'])
            viewport(browser, 1920, 1080)
            time.sleep(0.4)
            browser.execute_script("document.documentElement.style.background = "
                                   "'repeating-conic-gradient(#bbb 0 25%, #fff 0 50%) 0 0 / 40px 40px'")
            screenshot(browser, f'overlay-{show}', scale=0.5)
            browser.execute_script("document.documentElement.style.background = ''")
            viewport(browser, 1280, 720)
    assert service.request('PUT', '/api/overlay', {'show': 'everything'})[0] == 400
    assert service.request('PUT', '/api/overlay', {'show': 'none'}, token=None)[0] == 401
    assert service.json('/api/meet')['overlay'] == 'dive'
    for handle in list(tabs.values()):
        browser.switch_to.window(handle)
        browser.close()
    browser.switch_to.window(browser.window_handles[0])


def test_pages_say_when_the_console_is_disconnected(browser, service, simulator):
    open_page(browser, service, '/operator', 1280, 800)
    simulator.stop()  # the console's cable pulled
    meet = wait_until(lambda: (m := service.json('/api/meet'))['console']['open'] is False and m)
    assert meet['console']['answering'] is False and meet['console']['since'].endswith('Z')
    assert meet['console']['version'] and meet['console']['versionCurrent'] is False
    assert meet['console']['name'] == simulator.link  # as the service was given it
    wait_until(lambda: by_id(browser, 'feed').text.startswith('Console disconnected since '))
    state = by_id(browser, 'console-state').text
    assert state.startswith(simulator.link) and 'not current' in state
    assert 'again every second' in by_id(browser, 'console-retry').text
    screenshot(browser, 'operator-console-disconnected')
    browser.get(service.url + '/')
    wait_until(lambda: feed_state(browser) == 'console-down')
    simulator.plug()
    wait_until(lambda: by_id(browser, 'feed').text == 'Live')
    meet = wait_until(lambda: (m := service.json('/api/meet'))['console']['answering'] and m)
    assert meet['console']['open'] is True and meet['console']['versionCurrent'] is True
