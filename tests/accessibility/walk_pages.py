#!/usr/bin/python3
"""Walks Plenwise through every page of every function and reads each page over the
accessibility bus (AT-SPI), as a screen reader does: every interactive control that shows must
have a name or a label (a labelled-by relation), and every page a name. Lists must be labelled,
not merely named by their value. Every control and label must lie inside its page.

Runs inside a D-Bus session and an X server of its own (run.sh starts both). Arguments: the
plenwise program, a scratch folder and settings of the screen (QT_FONT_DPI=144). The program is driven by a step file; at each page the
file says "a11y-check NAME" and waits until this script has read the page and written NAME into
the handshake file.
"""
import os
import subprocess
import sys
import time

import pyatspi

# Every page of every function, reached through the program's own pages as an operator would.
STEPS = """
timeout 60000
wait 1000
select 1003 WL4000
@CHECK@ selection
select 1004 "Power cleaning"
click 1001
wait 3000
@CHECK@ power-cleaning
click 1002
wait 1000
select 1004 "Firmware download"
click 1001
wait 1003
answer-file @HOME@/WL4000_BN0106.upg
click 1007
expect-text 1010 WL4000_BN0106.upg
@CHECK@ firmware
click 1008
wait 1001
@CHECK@ firmware-versions
click 1
wait-gone 1001
wait 1003
click 1002
wait 1000
select 1004 "Head gap adjustment"
click 1001
wait 3001
@CHECK@ service-menu
check 3005 on
click 2001
wait 3003
@CHECK@ direction-and-mode
check 3028 on
check 3030 on
check 3029 on
click 2001
wait 3002
@CHECK@ gap-uni-d
click 2001
wait 3002
@CHECK@ gap-bi-d
answer-box 1
click 2001
wait 1000
select 1004 "Media settings"
click 1001
wait 3001
check 3001 on
click 2001
wait 2000
check 2004 on
check 2005 on
check 2007 on
check 2008 on
check 2009 on
check 2010 on
@CHECK@ setting-selection
click 2001
wait 2001
@CHECK@ media
click 2012
wait 2002
@CHECK@ sample-settings
click 2
wait-gone 2002
wait 2001
click 2001
wait 2003
@CHECK@ head-path-delay
click 2001
wait 2004
@CHECK@ feeding
click 2001
wait 2005
@CHECK@ vacuum
click 2001
wait 2006
@CHECK@ cut
click 2001
wait 2007
@CHECK@ print-mode
click 2001
wait 2008
@CHECK@ density
click 2001
wait 2009
@CHECK@ summary
answer-box 1
click 2001
wait 1000
select 1003 WL3000
select 1004 "Head gap adjustment"
click 1001
wait 3001
check 3005 on
check 3001 on
click 2001
wait 3003
@CHECK@ second-family-direction-and-mode
check 3030 on
check 3029 on
click 2001
wait 3002
@CHECK@ second-family-gap
click 2001
wait 2000
check 2004 off
check 2007 off
check 2008 off
check 2009 off
check 2010 off
check 2005 on
click 2001
wait 2001
@CHECK@ second-family-media
click 2001
wait 2004
@CHECK@ second-family-feeding
answer-box 1
click 2002
"""

# What an operator acts on. Scroll bars belong to the message pane they scroll, which is named.
INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_SLIDER, pyatspi.ROLE_LIST, pyatspi.ROLE_PROGRESS_BAR, pyatspi.ROLE_TOGGLE_BUTTON,
}
# Fields whose own name may just be their value: they need a label.
VALUE_NAMED = {pyatspi.ROLE_COMBO_BOX}
# Fields named by a label: the label says what they hold, in words.
NAMED_IN_WORDS = {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_SLIDER}
PAGE_ROLES = {pyatspi.ROLE_DIALOG, pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW}


def showing(node):
    states = node.getState()
    return states.contains(pyatspi.STATE_SHOWING) and states.contains(pyatspi.STATE_VISIBLE)


def labelled(node):
    return any(r.getRelationType() == pyatspi.RELATION_LABELLED_BY and r.getNTargets() > 0
               for r in node.getRelationSet())


def value_of(node):
    try:
        text = node.queryText()
        return text.getText(0, -1)
    except NotImplementedError:
        return ""


def describe(node):
    extent = node.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    value = value_of(node)
    value = value if len(value) <= 24 else value[:24] + "..."
    return "%s at %d,%d%s%s" % (node.getRoleName(), extent.x, extent.y,
                                " named %r" % node.name if node.name else "",
                                " holding %r" % value if value else "")


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.x + box.width, box.y + box.height


def inside(inner, outer):
    return (inner[0] >= outer[0] and inner[1] >= outer[1] and inner[2] <= outer[2]
            and inner[3] <= outer[3])


def inspect(node, page, problems, pages):
    """Collects the nameless controls and pages below node, and the controls that stick out of
    their page; page is the innermost page."""
    if not showing(node):
        return
    role = node.getRole()
    if page is not None and role in INTERACTIVE | {pyatspi.ROLE_LABEL} and not inside(
            extents(node), extents(page)):
        problems.append("%s sticks out of page %r" % (describe(node), page.name))
    if role in PAGE_ROLES:
        page = node
        pages.append(node)
        if not node.name:
            problems.append("a page (%s) has no name" % describe(node))
    elif role in INTERACTIVE:
        needs_label = role in VALUE_NAMED
        where = "%s on page %r" % (describe(node), page.name if page else None)
        if not labelled(node) and (needs_label or not node.name):
            problems.append(where + (" has no label" if needs_label else " has no name"))
        elif role in NAMED_IN_WORDS and not any(c.isalpha() for c in node.name):
            # A figure such as "+50" is the end of a scale, not what the field holds.
            problems.append(where + " is named by a figure")
        if role in (pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_LIST):
            return  # their entries are named by their texts
    for child in node:
        if child is not None:
            inspect(child, page, problems, pages)


def find_application(name, deadline):
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name and app.childCount > 0:
                return app
        time.sleep(0.2)
    return None


def main():
    program, scratch = sys.argv[1], sys.argv[2]
    # Further arguments are settings of the screen, such as QT_SCALE_FACTOR=2.
    screen = dict(setting.split("=", 1) for setting in sys.argv[3:])
    home = os.path.join(scratch, "home")
    os.makedirs(home, exist_ok=True)
    with open(os.path.join(home, "WL4000_BN0106.upg"), "w") as firmware:
        firmware.write("PLENWISE-FW-1.0\nBN0106" + "F" * 4096)
    handshake = os.path.join(scratch, "checked")
    open(handshake, "w").close()
    lines = []
    for line in STEPS.replace("@HOME@", home).splitlines():
        if line.startswith("@CHECK@ "):
            label = line.split()[1]
            lines.append("say \"a11y-check %s\"" % label)
            lines.append("wait-file %s \"[%s]\"" % (handshake, label))
        else:
            lines.append(line)
    with open(os.path.join(scratch, "walk.steps"), "w") as step_file:
        step_file.write("\n".join(lines) + "\n")

    env = dict(os.environ, HOME=home, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QT_ACCESSIBILITY="1", **screen)
    print("screen: %s" % (" ".join(sys.argv[3:]) or "as it is"))
    process = subprocess.Popen([program, "--steps", os.path.join(scratch, "walk.steps")],
                               cwd=scratch, env=env, stderr=subprocess.PIPE, text=True)
    problems = []
    visited = []
    app = None
    for line in process.stderr:
        if not line.startswith("a11y-check "):
            sys.stderr.write(line)
            continue
        label = line.split()[1]
        if app is None:
            app = find_application(os.path.basename(program), time.monotonic() + 30)
            if app is None:
                problems.append("the program never appeared on the accessibility bus")
                process.kill()
                break
        found = []
        pages = []
        for window in app:
            if window is not None:
                inspect(window, None, found, pages)
        names = [p.name for p in pages]
        visited.append(label)
        print("%-34s pages %s: %s" % (label, names, "; ".join(found) if found else "all named"))
        problems.extend("%s: %s" % (label, problem) for problem in found)
        with open(handshake, "a") as done:
            done.write("[%s]\n" % label)
    code = process.wait(timeout=60)
    if code != 0:
        problems.append("the walk ended with exit code %d" % code)
    expected = [line.split()[1] for line in STEPS.splitlines() if line.startswith("@CHECK@ ")]
    if visited != expected:
        problems.append("visited %s, not %s" % (visited, expected))
    for problem in problems:
        print("FAIL " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
