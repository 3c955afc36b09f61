"""The board, the overlay and the operator page against the real service."""
import re
import sqlite3
import time
import urllib.request

import pytest
from selenium.common.exceptions import NoAlertPresentException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

from conftest import EVENT, TOKEN, diver, measured, screenshot, sheet_dive, viewport, wait_until

HOSTILE = '<img src=x onerror=alert(1)>'

# What the board shows, read the way a spectator reads it.
BOARD_TEXT = """
const text = (id) => document.getElementById(id).textContent;
const judged = document.getElementById('judged');
return {
  name: text('judged-name'), team: text('judged-team'), round: text('judged-round'),
  dive: text('judged-dive'), dd: text('judged-dd'),
  awards: [...document.querySelectorAll('#judged-awards li')].map((li) => li.textContent),
  diveTotal: text('judged-dive-total'), total: text('judged-total'), rank: text('judged-rank'),
  standings: [...document.querySelectorAll('#standings .name')].map((e) => e.textContent),
  next: document.getElementById('next').hidden ? null
      : [text('next-name'), text('next-round'), text('next-dive'), text('next-dd')],
  shown: !judged.hidden,
};
"""

# Notes the wall-clock time at which the board first shows the dive with its total and rank.
WATCH_BOARD = """
const [total, rank] = arguments;
window.boardWatch?.disconnect();
window.shownAt = null;
const text = (id) => document.getElementById(id).textContent;
const check = () => {
  if (!window.shownAt && text('judged-total') === total && text('judged-rank') === rank)
    window.shownAt = Date.now();
};
window.boardWatch = new MutationObserver(check);
window.boardWatch.observe(document.body, { subtree: true, childList: true, characterData: true });
"""


def eventually_equal(read, expected, timeout=5.0):
    deadline = time.monotonic() + timeout
    while (value := read()) != expected and time.monotonic() < deadline:
        time.sleep(0.02)
    assert value == expected


def name_of(database, order):
    return diver(database, 99 + order)[0]  # E12's diving order d is RegID 99 + d


@pytest.fixture(scope='module')
def board(browser, service):
    viewport(browser, 1920, 1080)
    browser.get(service.url + '/')
    wait_until(lambda: browser.find_element(By.ID, 'feed').get_attribute('data-state') == 'live')
    return browser


# round, diving order, dive total, total, the standings after it (diving orders, best first)
JUDGED = [
    (1, 1, 50.4, 50.4, [1]),
    (1, 2, 61.2, 61.2, [2, 1]),  # a better total re-ranks the standings
    (1, 3, 55.5, 55.5, [2, 3, 1]),
]


def test_board_shows_each_judged_dive_within_a_second(board, simulator, database):
    latencies = []
    for round, order, dive_total, total, ranked in JUDGED:
        number, dd = sheet_dive(database, order, round)
        awards = (7.0, 7.5, 6.5, 7.0, 7.0, 6.0, 8.0, 0, 0.5 * order)
        rank = str(ranked.index(order) + 1)
        board.execute_script(WATCH_BOARD, f'{total:.2f}', rank)
        sent = simulator.dive(round, order, total, dive_total, number[:-1], number[-1], dd, awards)
        next_number, next_dd = sheet_dive(database, order + 1, round)
        name, team = diver(database, 99 + order)
        eventually_equal(lambda: board.execute_script(BOARD_TEXT), {
            'name': name, 'team': team, 'round': str(round), 'dive': number, 'dd': f'{dd:.1f}',
            'awards': [f'{a:.1f}' for a in awards], 'diveTotal': f'{dive_total:.2f}',
            'total': f'{total:.2f}', 'rank': rank,
            'standings': [name_of(database, o) for o in ranked],
            'next': [name_of(database, order + 1), str(round), next_number, f'{next_dd:.1f}'],
            'shown': True})
        latencies.append(board.execute_script('return window.shownAt') - sent)
    measured['frame to board (ms)'] = ', '.join(f'{ms:.0f}' for ms in latencies)
    assert max(latencies) < 1000
    screenshot(board, 'board-1920x1080', scale=0.5)
    viewport(board, 390, 844, scale=2)
    screenshot(board, 'board-phone', scale=0.5)
    viewport(board, 1920, 1080)


@pytest.mark.parametrize('order, change, shown', [
    (4, ('UPDATE kavvix_divers SET DiverName = ? WHERE RegID = ?', (HOSTILE, 103)), HOSTILE),
    (7, ('DELETE FROM kavvix_divers WHERE RegID = ?', (106,)), 'Diver 106'),
])
def test_names_reach_the_board_as_text(board, simulator, database, order, change, shown):
    with sqlite3.connect(database) as db:
        db.execute(*change)
    simulator.dive(1, order, 40.0, 40.0)
    wait_until(lambda: board.find_element(By.ID, 'judged-name').text == shown)
    assert shown in board.execute_script(BOARD_TEXT)['standings']
    assert board.execute_script("return document.querySelectorAll('main img').length") == 0
    with pytest.raises(NoAlertPresentException):
        board.switch_to.alert


@pytest.mark.parametrize('path, content_type', [
    ('/', 'text/html'),
    ('/overlay', 'text/html'),
    ('/operator', 'text/html'),
    ('/pages/board.js', 'text/javascript'),
    ('/pages/board.css', 'text/css'),
])
def test_pages_forbid_inline_scripts_and_other_origins(service, path, content_type):
    with urllib.request.urlopen(service.url + path) as reply:
        assert reply.headers['Content-Type'].startswith(content_type)
        policy = reply.headers['Content-Security-Policy']
    assert "script-src 'self'" in policy and "default-src 'none'" in policy
    assert 'unsafe-inline' not in policy and 'http' not in policy


def test_board_reconnects_and_catches_up(board, service, simulator, database):
    service.stop()
    wait_until(lambda: board.find_element(By.ID, 'feed').get_attribute('data-state') == 'offline')
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
    wait_until(lambda: board.find_element(By.ID, 'judged-total').text == '66.00', timeout=10)
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
    wait_until(lambda: browser.find_element(By.ID, 'total').text == '101.40')
    # A checkerboard behind it, as a mixer shows what is see-through.
    browser.execute_script("document.documentElement.style.background = "
                           "'repeating-conic-gradient(#bbb 0 25%, #fff 0 50%) 0 0 / 40px 40px'")
    screenshot(browser, 'overlay-checkerboard', scale=0.5)
    times = wait_until(lambda: (t := browser.execute_script('return window.times')).get(
        'cleared') and t, timeout=hold + 3)
    assert hold * 1000 - 100 <= times['cleared'] - times['shown'] <= hold * 1000 + 500


def messages(driver):
    return [li.text for li in driver.find_elements(By.CSS_SELECTOR, '#messages li')]


def test_operator_uploads_and_shows_a_rejection(browser, service, simulator):
    browser.get(service.url + '/operator')
    viewport(browser, 1280, 800)
    wait_until(lambda: browser.find_elements(By.CSS_SELECTOR, '#event option'))
    Select(browser.find_element(By.ID, 'event')).select_by_value(EVENT)
    Select(browser.find_element(By.ID, 'order')).select_by_visible_text('B')
    # A slow console, so that the upload can be seen under way.
    simulator.command(lineRate=300)
    browser.find_element(By.ID, 'upload').click()
    # The service has a token: the page asks for it, once.
    wait_until(lambda: browser.find_element(By.ID, 'token-dialog').get_attribute('open'))
    browser.find_element(By.ID, 'token').send_keys(TOKEN)
    browser.find_element(By.ID, 'token-ok').click()
    wait_until(lambda: any(m.endswith('Sending packet 2') for m in messages(browser)))
    wait_until(lambda: browser.find_element(By.ID, 'progress-text').text ==
               'Sending packet 2 of 3')
    assert browser.find_element(By.ID, 'cancel').is_enabled()
    screenshot(browser, 'operator-upload')
    wait_until(lambda: browser.find_element(By.ID, 'outcome').get_attribute('data-result'),
               timeout=15)
    simulator.command(lineRate=0)
    lines = messages(browser)
    assert [line[9:] for line in lines][-1] == 'All data has been sent'
    assert all(re.match(r'\d\d:\d\d:\d\d ', line) for line in lines)
    assert browser.find_element(By.ID, 'outcome').get_attribute('data-result') == 'sent'

    simulator.command(rejectNext='02')
    browser.find_element(By.ID, 'upload').click()
    wait_until(lambda: browser.find_element(By.ID, 'outcome').get_attribute('data-result'),
               timeout=15)
    assert browser.find_element(By.ID, 'token-dialog').get_attribute('open') is None
    assert messages(browser)[-1][9:] == 'Communications ERROR: Checksum Error'
    assert browser.find_element(By.ID, 'outcome').get_attribute('data-result') == 'rejected'
    assert not browser.find_element(By.ID, 'progress-box').is_displayed()

    # Cancelled from the page while the first frame awaits its answer.
    simulator.command(lineRate=300)
    browser.find_element(By.ID, 'upload').click()
    wait_until(lambda: browser.find_element(By.ID, 'progress-text').text ==
               'Sending packet 1 of 3')
    browser.find_element(By.ID, 'cancel').click()
    wait_until(lambda: browser.find_element(By.ID, 'outcome').get_attribute('data-result'),
               timeout=15)
    simulator.command(lineRate=0)
    assert browser.find_element(By.ID, 'outcome').get_attribute('data-result') == 'aborted'
    assert messages(browser)[-1][9:] == 'Process aborted - upload cancelled'
