# SPDX-License-Identifier: MIT
"""Real copies (stand-in) and one skyfill-control on this test's own session bus."""

import http.client
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import time

SKYFILL = os.environ.get("SKYFILL_BINARY", "build/default/app/skyfill")
CONTROL = os.environ.get("SKYFILL_CONTROL", "build/default/control/skyfill-control")
REMOTE = os.environ.get("SKYFILL_REMOTE", "build/default/tools/skyfill-remote")

# A 176-byte preset file whose slots rotate their colours with the clouds on, so that
# the picture of a sending copy keeps changing.
_SLOT = (b"\275\265\000\377\277\000\306\377\000\271\276\377\000\000\314\377"
         b"\000\000\000\000\001\000\000\000\001\000\002\000\202\000\000\000")
ROTATING_PRESETS = b"KOVSKCF1" + _SLOT * 5 + b"\000\000\000\000\002\000\000\000"


class Reply:
    def __init__(self, response):
        self.status = response.status
        self.headers = {k.lower(): v for k, v in response.getheaders()}
        self.body = response.read()

    def json(self):
        return json.loads(self.body)


def wait_for(what, check, timeout=30.0):
    """check()'s first truthy value, polled until `timeout`."""
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)


class Rig:
    def __init__(self):
        if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
            raise RuntimeError("needs a session bus of its own: run under dbus-run-session")
        self.dir = tempfile.mkdtemp(prefix="skyfill-control-test.")
        # The stand-in's sources and the token stay this process's alone.
        self.env = dict(os.environ, SKYFILL_STANDIN_SCOPE=f"control{os.getpid()}",
                        XDG_CONFIG_HOME=os.path.join(self.dir, "config"))
        self.copies = {}  # number -> Popen
        self.control = None
        self.tls = None  # an ssl.SSLContext: requests go over HTTPS
        self.control_log = os.path.join(self.dir, "control.log")
        self.token = subprocess.run([CONTROL, "--show-token"], env=self.env, check=True,
                                    capture_output=True, text=True).stdout.strip()

    @staticmethod
    def _line(process, log, pattern):
        with open(log, encoding="utf-8", errors="replace") as f:
            text = f.read()
        if process.poll() is not None:
            raise AssertionError(f"{process.args[0]} ended ({process.returncode}):\n{text}")
        found = re.search(pattern, text, re.M)
        return found and found.group(1)

    def start_copies(self, count, presets=None):
        """Starts `count` copies, each with a preset folder of its own; their numbers."""
        started = []
        for _ in range(count):
            folder = tempfile.mkdtemp(prefix="copy", dir=self.dir)
            if presets:
                with open(os.path.join(folder, "default.skf"), "wb") as f:
                    f.write(presets)
            log = os.path.join(folder, "stderr")
            with open(log, "wb") as err:
                process = subprocess.Popen([SKYFILL, "--headless", "--presets-dir", folder],
                                           env=self.env, cwd=folder,
                                           stdout=subprocess.DEVNULL, stderr=err)
            started.append((process, log))
        numbers = []
        for process, log in started:
            number = int(wait_for("a copy's number", lambda: self._line(
                process, log, r"^skyfill: notice: copy No (\d+) publishes")))
            self.copies[number] = process
            numbers.append(number)
        return numbers

    def end_copy(self, number, sig=signal.SIGTERM):
        process = self.copies.pop(number)
        process.send_signal(sig)
        process.wait(timeout=15)

    def start_control(self, *options):
        for _ in range(3):
            # A port nobody holds now; taken again in the moment between, it is retried.
            with socket.socket() as probe:
                probe.bind(("127.0.0.1", 0))
                self.port = probe.getsockname()[1]
            with open(self.control_log, "wb") as err:
                self.control = subprocess.Popen(
                    [CONTROL, "--listen", f"127.0.0.1:{self.port}", *options], env=self.env,
                    stdout=subprocess.DEVNULL, stderr=err)
            try:
                wait_for("skyfill-control to listen", lambda: self._line(
                    self.control, self.control_log, r"^skyfill-control: notice: (https?://\S+)"))
                return
            except AssertionError:
                if self.control.poll() is None:
                    raise
        raise AssertionError("skyfill-control found no port to listen on")

    def control_alive(self):
        return self.control is not None and self.control.poll() is None

    def stop_control(self):
        """Ends skyfill-control as a service manager would; its exit status."""
        self.control.terminate()
        return self.control.wait(timeout=15)

    def request(self, method, path, body=None, token="", headers=None, source=None,
                host=None, timeout=15):
        """One request on a connection of its own; token None sends none."""
        source_address = (source, 0) if source else None
        connection = http.client.HTTPSConnection(
            "127.0.0.1", self.port, timeout=timeout, source_address=source_address,
            context=self.tls) if self.tls else http.client.HTTPConnection(
            "127.0.0.1", self.port, timeout=timeout, source_address=source_address)
        try:
            connection.putrequest(method, path, skip_host=host is not None,
                                  skip_accept_encoding=True)
            if host is not None:
                connection.putheader("Host", host)
            token = self.token if token == "" else token
            if token is not None:
                connection.putheader("Authorization", f"Bearer {token}")
            if isinstance(body, (dict, list)):
                body = json.dumps(body)
            if isinstance(body, str):
                body = body.encode()
            for name, value in (headers or {}).items():
                connection.putheader(name, value)
            if body is not None:
                connection.putheader("Content-Length", str(len(body)))
            connection.endheaders(body)
            return Reply(connection.getresponse())
        finally:
            connection.close()

    def api(self, method, path, body=None, **kwargs):
        return self.request(method, "/api/v1/" + path, body, **kwargs)

    def remote_status(self, number):
        """The copy's status as the bus gives it, through skyfill-remote."""
        out = subprocess.run([REMOTE, "status", "--json", "--copy", str(number)], env=self.env,
                             check=True, capture_output=True, text=True, timeout=15).stdout
        return json.loads(out)[0]

    def close(self):
        processes = list(self.copies.values()) + ([self.control] if self.control else [])
        for process in processes:
            if process.poll() is None:
                process.terminate()
        for process in processes:
            try:
                process.wait(timeout=15)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)
