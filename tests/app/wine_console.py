#!/usr/bin/env python3
"""The Windows program under Wine, where only the host can set the scene.

Usage: wine_console.py WINE EXE

- In a pseudo-terminal Wine gives a console program a real console: the program waits at its
  prompt for one key and ends on it, Ctrl-C included, with the status its run earned.
- A Unix symbolic link seen through Wine's drive Z: looks like a plain file: the link must stay,
  and the file it names must be the one rewritten, never deleted.
- A bare drive "X:" means that drive's current folder: only the host can give Wine a drive of its
  own, here a spare letter for a temporary folder, so that no real drive's root is ever walked.
Every wait has a deadline, so that a program that never ends fails the test instead of hanging.
"""
import os
import pty
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

WINE, EXE = sys.argv[1], sys.argv[2]
DEADLINE = 120  # seconds: Wine starts slowly on a loaded machine
OLD = b"[fltsim.3]\r\ntitle=A\r\n"
NEW = b"[fltsim.0]\r\ntitle=A\r\n"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run_at_the_prompt(folder, key):
    """Runs the program in a pseudo-terminal, presses `key` at its prompt; its exit status."""
    pid, terminal = pty.fork()
    if pid == 0:
        os.chdir(folder)
        os.execvp(WINE, [WINE, EXE])
    seen = b""
    until = time.monotonic() + DEADLINE
    prompted = False
    pressed = False
    open_ = True
    while time.monotonic() < until:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            # Ending before any key was pressed would leave a double-clicked console no time.
            return (os.waitstatus_to_exitcode(status) if pressed else "ended unasked"), seen
        ready, _, _ = select.select([terminal] if open_ else [], [], [], 1)
        if ready:
            try:
                chunk = os.read(terminal, 4096)
            except OSError:
                chunk = b""  # every holder of the terminal has closed it: the program is ending
            open_ = bool(chunk)
            seen += chunk
        shown = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", seen)  # Wine's console draws each letter
        prompted = prompted or b"continue" in shown  # spaces are drawn as cursor moves
        # The prompt shows before the program has emptied the console's input of keys pressed
        # while it worked; the key is pressed again each second until the program ends on one.
        if prompted and open_ and not ready:
            os.write(terminal, key)
            pressed = True
    os.kill(pid, signal.SIGKILL)
    os.waitpid(pid, 0)
    return None, seen


def prompt_cases():
    for name, key, file, expected in (
        ("a key after a refusal", b"x", None, 1),
        ("a key", b"x", OLD, 0),
        ("Ctrl-C", b"\x03", OLD, 0),
    ):
        folder = tempfile.mkdtemp(prefix="cfgrenum-wine-")
        try:
            if file is not None:
                with open(os.path.join(folder, "aircraft.cfg"), "wb") as f:
                    f.write(file)
            status, seen = run_at_the_prompt(folder, key)
            check(status == expected, f"{name} at the prompt: status {status}, output {seen!r}")
            if file is not None:
                with open(os.path.join(folder, "aircraft.cfg"), "rb") as f:
                    check(f.read() == NEW, f"{name}: the file was not renumbered")
        finally:
            shutil.rmtree(folder)


def unix_link_case():
    root = tempfile.mkdtemp(prefix="cfgrenum-wine-")
    try:
        plane = os.path.join(root, "plane")
        elsewhere = os.path.join(root, "elsewhere")
        os.mkdir(plane)
        os.mkdir(elsewhere)
        with open(os.path.join(elsewhere, "real.cfg"), "wb") as f:
            f.write(OLD)
        os.symlink("../elsewhere/real.cfg", os.path.join(plane, "aircraft.cfg"))
        run = subprocess.run([WINE, EXE], cwd=plane, stdin=subprocess.DEVNULL,
                             capture_output=True, timeout=DEADLINE)
        check(run.returncode == 0, f"link: status {run.returncode}, {run.stderr!r}")
        check(os.path.islink(os.path.join(plane, "aircraft.cfg")), "link: the link was replaced")
        real = os.path.join(elsewhere, "real.cfg")
        check(os.path.exists(real), "link: the file the link names was deleted")
        if os.path.exists(real):
            with open(real, "rb") as f:
                check(f.read() == NEW, "link: the file the link names was not renumbered")
        # The backup goes beside the file the link leads to, never into the link's folder.
        check(sorted(os.listdir(plane)) == ["aircraft.cfg"],
              f"link: beside the link {sorted(os.listdir(plane))}, not it alone")
        check(sorted(os.listdir(elsewhere)) == ["real.cfg", "real.cfg.bak"],
              f"link: beside the file {sorted(os.listdir(elsewhere))}, not it and its backup")
        if os.path.exists(real + ".bak"):
            with open(real + ".bak", "rb") as f:
                check(f.read() == OLD, "link: the backup does not hold the old content")
    finally:
        shutil.rmtree(root)


def bare_drive_case():
    devices = os.path.join(os.environ.get("WINEPREFIX") or os.path.expanduser("~/.wine"),
                           "dosdevices")
    spare = next((letter for letter in "qrstuvwxy"
                  if not os.path.lexists(os.path.join(devices, letter + ":"))), None)
    if spare is None:
        failures.append("bare drive: no spare drive letter in " + devices)
        return
    root = tempfile.mkdtemp(prefix="cfgrenum-wine-")
    drive = os.path.join(devices, spare + ":")
    try:
        for folder in ("coll", os.path.join("other", "B")):
            os.makedirs(os.path.join(root, folder))
            with open(os.path.join(root, folder, "aircraft.cfg"), "wb") as f:
                f.write(OLD)
        os.symlink(root, drive)
        exe = "Z:" + os.path.abspath(EXE).replace("/", "\\")
        run = subprocess.run([WINE, "cmd", "/c", "cd", "/d", spare.upper() + ":\\coll", "&&", exe,
                              spare.upper() + ":"], stdin=subprocess.DEVNULL,
                             capture_output=True, timeout=DEADLINE)
        check(run.returncode == 0, f"bare drive: status {run.returncode}, {run.stderr!r}")
        for folder, expected in (("coll", NEW), (os.path.join("other", "B"), OLD)):
            with open(os.path.join(root, folder, "aircraft.cfg"), "rb") as f:
                check(f.read() == expected,
                      f"bare drive: {folder}'s file was {'not ' if expected == NEW else ''}"
                      f"rewritten, {run.stderr!r}")
    finally:
        if os.path.lexists(drive):
            os.remove(drive)
        shutil.rmtree(root)


prompt_cases()
unix_link_case()
bare_drive_case()
for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
