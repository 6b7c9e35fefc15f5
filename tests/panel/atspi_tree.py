#!/usr/bin/python3
"""What a screen reader gets from the panel, read over AT-SPI in one walk.

Usage: atspi_tree.py VELMORA
Runs under a virtual display with its own session and accessibility bus
(xvfb-run, dbus-run-session, at-spi-bus-launcher); exits 77 (skipped) where
one of them is missing, 1 on the first finding listed, 0 when none.
"""
import os
import shutil
import subprocess
import sys
import time

SKIP = 77
# A session whose registry came up too late for the panel; tried once more.
NEVER_APPEARED = 3


def walk(node, found, depth=0):
    import pyatspi

    try:
        role = node.getRoleName()
        name = node.name or ""
        description = node.description or ""
        showing = node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:  # a node that went away while walked
        return
    try:
        extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        size = (extents.width, extents.height)
    except NotImplementedError:  # the application itself has no place
        size = (1, 1)
    found.append((role, name, description, showing, size))
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, found, depth + 1)


def inner(program):
    import pyatspi

    # On the virtual display (the tests' offscreen platform has no bridge to
    # AT-SPI).
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QXIIC_BUS="sim", QXIIC_SIM_DIR="", QT_ACCESSIBILITY="1")
    panel = subprocess.Popen([program], env=env)
    try:
        app = None
        for _ in range(300):  # a busy machine starts it slowly
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                candidate = desktop.getChildAtIndex(i)
                if candidate is not None and candidate.name.lower() == "velmora" \
                        and candidate.childCount > 0:
                    app = candidate
            if app is not None:
                break
            time.sleep(0.2)
        if app is None:
            print("the panel never appeared on the accessibility bus")
            return NEVER_APPEARED
        time.sleep(1)  # the read-back fills the controls
        found = []
        walk(app, found)
    finally:
        panel.terminate()
        panel.wait()

    problems = []
    for role, name, description, showing, size in found:
        if "<" in description or "&quot;" in description:
            problems.append(f"{role} '{name}': description as markup: {description!r}")
        if not showing or size[0] <= 0 or size[1] <= 0:
            if role not in ("application", "frame", "window", "filler", "popup menu", "menu",
                            "menu item", "separator"):
                problems.append(f"{role} '{name}' exposed without size (showing: {showing})")
    roles = {name: role for role, name, _, _, _ in found if name}
    for name in ("Sensor", "EEprom0", "EEprom1", "EEprom2", "EEprom3", "Manual mode", "Push to Set"):
        if roles.get(name) != "radio button":
            problems.append(f"'{name}' is a {roles.get(name)!r}, not a radio button")
    if roles.get("EEPROM transfer progress") != "progress bar":
        problems.append("no progress bar named 'EEPROM transfer progress'")
    if "EEPROM address offset" in roles:
        problems.append("the hidden 'EEPROM address offset' edit is exposed")
    print(f"{len(found)} accessible objects walked")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--inner":
        return inner(sys.argv[2])
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        print("python3-pyatspi is not installed: skipped")
        return SKIP
    launcher = "/usr/libexec/at-spi-bus-launcher"
    for tool in ("xvfb-run", "dbus-run-session"):
        if not shutil.which(tool):
            print(f"{tool} is not installed: skipped")
            return SKIP
    if not os.path.exists(launcher):
        print("at-spi2-core is not installed: skipped")
        return SKIP
    script = (f"{launcher} --launch-immediately & launcher=$!; sleep 1; "
              f"{sys.executable} {os.path.abspath(__file__)} --inner {sys.argv[1]}; status=$?; "
              "kill $launcher 2>/dev/null; exit $status")
    for _ in range(2):
        status = subprocess.call(["dbus-run-session", "--", "xvfb-run", "-a", "-s",
                                  "-screen 0 1280x800x24", "sh", "-c", script])
        if status != NEVER_APPEARED:
            break
    return status


if __name__ == "__main__":
    sys.exit(main())
