#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The control page in headless Chromium against three real copies, checked through the
bus with skyfill-remote. Exits 77 (skipped) when no browser can be started."""

import os
import sys
import tempfile
import unittest

from control_rig import ROTATING_PRESETS, Rig, wait_for

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"

# The picture an <img> shows, as a data URL; null before it has one.
PICTURE = """
const img = document.querySelector(`#copies .card[data-copy="${arguments[0]}"] img.snapshot`);
if (!img || !img.complete || !img.naturalWidth) return null;
const canvas = document.createElement("canvas");
canvas.width = img.naturalWidth;
canvas.height = img.naturalHeight;
canvas.getContext("2d").drawImage(img, 0, 0);
return [img.naturalWidth, img.naturalHeight, canvas.toDataURL()];
"""


def open_browser(profile):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--disable-gpu", "--disable-dev-shm-usage",
                     "--no-first-run", f"--user-data-dir={profile}", "--window-size=1280,1000"):
        options.add_argument(argument)
    if os.geteuid() == 0:
        options.add_argument("--no-sandbox")  # Chromium refuses root otherwise
    return webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)


class ControlPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        profile = tempfile.TemporaryDirectory(prefix="skyfill-control-browser.")
        cls.addClassCleanup(profile.cleanup)
        try:
            cls.driver = open_browser(profile.name)
        except Exception as e:  # no Selenium, browser or driver: nothing to test with
            first = (str(e).splitlines() or [""])[0]
            raise unittest.SkipTest(f"no browser: {type(e).__name__}: {first}")
        cls.addClassCleanup(cls.driver.quit)
        cls.driver.implicitly_wait(0)
        cls.rig = Rig()
        cls.addClassCleanup(cls.rig.close)
        cls.numbers = sorted(cls.rig.start_copies(3, ROTATING_PRESETS))
        assert cls.numbers == [1, 2, 3], cls.numbers  # the tests name copies 1 and 2
        cls.rig.start_control()
        cls.url = f"http://127.0.0.1:{cls.rig.port}/"

    def setUp(self):
        # Every test starts from a page that has the token, but the login's own.
        self.driver.get(self.url)
        self.driver.execute_script("sessionStorage.setItem('skyfill-token', arguments[0])",
                                   self.rig.token)
        self.driver.get(self.url)
        self.wait_cards(self.numbers)

    def tearDown(self):
        self.rig.api("POST", "copies/stop")

    def cards(self):
        return self.driver.execute_script(
            "return [...document.querySelectorAll('#copies .card')].map(c => c.dataset.copy)")

    def wait_cards(self, numbers):
        wanted = [str(n) for n in numbers]
        wait_for(f"cards {wanted}", lambda: self.cards() == wanted)

    def card(self, number, selector):
        from selenium.webdriver.common.by import By
        return self.driver.find_element(
            By.CSS_SELECTOR, f'#copies .card[data-copy="{number}"] {selector}')

    def picture(self, number):
        shown = self.driver.execute_script(PICTURE, number)
        return shown and shown[2]

    def test_login_takes_the_token(self):
        from selenium.webdriver.common.by import By
        self.driver.execute_script("sessionStorage.clear()")
        self.driver.get(self.url)
        login = self.driver.find_element(By.ID, "login")
        token = self.driver.find_element(By.ID, "token")
        self.assertTrue(login.is_displayed())
        self.assertEqual(self.cards(), [])
        token.send_keys("not-the-token\n")
        wait_for("the refusal", lambda: self.driver.find_element(By.ID, "login-error").text)
        self.assertTrue(login.is_displayed())
        self.assertEqual(self.cards(), [])
        token.clear()
        token.send_keys(self.rig.token + "\n")
        self.wait_cards(self.numbers)
        self.assertFalse(login.is_displayed())
        for n in self.numbers:
            self.assertEqual(self.card(n, ".source").text, f"Kova Gradient {n}")

    def test_start_sends_from_that_copy_alone(self):
        self.card(2, "button.start").click()
        wait_for("copy 2 to send", lambda: self.rig.remote_status(2)["sending"])
        self.assertEqual([n for n in self.numbers if self.rig.remote_status(n)["sending"]], [2])
        wait_for("the card to say so", lambda: self.card(2, ".state").text == "Sending")
        self.assertEqual(self.card(1, ".state").text, "Stopped")

    def test_slot_button_selects_that_slot(self):
        if self.rig.remote_status(1)["slot"] == 3:
            self.rig.api("POST", "copies/1/slot", {"slot": 1})
        others = {n: self.rig.remote_status(n)["slot"] for n in self.numbers if n != 1}
        button = self.card(1, '.slots button[data-slot="3"]')
        button.click()
        wait_for("copy 1 in slot 3", lambda: self.rig.remote_status(1)["slot"] == 3)
        wait_for("the button to show it", lambda: button.get_attribute("aria-pressed") == "true")
        self.assertEqual({n: self.rig.remote_status(n)["slot"] for n in others}, others)

    def test_copies_come_and_go_without_reload(self):
        self.driver.execute_script("window.notReloaded = true")
        n = self.rig.start_copies(1, ROTATING_PRESETS)[0]
        try:
            self.wait_cards(sorted(self.numbers + [n]))
        finally:
            self.rig.end_copy(n)
        self.wait_cards(self.numbers)
        self.assertTrue(self.driver.execute_script("return window.notReloaded === true"))

    def test_snapshots_change_while_the_copy_sends(self):
        for n in self.numbers:
            width, height, _ = wait_for(f"copy {n}'s picture",
                                        lambda: self.driver.execute_script(PICTURE, n))
            status = self.rig.remote_status(n)
            self.assertAlmostEqual(height / width, status["height"] / status["width"], delta=0.02)
        sender = self.numbers[-1]
        self.assertEqual(self.rig.api("POST", f"copies/{sender}/start").status, 200)
        wait_for("frames", lambda: self.rig.remote_status(sender)["frames-sent"] > 0)
        # Twice, so that the change is the rotation's, not the start's alone.
        pictures = [wait_for("a picture", lambda: self.picture(sender))]
        for _ in range(2):
            pictures.append(wait_for("a new picture", lambda: (
                (now := self.picture(sender)) != pictures[-1] and now)))


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=2).result
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(77 if result.skipped else 0)
