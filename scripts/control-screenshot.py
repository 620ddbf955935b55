#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""A screenshot of the control page with three copies (two sending), in headless Chromium:
    dbus-run-session -- scripts/control-screenshot.py [OUTPUT.png] [WIDTH]
(default docs/control-page.png, 1000 pixels wide). Needs the default build and Debian's
chromium, chromium-driver and python3-selenium."""

import os
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "control"))
for variable, program in (("SKYFILL_BINARY", "app/skyfill"),
                          ("SKYFILL_CONTROL", "control/skyfill-control"),
                          ("SKYFILL_REMOTE", "tools/skyfill-remote")):
    os.environ.setdefault(variable, os.path.join(root, "build", "default", program))

from browser_test import open_browser  # noqa: E402
from control_rig import ROTATING_PRESETS, Rig, wait_for  # noqa: E402

output = sys.argv[1] if len(sys.argv) > 1 else "docs/control-page.png"
width = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
rig = Rig()
try:
    numbers = rig.start_copies(3, ROTATING_PRESETS)
    rig.start_control()
    for number in sorted(numbers)[:2]:
        assert rig.api("POST", f"copies/{number}/start").status == 200
    with tempfile.TemporaryDirectory() as profile:
        driver = open_browser(profile)
        try:
            driver.set_window_size(width, 900)
            driver.get(f"http://127.0.0.1:{rig.port}/")
            driver.find_element("id", "token").send_keys(rig.token)
            driver.find_element("css selector", "#login button").click()
            wait_for("three cards with snapshots", lambda: len(driver.find_elements(
                "css selector", "#copies .card img.snapshot[src^='blob:']")) == 3)
            time.sleep(1.5)
            driver.save_screenshot(output)
        finally:
            driver.quit()
    print(f"screenshot: {output}")
finally:
    rig.close()
