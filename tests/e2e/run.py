#!/usr/bin/env python3
"""The whole service in headless Chromium, as its users meet it.

Makes a fresh demo site in a temporary folder, serves it on a free loopback port with a local SMTP
server, and walks through a request's life: a teacher enters one (pickers, lookups, a new
destination, a fund), meets a stop message and goes Back, saves it with a calendar warning; the
principal and then the district approve it from their worklists; the teacher sees the status and
prints it; the transportation office searches the field trips and reads the reports; a session that
has timed out lands on the sign-out page. Every page is photographed at 1280 and 390 px, checked by
axe-core for serious and critical faults, and the run fails on any JavaScript console error.
"""

import argparse
import base64
import datetime
import json
import mailbox
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request
from pathlib import Path

from selenium import webdriver
from selenium.common.exceptions import NoAlertPresentException, TimeoutException, WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions as EC
from selenium.webdriver.support.ui import Select, WebDriverWait

ENTRY = "ExcursaLakemont.asp"
WAIT_SECONDS = 20
WIDTHS = ((1280, 900), (390, 844))
SERIOUS = ("serious", "critical")
NEW_DESTINATION = "Riverside Pumpkin Farm"
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_url(url, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            with urllib.request.urlopen(url, timeout=2) as answer:
                if answer.status == 200:
                    return
        except OSError:
            pass
        time.sleep(0.1)
    raise Failure(f"{url} did not answer within {seconds} s")


def wait_for_port(port, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.1)
    raise Failure(f"nothing listens on port {port} after {seconds} s")


def ensure_axe(folder):
    """axe-core from npm, installed once into a folder of the build."""
    script = Path(folder) / "node_modules" / "axe-core" / "axe.min.js"
    if not script.exists():
        Path(folder).mkdir(parents=True, exist_ok=True)
        subprocess.run(["npm", "install", "--prefix", str(folder), "--no-audit", "--no-fund",
                        "--loglevel=error", "axe-core@4"], check=True)
    return script.read_text(encoding="utf-8")


def school_day(days_ahead):
    """The demo's weekday that many days ahead, or the Monday after."""
    day = datetime.date.today() + datetime.timedelta(days=days_ahead)
    while day.weekday() >= 5:
        day += datetime.timedelta(days=1)
    return day


def set_ini(path, values):
    lines = Path(path).read_text(encoding="utf-8").splitlines()
    keys = {k.lower() for k in values}
    kept = [line for line in lines if line.split("=", 1)[0].strip().lower() not in keys]
    head = next(i for i, line in enumerate(kept) if line.strip().lower() == "[v.e.l. options]")
    for key, value in values.items():
        kept.insert(head + 1, f"{key}={value}")
    Path(path).write_text("\n".join(kept) + "\n", encoding="utf-8")


class Site:
    """A demo site served on loopback with its mail server."""

    def __init__(self, excursa, templates, work):
        self.work = Path(work)
        self.folder = self.work / "site"
        self.maildir = self.work / "mail"
        self.processes = []
        subprocess.run([excursa, "init", "--site", str(self.folder), "--demo", "--templates", templates],
                       check=True, stdout=subprocess.DEVNULL)
        smtp_port = free_port()
        set_ini(self.folder / "www" / "trip.ini",
                {"SmtpServer": "127.0.0.1", "SmtpPort": str(smtp_port)})
        self.start([sys.executable, "-m", "aiosmtpd", "-n", "-l", f"127.0.0.1:{smtp_port}",
                    "-c", "aiosmtpd.handlers.Mailbox", str(self.maildir)], "smtp")
        wait_for_port(smtp_port, 20)
        self.port = free_port()
        self.start([excursa, "serve", "--site", str(self.folder), "--address", "127.0.0.1",
                    "--port", str(self.port), "--threads", "4"], "serve")
        self.base = f"http://127.0.0.1:{self.port}/"
        wait_for_url(self.base + "healthz", 30)

    def start(self, command, name):
        log = open(self.work / f"{name}.log", "wb")
        self.processes.append(subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT))

    def stop(self):
        for process in reversed(self.processes):
            process.terminate()
        for process in self.processes:
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()

    def mail_to(self, address, mentioning, seconds=20):
        """The messages to an address whose text mentions a word, waiting for the first."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if self.maildir.exists():
                found = [m for m in mailbox.Maildir(str(self.maildir), create=False)
                         if address.lower() in str(m.get("To", "")).lower() and mentioning in message_text(m)]
                if found:
                    return found
            time.sleep(0.2)
        raise Failure(f"no mail to {address} mentioning {mentioning!r} within {seconds} s")


def message_text(message):
    parts = message.walk() if message.is_multipart() else [message]
    text = str(message.get("Subject", ""))
    for part in parts:
        payload = part.get_payload(decode=True)
        if payload:
            text += payload.decode("utf-8", "replace")
    return text


class Browser:
    """One headless Chromium, with the checks every page goes through."""

    def __init__(self, base, shots, axe_source, profile):
        options = webdriver.ChromeOptions()
        options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", f"--user-data-dir={profile}", "--window-size=1280,900"):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        service = Service(shutil.which("chromedriver") or "/usr/bin/chromedriver")
        self.driver = webdriver.Chrome(service=service, options=options)
        self.base = base
        self.shots = Path(shots)
        self.shots.mkdir(parents=True, exist_ok=True)
        self.axe_source = axe_source
        self.pages = 0
        self.problems = []

    def quit(self):
        self.driver.quit()

    def open(self, path=""):
        self.driver.get(self.base + path)

    def wait(self, condition, what):
        try:
            return WebDriverWait(self.driver, WAIT_SECONDS).until(condition)
        except TimeoutException:
            raise Failure(f"waited in vain for {what} on {self.driver.current_url}")

    def find(self, css):
        return self.wait(EC.presence_of_element_located((By.CSS_SELECTOR, css)), css)

    def present(self, css):
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def field(self, name, scope=""):
        return self.find(f'{scope} [name="{name}"]'.strip())

    def type(self, name, text, scope=""):
        element = self.field(name, scope)
        element.clear()
        element.send_keys(text)

    def choose(self, name, text):
        Select(self.field(name)).select_by_visible_text(text)

    def choose_value(self, name, value):
        Select(self.field(name)).select_by_value(value)

    def click(self, element):
        """As a person does: with the element scrolled to the middle, clear of the sticky button bar."""
        self.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", element)
        element.click()

    def radio(self, name, value):
        self.click(self.find(f'input[type="radio"][name="{name}"][value="{value}"]'))

    def click_and_wait(self, element):
        """Clicks something that loads a new page, and waits for it."""
        old = self.driver.find_element(By.TAG_NAME, "html")
        self.click(element)
        self.accept_dialogs()
        self.wait(EC.staleness_of(old), "the next page")
        self.wait(lambda d: d.execute_script("return document.readyState") == "complete", "the page to load")

    def press(self, value, scope="form"):
        self.click_and_wait(self.find(f'{scope} input[type="submit"][value="{value}"]'))

    def nav(self, caption):
        button = self.find(f'nav.site-nav button[value="{caption}"]')
        self.click_and_wait(button)

    def accept_dialogs(self):
        """Accepts the confirmations a button asks for (advance notice, copy, delete)."""
        try:
            WebDriverWait(self.driver, 0.5).until(EC.alert_is_present())
        except TimeoutException:
            return
        try:
            self.driver.switch_to.alert.accept()
        except NoAlertPresentException:
            pass

    def text(self):
        return self.driver.find_element(By.TAG_NAME, "body").text

    def page(self, name):
        """The checks of every page: console errors, axe, and the two screenshots."""
        self.pages += 1
        self.console_errors(name)
        self.focus_order(name)
        self.axe(name)
        for width, height in WIDTHS:
            self.screenshot(name, width, height)

    def focus_order(self, name):
        """Keyboard focus follows the page: nothing jumps the queue with a positive tabindex."""
        jumping = self.driver.execute_script(
            "return Array.from(document.querySelectorAll('[tabindex]'))"
            ".filter(function (e) { return e.tabIndex > 0; }).map(function (e) { return e.outerHTML; })")
        for element in jumping:
            self.problems.append(f"{name}: focus order broken by {element[:120]}")

    def console_errors(self, name):
        for entry in self.driver.get_log("browser"):
            if entry.get("level") == "SEVERE":
                self.problems.append(f"{name}: console error: {entry.get('message')}")

    def axe(self, name):
        if not self.driver.execute_script("return typeof window.axe !== 'undefined'"):
            self.driver.execute_script(self.axe_source)
        result = self.driver.execute_async_script(
            "var done = arguments[arguments.length - 1];"
            "axe.run(document, {resultTypes: ['violations']})"
            ".then(function (r) { done(JSON.stringify(r.violations)); })"
            ".catch(function (e) { done(JSON.stringify([{id: 'axe-failed', impact: 'critical',"
            " help: String(e), nodes: []}])); });")
        for violation in json.loads(result):
            if violation.get("impact") in SERIOUS:
                targets = [" ".join(n.get("target", [])) for n in violation.get("nodes", [])][:5]
                self.problems.append(f"{name}: axe {violation['impact']} {violation['id']}: "
                                     f"{violation.get('help')} at {targets}")

    def screenshot(self, name, width, height):
        driver = self.driver
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": width, "height": height, "deviceScaleFactor": 1,
                                "mobile": width < 600})
        full = driver.execute_script(
            "return Math.max(document.documentElement.scrollHeight, document.body.scrollHeight)")
        overflow = driver.execute_script("return document.documentElement.scrollWidth")
        if overflow > width + 1:
            self.problems.append(f"{name}: the page is {overflow} px wide at {width} px")
        shot = driver.execute_cdp_cmd("Page.captureScreenshot", {
            "format": "png", "captureBeyondViewport": True,
            "clip": {"x": 0, "y": 0, "width": width, "height": min(full, 8000), "scale": 1}})
        (self.shots / f"{self.pages:02d}-{name}-{width}.png").write_bytes(base64.b64decode(shot["data"]))
        driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


# ------------------------------------------------------------------------------------- the story

def sign_in(b, user, button="Work With Trip Requests"):
    b.open(ENTRY)
    b.find("#user")
    b.type("user", user)
    b.type("password", "demo")
    b.press(button)
    check(f"Signed in as {user}" in b.text(), f"{user} is not shown as signed in")


def sign_out(b, name):
    b.nav("Log Out")
    check("V.E.L.  Login" in b.driver.page_source or "Login" in b.text(), "the sign-out page has no sign-in link")
    b.page(name)


def failed_sign_in(b):
    b.open(ENTRY)
    b.page("sign-in")
    b.type("user", "nobody.here")
    b.type("password", "demo")
    b.press("Work With Trip Requests")
    message = b.find("main.message").text
    check("Sorry, invalid user id." in message, f"unexpected sign-in message {message!r}")
    b.page("message-invalid-user")
    b.click_and_wait(b.find("p.back a"))
    b.find("#user")


def technical_details(b):
    b.click_and_wait(b.find(".district-logo a img"))
    b.page("technical-details")


def new_destination(b):
    b.press("Destination")
    b.find('input[name="DESTDESC"]')
    b.page("destination-lookup")
    b.press("New", "form.lookup-search")
    b.type("DESTDESC", NEW_DESTINATION, ".lookup-frame")
    b.type("MILES", "18")
    b.type("DESTADD1", "4100 County Road 9")
    b.type("DESTADD2", "Barn B")
    b.type("DESTCITY", "Lakemont")
    b.type("DESTSTATE", "MN")
    b.type("DESTZIP", "55990")
    b.page("new-destination")
    b.press("Return")
    check("** New **" in b.text(), "the new destination is not on the form")


def pick_fund(b):
    b.press("Fund")
    b.find("form.lookup-search")
    b.page("fund-lookup")
    radios = b.present('.lookup-frame input[type="radio"]')
    if not radios:
        b.press("Search", "form.lookup-search")
    b.click(b.find('.lookup-frame input[type="radio"]'))
    b.press("Return")


def fill_when(b, day):
    month, date, year = MONTHS[day.month - 1], str(day.day), str(day.year)
    b.choose_value("Dep_month", month)
    b.choose_value("Dep_date", date)
    b.choose_value("Dep_year", year)
    for prefix, hour, minute, half in (("DEP", "8", "15", "AM"), ("ARRIVE", "9", "30", "AM"),
                                       ("LEAVE", "1", "00", "PM"), ("RET", "2", "30", "PM")):
        b.choose_value(f"{prefix}_HOUR", hour)
        Select(b.field(f"{prefix}_MIN")).select_by_visible_text(minute)
        b.radio(f"{prefix}_AMPM", half)


def fill_counts_and_texts(b):
    for name, value in (("Contact", "Jo Lindqvist"), ("NUMSTUDENTS", "24"), ("NUMADULTS", "3"),
                        ("NUMHAND", "1"), ("ESTTIME", "5"), ("ESTMILE", "36"), ("PO", "PO-7741"),
                        ("INTTRIPNUM", "MG-2-14"), ("RequestorEmail", "maple.teacher@lakemont.example.org")):
        b.type(name, value)
    b.type("TRIPCOM", "One student needs the lift; medical forms travel with the teacher.")
    b.type("DESTSPEC", "Park by the red barn.")
    Select(b.field("grade")).select_by_index(2)


def reset_asks_first(b):
    b.type("Contact", "Someone Else")
    b.click(b.find('input[type="reset"]'))
    b.wait(EC.alert_is_present(), "the question before Reset")
    b.driver.switch_to.alert.dismiss()
    check(b.field("Contact").get_attribute("value") == "Someone Else", "Reset cleared although told not to")


def stop_and_back(b):
    """Save without a purpose: the stop message, then Back to what was typed."""
    b.press("Save")
    message = b.find("main.message").text
    check("Purpose is required." in message, f"expected the purpose stop, got {message!r}")
    check(b.present("p.back a"), "the stop message has no Back link")
    b.page("message-stop")
    b.driver.back()
    b.wait(lambda d: d.find_elements(By.NAME, "NUMSTUDENTS"), "the form after Back")
    check(b.field("NUMSTUDENTS").get_attribute("value") == "24", "Back lost the number of students")
    check(b.field("Contact").get_attribute("value") == "Jo Lindqvist", "Back lost the contact")
    check(b.field("PO").get_attribute("value") == "PO-7741", "Back lost the purchase order")


def teacher_enters_request(b, site):
    sign_in(b, "maple.teacher", "Enter a New Trip Request")
    b.find('form[name="TripRequestDetail"]')
    b.page("new-request")
    check(b.present("th .required-mark"), "no field is marked as required")
    check(b.field("Contact").get_attribute("aria-required") == "true", "the contact is not marked required")
    old = b.driver.find_element(By.TAG_NAME, "html")
    b.choose("tripcat", "OVN")  # redraws the form with the category's chain
    b.wait(EC.staleness_of(old), "the form redrawn for the category")
    b.wait(lambda d: Select(d.find_element(By.NAME, "tripcat")).first_selected_option.text == "OVN",
           "the category kept on the redrawn form")
    reset_asks_first(b)
    new_destination(b)
    pick_fund(b)
    warning_day = school_day(10)
    fill_when(b, warning_day)
    fill_counts_and_texts(b)
    b.page("request-filled")
    stop_and_back(b)
    b.type("PURPOSE", "Harvest science")
    b.press("Save")
    number = b.field("TRIPNUM").get_attribute("value").strip()
    check(number.isdigit(), f"no request number after saving: {number!r}")
    body = b.text()
    check("WARNING" in body and "Early release day" in body, "the calendar warning is not shown")
    check("UNAPPROVED" in body, "the new request is not UNAPPROVED")
    check(NEW_DESTINATION in b.driver.page_source, "the saved request lost its new destination")
    b.page("request-saved")
    site.mail_to("maple.principal@lakemont.example.org", number)
    sign_out(b, "signed-out")
    return number


def shown_request_number(b):
    """The number in the form's "Request no." box: a read-only field where the form may be saved."""
    box = b.find(".summary-item dd")
    fields = box.find_elements(By.CSS_SELECTOR, 'input[name="TRIPNUM"]')
    return (fields[0].get_attribute("value") if fields else box.text).strip()


def open_from_worklist(b, number, name):
    link = b.find(f'.results-list a[href*="WCE={number}&"]')
    b.page(name)
    b.click_and_wait(link)
    check(shown_request_number(b) == number, "the request did not open")


def approve(b, user, number, comment, name, expect_status, earlier=None):
    sign_in(b, user)
    open_from_worklist(b, number, f"worklist-{name}")
    awaiting = b.find(".awaiting").text
    check("Awaiting your approval" in awaiting, f"no approval notice for {user}")
    check(re.search(r"Step \d of \d", awaiting), f"the notice does not say the step: {awaiting!r}")
    if earlier:
        check(earlier in b.find(".earlier-comment").text, "the earlier approver's comment is not shown")
    b.page(f"approve-{name}")
    b.click(b.find('input[type="radio"][name="Approve"]:not([value="Deny"])'))
    b.type("STATUS_COMMENT", comment)
    b.press("Save")
    check(expect_status in b.text(), f"status after {user}'s approval is not {expect_status}")
    check(NEW_DESTINATION in b.driver.page_source, f"{user}'s approval lost the new destination")
    b.page(f"approved-{name}")
    sign_out(b, f"signed-out-{name}")


def teacher_sees_status_and_prints(b, number):
    sign_in(b, "maple.teacher")
    open_from_worklist(b, number, "teacher-search")
    check("DISTRICT APPROVED" in b.text(), "the teacher does not see the approval")
    b.page("teacher-request")
    b.click_and_wait(b.find('input[type="submit"][value="Print"]'))
    check("Harvest science" in b.text(), "the printable request does not show the request")
    b.page("request-print")
    b.driver.back()
    b.find('form[name="TripRequestDetail"]')
    sign_out(b, "signed-out-teacher")


def other_school_is_refused(b, number):
    sign_in(b, "river.teacher")
    b.open(f"{ENTRY}?WCI=RequestDetail&WCE={number}&WCU")
    message = b.find("main.message").text
    check("Sorry, you are not allowed to view this trip request." in message,
          f"another school's teacher was not refused: {message!r}")
    check("medical" not in b.text(), "the refused request leaks its comments")
    b.page("message-not-allowed")
    b.open(f"{ENTRY}?WCI=RequestSearch&WCE&WCU")
    sign_out(b, "signed-out-other-school")


def customer_lookup(b):
    b.nav("Enter New Request")
    b.press("Customer")
    b.find("form.lookup-search")
    b.page("customer-lookup")
    b.type("CUSTDESC", "M")
    b.press("Search", "form.lookup-search")
    b.click(b.find('.lookup-frame input[type="radio"]'))
    b.press("Return")
    check(b.present('form[name="TripRequestDetail"]'), "the customer lookup did not return to the form")
    b.page("new-request-with-customer")


def reports(b):
    main_window = b.driver.current_window_handle
    link = b.find('.results-list a[target="_blank"]')
    link.click()
    b.wait(lambda d: len(d.window_handles) > 1, "the report window")
    b.driver.switch_to.window([h for h in b.driver.window_handles if h != main_window][0])
    b.find('input[name="rb"]')
    b.page("print-report")
    b.radio("rb", "3")
    b.choose_value("ddlSummary", "Customer")
    b.press("Show Report")
    bars = b.present(".summary-chart svg rect.bar")
    check(len(bars) > 0, "the summary has no chart")
    b.page("summary-by-customer")
    b.driver.back()
    b.radio("rb", "2")
    b.press("Show Report")
    check("Page 1" in b.text(), "no page number")
    b.page("two-line-report-page-1")
    first = b.find("table.report").text
    b.click_and_wait(b.find('input[value="Next"]'))
    check(b.find("table.report").text != first, "Next shows the same page")
    b.page("two-line-report-page-2")
    b.driver.close()
    b.driver.switch_to.window(main_window)


def transport_searches(b):
    sign_in(b, "transport")
    b.page("transport-worklist")
    customer_lookup(b)
    b.nav("View Field Trips")
    b.find('form[action*="FieldTrips"]')
    b.press("Search", "section.search-form form")
    b.page("field-trips")
    reports(b)


def timed_out_session(b):
    """An expired session reads as no session: the next page is the sign-out page."""
    b.driver.delete_cookie("EXCURSA_SESSION")
    b.driver.add_cookie({"name": "EXCURSA_SESSION", "value": "0" * 32, "path": "/"})
    b.open(f"{ENTRY}?WCI=RequestSearch&WCE&WCU")
    check("Sorry, your session has timed out please log in again and retry." in b.text(),
          "the timed-out session did not reach the sign-out page")
    b.page("timed-out")


def story(b, site):
    failed_sign_in(b)
    technical_details(b)
    number = teacher_enters_request(b, site)
    approve(b, "maple.principal", number, "Approved; bring the medical forms.", "principal",
            "PRINCIPAL APPROVED")
    site.mail_to("district@lakemont.example.org", number)
    approve(b, "district", number, "District approves.", "district", "DISTRICT APPROVED",
            earlier="bring the medical forms")
    teacher_sees_status_and_prints(b, number)
    other_school_is_refused(b, number)
    transport_searches(b)
    timed_out_session(b)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--excursa", required=True)
    parser.add_argument("--templates", required=True)
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--node-folder", required=True, help="where npm installs axe-core")
    args = parser.parse_args()
    started = time.monotonic()
    axe_source = ensure_axe(args.node_folder)
    shutil.rmtree(args.screenshots, ignore_errors=True)
    with tempfile.TemporaryDirectory(prefix="excursa-e2e-") as work:
        site = Site(args.excursa, args.templates, work)
        browser = None
        try:
            browser = Browser(site.base, args.screenshots, axe_source, Path(work) / "profile")
            story(browser, site)
        except (Failure, WebDriverException) as failure:
            if browser:
                browser.page("failed-here")
            print(f"FAILED: {str(failure).splitlines()[0] if str(failure) else repr(failure)}")
            print_problems(browser)
            print_logs(work)
            return 1
        finally:
            if browser:
                browser.quit()
            site.stop()
        if browser.problems:
            print_problems(browser)
            return 1
        print(f"{browser.pages} pages checked in {time.monotonic() - started:.0f} s; "
              f"screenshots in {args.screenshots}")
        print("1 passed, 0 failed")
        return 0


def print_problems(browser):
    for problem in (browser.problems if browser else []):
        print("PROBLEM:", problem)


def print_logs(work):
    for name in ("serve.log", "smtp.log"):
        path = Path(work) / name
        if path.exists():
            print(f"--- {name} (last lines)")
            print("\n".join(path.read_text(errors="replace").splitlines()[-20:]))


if __name__ == "__main__":
    sys.exit(main())
