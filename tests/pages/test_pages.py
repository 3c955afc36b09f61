"""The board, the overlay and the operator page against the real service."""
import base64
import json
import re
import sqlite3
import time

import pytest
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

from conftest import (EVENT, TOKEN, add_forty_divers, planned, save_doc, screenshot, viewport,
                      wait_until)

HOSTILE = '<img src=x onerror=alert(1)>'

# What the board shows, read the way a spectator reads it.
BOARD_TEXT = """
const text = (id) => document.getElementById(id).textContent;
const all = (selector) => [...document.querySelectorAll(selector)];
const awards = all('[data-panel="dive"] [data-award]');
return {
  name: text('judged-name'), team: text('judged-team'), round: text('judged-round'),
  dive: text('judged-dive'), dd: text('judged-dd'), awards: awards.map((e) => e.textContent),
  discarded: awards.flatMap((e, i) => e.hasAttribute('data-discarded') ? [i] : []),
  flags: all('#judged-flags span').map((e) => e.textContent), progress: text('progress'),
  diveTotal: text('judged-dive-total'), total: text('judged-total'), rank: text('judged-rank'),
  standings: all('#standings .name').map((e) => e.textContent),
  next: document.getElementById('next').hidden ? null
      : [text('next-name'), text('next-round'), text('next-dive'), text('next-dd')],
};"""


def by_id(driver, element_id):
    return driver.find_element(By.ID, element_id)


def feed_state(driver):
    return by_id(driver, 'feed').get_attribute('data-state')


def open_page(browser, service, path, width=1920, height=1080, scale=1):
    viewport(browser, width, height, scale)
    browser.get(service.url + path)
    wait_until(lambda: feed_state(browser) == 'live')
    return browser


def board_shows(browser, total):
    """What the board shows once its running total reads TOTAL."""
    return wait_until(lambda: (b := browser.execute_script(BOARD_TEXT))['total'] == total and b)


def test_board_shows_each_judged_dive(browser, service, simulator):
    # A seven-judge panel whose three kept 7.0s give the dive total: the two highest and the two
    # lowest are struck. Round 1's DDs fall with the diving order, so each diver places behind
    # the one before.
    seven = (7.0, 7.5, 6.5, 7.0, 7.0, 6.0, 8.0)
    board = open_page(browser, service, '/')
    for order in (1, 2, 3):
        number, dd, name, team = planned(service.database, order)
        total = round(21 * dd, 2)
        simulator.dive(1, order, total, total, number[:-1], number[-1], dd, seven)
        next_number, next_dd, next_name, _ = planned(service.database, order + 1)
        assert board_shows(board, f'{total:.2f}') == {
            'name': name, 'team': team, 'round': '1', 'dive': number, 'dd': f'{dd:.1f}',
            'awards': [f'{a:.1f}' for a in seven], 'discarded': [1, 2, 5, 6], 'flags': [],
            'diveTotal': f'{total:.2f}', 'total': f'{total:.2f}', 'rank': str(order),
            'progress': f'Round 1 of 6 · Diver {order} of 12',
            'standings': [planned(service.database, o)[2] for o in range(1, order + 1)],
            'next': [next_name, '1', next_number, f'{next_dd:.1f}']}
    # The QR code for phones is drawn by the service: an SVG from the same origin. No inline
    # script runs on any page: every page file is sent with the same policy.
    assert board.execute_script("return document.querySelector('.phone img').naturalWidth") > 0
    assert service.request('GET', '/')[1]['Content-Security-Policy'] == (
        "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
        "connect-src 'self'; base-uri 'none'; form-action 'none'")
    screenshot(board, 'board-7-judges', scale=0.5)
    viewport(board, 390, 844, scale=2)
    screenshot(board, 'board-phone', scale=0.5)


def test_board_reconnects_and_catches_up(browser, service, simulator):
    service.stop()  # under the board the test before opened
    wait_until(lambda: feed_state(browser) == 'offline')
    # Offline, the board cannot come back before the dives are stored: it can only learn of
    # them from the API.
    conditions = {'offline': True, 'latency': 0, 'downloadThroughput': -1, 'uploadThroughput': -1}
    browser.execute_cdp_cmd('Network.enable', {})
    browser.execute_cdp_cmd('Network.emulateNetworkConditions', conditions)
    service.start()
    simulator.dive(1, 5, 48.0, 48.0)
    simulator.dive(1, 6, 66.0, 66.0)
    service.log.wait_for('order 6: stored')
    browser.execute_cdp_cmd('Network.emulateNetworkConditions', {**conditions, 'offline': False})
    assert board_shows(browser, '66.00')['standings'][0] == planned(service.database, 6)[2]


def outcome(browser):
    return wait_until(lambda: by_id(browser, 'outcome').get_attribute('data-result'), timeout=15)


def test_operator_uploads_cancels_and_shows_who_is_at_fault(browser, service, simulator):
    open_page(browser, service, '/operator', 1280, 800)
    wait_until(lambda: browser.find_elements(By.CSS_SELECTOR, '#event option'))  # E12, current
    Select(by_id(browser, 'order')).select_by_visible_text('B')
    # A slow console, so that the upload can be seen under way. The service has a token: the
    # page asks for it, once.
    simulator.command(lineRate=300)
    by_id(browser, 'upload').click()
    wait_until(lambda: by_id(browser, 'token-dialog').get_attribute('open'))
    by_id(browser, 'token').send_keys(TOKEN)
    by_id(browser, 'token-ok').click()
    wait_until(lambda: by_id(browser, 'progress-text').text == 'Sending packet 2 of 3')
    screenshot(browser, 'operator-upload')
    by_id(browser, 'cancel').click()
    assert outcome(browser) == 'aborted'
    simulator.command(lineRate=0)
    by_id(browser, 'upload').click()
    assert outcome(browser) == 'sent'
    assert by_id(browser, 'token-dialog').get_attribute('open') is None  # asked once
    last_message = "return document.querySelector('#messages li:last-child').textContent"
    assert browser.execute_script(last_message).endswith(' All data has been sent')

    # An event that fails its checks: the lines as the dialog writes them, and who is at fault.
    Select(by_id(browser, 'event')).select_by_value('EDD')
    by_id(browser, 'upload').click()
    assert outcome(browser) == 'validation-failed'
    assert browser.execute_script(last_message).endswith(' >> Process Aborted <<')
    assert [li.text for li in browser.find_elements(By.CSS_SELECTOR, '#validation li')] == \
        ['DD zero or missing: diving order 3 (RegID 902) round 3']

    # The director's button takes a graphic on air on every overlay, and says which is.
    button = browser.find_element(By.CSS_SELECTOR, '#overlay-buttons [data-show="standings"]')
    button.click()
    wait_until(lambda: button.get_attribute('aria-pressed') == 'true')  # as the feed says


def test_board_words_flags_and_shows_five_judges_and_names_as_text(browser, service, simulator):
    # A dive, then the same dive again, failed and balked: nothing struck, the flags in words.
    open_page(browser, service, '/')
    simulator.dive(2, 1, 101.4, 51.0)
    simulator.dive(2, 1, 50.4, 0.0, awards=(0,) * 7, failed='F', balked='B')
    shown = board_shows(browser, '50.40')
    assert shown['awards'] == ['0.0'] * 7 and shown['discarded'] == []
    assert shown['flags'] == ['Failed dive', 'Balk', 'Corrected']
    # A five-judge event, whose divers have no names.
    assert service.request('PUT', '/api/current-event', {'eventId': 'E10'})[0] == 200
    simulator.dive(1, 1, 42.0, 42.0, dd=2.0, awards=(6.5, 7.0, 7.5, 6.0, 8.0))
    wait_until(lambda: by_id(browser, 'event-name').text == '3m Springboard - Women')
    shown = board_shows(browser, '42.00')
    assert shown['awards'] == ['6.5', '7.0', '7.5', '6.0', '8.0'] and shown['discarded'] == [3, 4]
    assert re.fullmatch(r'Diver \d+', shown['name'])
    screenshot(browser, 'board-5-judges', scale=0.5)
    # The diver named meanwhile, in markup: the board shows it as text.
    with sqlite3.connect(service.database) as db:
        db.execute("INSERT INTO kavvix_divers SELECT MeetID, RegID, ?, '' FROM tblDiveSheets "
                   "WHERE EventID = 'E10' AND DivingOrder = 1 LIMIT 1", (HOSTILE, ))
    simulator.dive(1, 1, 42.5, 42.5, dd=2.0, awards=(6.5, 7.0, 7.5, 6.0, 8.0))
    assert board_shows(browser, '42.50')['standings'] == [HOSTILE]
    assert by_id(browser, 'judged-name').text == HOSTILE
    assert browser.execute_script("return document.querySelectorAll('img').length") == 1  # the QR


def test_forty_divers_fit_a_1920x1080_board(browser, service, simulator):
    add_forty_divers(service.database)
    assert service.request('PUT', '/api/current-event', {'eventId': 'E40'})[0] == 200
    open_page(browser, service, '/?event=E40')
    for order in range(1, 41):
        simulator.dive(1, order, 30 + order * 0.5, 30 + order * 0.5)
    assert board_shows(browser, '50.00')['progress'] == 'Round 1 of 3 · Diver 40 of 40'
    # Nothing needs scrolling: every panel and standings row is wholly inside the window.
    assert browser.execute_script("""
        return [...document.querySelectorAll('[data-panel], #standings tr')].every((e) => {
          const r = e.getBoundingClientRect();
          return r.top >= 0 && r.left >= 0 && r.bottom <= innerHeight && r.right <= innerWidth;
        }) && document.documentElement.scrollHeight <= innerHeight""")
    # All forty standings rows, or a page of them that says so.
    assert len(browser.find_elements(By.CSS_SELECTOR, '#standings tbody tr')) == 40 or \
        re.fullmatch(r'Page 1 of \d', by_id(browser, 'standings-page').get_attribute('textContent'))
    screenshot(browser, 'board-40-divers', scale=0.5)
    assert service.request('PUT', '/api/current-event', {'eventId': EVENT})[0] == 200


def test_results_sheet_prints_and_downloads(browser, service):
    open_page(browser, service, f'/results?event={EVENT}', 1280, 900)
    status, headers, text = service.request('GET', f'/api/events/{EVENT}/results.csv')
    assert status == 200 and headers['Content-Type'].startswith('text/csv')
    assert text.startswith('meet,event,round,diving order,RegID,diver,team,dive,position,DD,'
                           'awards,dive total,total,revision,received at\r\n')
    dives = text.count('\r\n') - 1  # a row per dive, each ending as RFC 4180 asks
    wait_until(lambda: len(browser.find_elements(By.CSS_SELECTOR, 'tr.dive')) == dives)
    standings = json.loads(service.request('GET', f'/api/events/{EVENT}/standings')[2])
    # Divers in place order, each with when they are up again: what a parent looks for.
    shown = browser.execute_script("return [...document.querySelectorAll('tbody.diver')].map("
                                   "(b) => [b.id, b.querySelector('tr.next')?.textContent])")
    assert shown == [[f'diver-{e["DivingOrder"]}', None if (n := e['divesBefore']) is None else
                      'Dives next' if n == 0 else
                      f'Dives again in round {e["nextRound"]}, after {n} more dive' + 's' * (n > 1)]
                     for e in standings]
    screenshot(browser, 'results-page', scale=0.75)

    browser.execute_cdp_cmd('Emulation.setEmulatedMedia', {'media': 'print'})
    viewport(browser, 794, 1123)
    screenshot(browser, 'results-print-preview', scale=1)
    browser.execute_cdp_cmd('Emulation.setEmulatedMedia', {'media': ''})
    pdf = base64.b64decode(browser.execute_cdp_cmd('Page.printToPDF', {
        'preferCSSPageSize': True, 'printBackground': True})['data'])
    box = re.search(rb'/MediaBox \[0 0 ([\d.]+) ([\d.]+)\]', pdf)
    assert abs(float(box[1]) - 595.3) < 2 and abs(float(box[2]) - 841.9) < 2  # A4 portrait
    save_doc(f'results-{EVENT}.pdf', pdf)


def test_meet_page_picks_an_event_and_finds_a_diver(browser, service):
    open_page(browser, service, '/meet', 390, 844, scale=2)
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
return ['dive', 'standings', 'next'].filter((p) => {
  const e = document.querySelector(`[data-panel="${p}"]`);
  return !e.hidden && !e.classList.contains('leaving');
});"""

BACKGROUNDS = ('return [document.documentElement, document.body].map('
               '(e) => getComputedStyle(e).backgroundColor)')

IN_TITLE_SAFE_AREA = """
const r = document.querySelector('[data-panel="dive"]').getBoundingClientRect();
return r.left >= 0.099 * innerWidth && r.top >= 0.099 * innerHeight
    && r.right <= 0.901 * innerWidth && 0.85 * innerHeight < r.bottom
    && r.bottom <= 0.901 * innerHeight;"""


def test_overlay_keeps_to_the_hold_the_safe_area_and_the_director(browser, service, simulator):
    assert service.request('PUT', '/api/overlay', {'show': 'dive'})[0] == 200
    open_page(browser, service, '/overlay?hold=3')
    assert browser.execute_script(BACKGROUNDS) == ['rgba(0, 0, 0, 0)'] * 2
    # Every dive comes from the feed alone: not one API request per dive.
    time.sleep(0.3)  # the page's own requests on loading are answered
    requests = service.log.count(' GET /api/')
    for order in (8, 9, 10):
        simulator.dive(2, order, 60 + order, 60 + order)
    wait_until(lambda: by_id(browser, 'total').text == '70.00')
    shown = time.monotonic()
    assert service.log.count(' GET /api/') == requests
    # A lower third inside the title-safe area at any 16:9 size, once the slide in has ended,
    # and gone after the hold.
    for size in ((1280, 720), (3840, 2160)):
        viewport(browser, *size)
        wait_until(lambda: browser.execute_script(IN_TITLE_SAFE_AREA), timeout=2)
    wait_until(lambda: not by_id(browser, 'third').is_displayed(), timeout=6)
    assert 2.5 < time.monotonic() - shown < 4.5  # the three seconds asked, not the usual eight

    # The director's choice; the screenshots over a checkerboard, to show what is transparent.
    viewport(browser, 1920, 1080)
    browser.execute_script("document.documentElement.style.background = "
                           "'repeating-conic-gradient(#bbb 0 25%, #fff 0 50%) 0 0 / 40px 40px'")
    for show in ('standings', 'next', 'none', 'dive'):
        assert service.request('PUT', '/api/overlay', {'show': show})[0] == 200
        wait_until(lambda: browser.execute_script(GRAPHIC) == [show] * (show != 'none'), 5)
        if show != 'none':
            time.sleep(0.4)  # the slide in ends
            screenshot(browser, f'overlay-{show}', scale=0.5)
    open_page(browser, service, '/overlay?key=00b140')
    assert browser.execute_script(BACKGROUNDS)[0] == 'rgb(0, 177, 64)'


def test_pages_say_when_the_console_is_disconnected(browser, service, simulator):
    open_page(browser, service, '/operator', 1280, 800)
    simulator.stop()  # the console's cable pulled
    wait_until(lambda: by_id(browser, 'feed').text.startswith('Console disconnected since '))
    # The line as the service was given it, and the version it gave before it went.
    wait_until(lambda: (state := by_id(browser, 'console-state').text).startswith(simulator.link)
               and 'not current' in state)
    assert 'again every second' in by_id(browser, 'console-retry').text
    screenshot(browser, 'operator-console-disconnected')
    browser.get(service.url + '/')
    wait_until(lambda: feed_state(browser) == 'console-down')
    simulator.plug()
    wait_until(lambda: by_id(browser, 'feed').text == 'Live')
