"""The sandbox's web inbox in a real browser (Debian's chromium, headless, driven by Selenium):
messages sent through the component appear without a reload, an MMS shows its picture, delivery
states move on by themselves, stored text stays text, and a reservation cancelled from the page
is cancelled for the service too. Screenshots go to VEXA_ARTIFACTS."""

import datetime
import json
import os
import pathlib
import struct
import sys
import time
import urllib.request
import zlib

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path[:0] = [str(ROOT / "python"), str(ROOT / "tests" / "support")]

import vexa  # noqa: E402
from sandbox_process import SandboxProcess  # noqa: E402
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.options import Options  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

SENDER = "02-000-0000"
DELIVERY_DELAY = 4  # seconds a receiver stays pending: long enough to see the state move


def gradient_png(path, width=320, height=240):
    """The demo's picture: a colour gradient, as a PNG file."""
    rows = b"".join(b"\0" + bytes(c for x in range(width) for c in (x * 255 // (width - 1),
                                                                    y * 255 // (height - 1), 160))
                    for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                     + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


@pytest.fixture(scope="module")
def sandbox():
    os.environ["TZ"] = "Asia/Seoul"
    time.tzset()
    process = SandboxProcess(os.environ["VEXA_SANDBOX_PROGRAM"], [
        "--account", "demo:demo-password:100", "--delivery-delay", str(DELIVERY_DELAY)])
    yield process.endpoints
    process.stop()


@pytest.fixture(scope="module")
def message(sandbox):
    m = vexa.Dispatch("VexaComponent.Message", module=os.environ["VEXA_MODULE"])
    vexa.set_endpoint(m, sandbox["https"], cafile=sandbox["certificate"])
    m.SetAccountInfo("demo", "demo-password")
    return m


@pytest.fixture(scope="module")
def browser(tmp_path_factory):
    options = Options()
    options.binary_location = os.environ.get("VEXA_CHROMIUM", "/usr/bin/chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--no-proxy-server", "--window-size=1100,1000", "--lang=ko-KR",
                     f"--user-data-dir={tmp_path_factory.mktemp('chromium')}"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service(os.environ.get("VEXA_CHROMEDRIVER", "/usr/bin/chromedriver")),
                              options=options)
    driver.set_page_load_timeout(30)
    yield driver
    driver.quit()


def artifact(name):
    folder = pathlib.Path(os.environ.get("VEXA_ARTIFACTS", ".")) / "inbox"
    folder.mkdir(parents=True, exist_ok=True)
    return str(folder / name)


def send(message, kind, people, text="", subject="", pictures=(), when=None):
    """Sends through the component; returns (month, index) of the transfer."""
    receivers = message.CreateReceivers()
    for phone, name, own in people:
        receiver = message.CreateReceiverDirect(phone, own, vexa.VEXA_RESERVATION if when else vexa.VEXA_DIRECT,
                                                when)
        receiver.Name = name
        receivers.Add(receiver)
    contents = message.CreateContents()
    contents.Type, contents.Message, contents.Subject = kind, text, subject
    for picture in pictures:
        contents.AddImageFile(str(picture))
    results = message.Send(SENDER, receivers, contents)
    return results.Date, results.Index


def api(sandbox, path):
    with urllib.request.urlopen(sandbox["inbox"] + "api/" + path, timeout=10) as reply:
        return json.load(reply)


def wait(driver, condition, what, seconds=20):
    return WebDriverWait(driver, seconds, poll_frequency=0.2).until(lambda d: condition(d), message=what)


# The pages re-render what they show as it changes, so what a test reads of them it reads in one
# script, never through elements found earlier.

def row_link(driver, key):
    """The address a transfer's row links to, or None while the list does not show it."""
    return driver.execute_script(
        "const a = document.querySelector(`tr.transfer[data-month='${arguments[0]}'][data-index='${arguments[1]}']"
        " a.open`); return a ? a.href : null;", key[0], key[1])


def row_keys(driver):
    return [tuple(k) for k in driver.execute_script(
        "return [...document.querySelectorAll('tr.transfer')].map(r => [r.dataset.month, r.dataset.index]);")]


def receiver_states(driver):
    return driver.execute_script(
        "return Object.fromEntries([...document.querySelectorAll('div.receiver')]"
        ".map(r => [r.dataset.phone, r.dataset.state]));")


def test_the_inbox_shows_what_the_component_sent(sandbox, message, browser, tmp_path):
    picture = tmp_path / "gradient.png"
    gradient_png(picture)
    # The demo's messages.
    sms = send(message, vexa.VEXA_MESSAGE_TYPE_SMS, [("010-1234-5678", "김철수", ""), ("010-5555-0000", "", "")],
               "안녕하세요, VexaComponent 데모입니다.")
    send(message, vexa.VEXA_MESSAGE_TYPE_LMS, [("010-2222-3333", "", "")],
         "내일 오전 10시에 3층 회의실에서 주간 회의가 있습니다. 자료는 미리 읽어 와 주세요.", "회의 안내")
    mms = send(message, vexa.VEXA_MESSAGE_TYPE_MMS, [("010-4444-5555", "", "")], "주말에 찍은 사진입니다.",
               "사진 한 장", [picture])
    later = datetime.datetime.now().replace(second=0, microsecond=0) + datetime.timedelta(hours=1)
    reservation = send(message, vexa.VEXA_MESSAGE_TYPE_SMS, [("010-7777-8888", "", "")],
                       "한 시간 뒤에 도착하는 메시지", when=later)

    browser.get(sandbox["inbox"])
    wait(browser, lambda d: d.find_elements(By.CSS_SELECTOR, 'tr.account[data-user="demo"]'), "the account")
    browser.get(sandbox["inbox"] + "demo/")
    wait(browser, lambda d: all(row_link(d, key) for key in (sms, mms, reservation)), "the sent transfers")
    keys = row_keys(browser)
    assert keys.index(reservation) < keys.index(mms) < keys.index(sms)  # newest first

    # A transfer sent while the page is open appears without a reload.
    browser.execute_script("window.stillTheSamePage = true;")
    news = send(message, vexa.VEXA_MESSAGE_TYPE_SMS, [("010-9999-1111", "", "")], "새로 온 문자")
    wait(browser, lambda d: row_link(d, news), "the new transfer on the open page")
    assert browser.execute_script("return window.stillTheSamePage === true;")
    browser.set_window_size(1280, 560)
    browser.save_screenshot(artifact("inbox-list.png"))
    browser.set_window_size(1100, 1000)

    # The MMS: its picture is displayed.
    browser.get(row_link(browser, mms))
    wait(browser, lambda d: d.find_elements(By.CSS_SELECTOR, "section#transfer img.picture"), "the MMS page")
    wait(browser, lambda d: d.execute_script(
        "const i = document.querySelector('img.picture'); return i.complete && i.naturalWidth > 0;"),
        "the picture to load")
    assert browser.execute_script("return document.querySelector('img.picture').naturalWidth;") == 320
    wait(browser, lambda d: receiver_states(d) == {"010-4444-5555": "delivered"}, "the MMS delivered")
    browser.save_screenshot(artifact("inbox-transfer.png"))
    browser.set_window_size(412, 1350)  # a phone's width, tall enough for the receiver's bubble
    browser.save_screenshot(artifact("inbox-transfer-phone.png"))
    browser.set_window_size(1100, 1000)

    # States move on by themselves: pending, then delivered (or no such number).
    watched = send(message, vexa.VEXA_MESSAGE_TYPE_SMS, [("010-3333-4444", "", ""), ("010-3333-0000", "", "")],
                   "상태가 바뀌는 문자")
    browser.get(f'{sandbox["inbox"]}demo/{watched[0]}/{watched[1]}')
    wait(browser, lambda d: d.find_elements(By.CSS_SELECTOR, "section#transfer"), "the transfer page")
    assert set(receiver_states(browser).values()) == {"pending"}
    wait(browser, lambda d: receiver_states(d) == {"010-3333-4444": "delivered", "010-3333-0000": "no-such-number"},
         "the reports", seconds=DELIVERY_DELAY + 15)


def test_stored_text_stays_text(sandbox, message, browser):
    text = "<script>window.injected = 1</script><img src=x onerror=\"window.injected = 2\"> & 'quotes'"
    key = send(message, vexa.VEXA_MESSAGE_TYPE_LMS, [("010-6666-7777", "<b>이름</b>", "")], text, "<i>제목</i>")
    browser.get(f'{sandbox["inbox"]}demo/{key[0]}/{key[1]}')
    shown = wait(browser, lambda d: d.execute_script(
        "const b = document.querySelector('div.receiver .bubble'); "
        "return b ? [b.textContent, document.getElementById('transfer').textContent] : null;"), "the bubble")
    assert text in shown[0] and "<i>제목</i>" in shown[1]
    assert browser.execute_script("return window.injected === undefined;")


def test_a_reservation_cancelled_from_the_page(sandbox, message, browser):
    later = datetime.datetime.now().replace(second=0, microsecond=0) + datetime.timedelta(hours=2)
    key = send(message, vexa.VEXA_MESSAGE_TYPE_SMS, [("010-8888-9999", "", "")], "취소될 예약", when=later)
    browser.get(f'{sandbox["inbox"]}demo/{key[0]}/{key[1]}')
    wait(browser, lambda d: receiver_states(d) == {"010-8888-9999": "reserved"}, "the reservation")
    wait(browser, lambda d: d.execute_script(
        # Clicked after the script returns: the click opens a confirmation, which blocks.
        "const b = document.querySelector('button[data-action=cancel]'); if (b) setTimeout(() => b.click());"
        " return !!b;"),
        "the cancel button")
    wait(browser, lambda d: d.switch_to.alert, "the confirmation").accept()
    wait(browser, lambda d: receiver_states(d) == {"010-8888-9999": "cancelled"}, "the cancelled state")

    detail = api(sandbox, f"accounts/demo/transfers/{key[0]}/{key[1]}")
    assert [r["state"] for r in detail["receivers"]] == ["cancelled"]
    # The service's own API agrees: a second cancel through the component is refused.
    again = message.CancelReservation(int(key[0][:4]), int(key[0][4:]), key[1], vexa.VEXA_MESSAGE_TYPE_SMS)
    assert again.Result == vexa.VEXA_FAILED
