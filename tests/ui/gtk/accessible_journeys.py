#!/usr/bin/python3
# The journeys of accessible_test.sh: `ryn config` and `ryn wizard` driven by what the
# accessibility bus says about their windows. Controls are found by role and accessible
# name and clicked at their extents on screen; Alt+letter must focus the field its label
# names; a page check that refuses must leave the focus in the field at fault; Tab and
# Shift+Tab must visit the same named, visible controls in opposite orders. Expectations
# are written out here or computed with Python's csv module, never by our own code.
# Arguments: RYN ENGINE_DIR WORK_DIR SAMPLE_DIR.
import csv
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

RYN, ENGINES, WORK, SAMPLE = sys.argv[1:5]


class Failure(Exception):
    pass


class FocusTracker:
    """The control the focus went to last, as the bus announces it to a screen reader: a
    combo box's focus is its inner button's, which has no state of the combo's own."""

    def __init__(self):
        self.last = None
        pyatspi.Registry.registerEventListener(self.heard, "object:state-changed:focused")

    def heard(self, event):
        if event.detail1:
            self.last = event.source

    def pump(self, seconds):
        context = GLib.MainContext.default()
        end = time.time() + seconds
        while time.time() < end:
            while context.pending():
                context.iteration(False)
            time.sleep(0.02)


focus = FocusTracker()


def xdo(*args):
    subprocess.run(["xdotool", *args], check=True)
    focus.pump(0.3)


def showing(obj):
    s = obj.getState()
    return s.contains(pyatspi.STATE_SHOWING) and s.contains(pyatspi.STATE_VISIBLE)


# Inside these the children are items and cells, named by their data, not controls.
ITEMS_INSIDE = {pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_LIST,
                pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_MENU, pyatspi.ROLE_PAGE_TAB_LIST}


def walk(obj):
    yield obj
    if obj.getRole() in ITEMS_INSIDE:
        return
    for i in range(obj.childCount):
        child = obj.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


class Ryn:
    """One run of ryn, its application on the bus and its output."""

    def __init__(self, *args):
        self.out = os.path.join(WORK, "a11y.out")
        with open(self.out, "wb") as out, open(os.path.join(WORK, "a11y.err"), "wb") as err:
            self.proc = subprocess.Popen([RYN, *args, "--dir", ENGINES], stdout=out, stderr=err)
        self.app = None
        for _ in range(200):
            desktop = pyatspi.Registry.getDesktop(0)
            apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
            self.app = next((a for a in apps if a is not None and a.get_process_id() == self.proc.pid), None)
            if self.app is not None and self.window(quiet=True):
                break
            time.sleep(0.1)
        else:
            raise Failure(f"ryn {args[0]} did not show a window on the accessibility bus")
        time.sleep(0.5)

    def window(self, name=None, quiet=False):
        """The showing top-level window (of that name)."""
        for _ in range(1 if quiet else 100):
            for i in range(self.app.childCount):
                w = self.app.getChildAtIndex(i)
                if w is not None and showing(w) and (name is None or w.name == name):
                    return w
            time.sleep(0.1)
        if quiet:
            return None
        raise Failure(f"no window {name or ''} is showing")

    def controls(self, window=None):
        return [o for o in walk(window or self.window()) if showing(o)]

    def find(self, role, name, window=None):
        for _ in range(50):
            found = [o for o in self.controls(window) if o.getRole() == role and o.name == name]
            if found:
                return found[0]
            time.sleep(0.1)
        seen = sorted({f"{o.getRoleName()} {o.name!r}" for o in self.controls(window) if o.name})
        raise Failure(f"no {pyatspi.Role(role)} named {name!r}; showing: {seen}")

    def click(self, obj):
        x, y, w, h = obj.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if w <= 0 or h <= 0:
            raise Failure(f"{obj.name!r} has no extents on screen")
        xdo("mousemove", str(x + w // 2), str(y + h // 2), "click", "1")

    def focused(self):
        """Role and name of the control with the focus; None when it is nowhere to be seen."""
        focus.pump(0.2)
        o = focus.last
        if o is None or not showing(o):
            return None
        x, y, w, h = o.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return (o.getRoleName(), o.name) if w > 0 and h > 0 else None

    def finish(self, status):
        try:
            got = self.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            raise Failure("the window is still open")
        if got != status:
            err = open(os.path.join(WORK, "a11y.err"), "rb").read().decode("utf-8", "replace")
            raise Failure(f"ryn exited {got}, not {status}; the end of what it said:\n{err[-3000:]}")

    def options(self):
        text = open(self.out, "rb").read().decode("utf-8").replace("\r\n", "\n")
        values = {}
        for line in text.split("\n"):
            if "=" in line and not line.startswith("\t"):
                key, value = line.split("=", 1)
                values[key] = value.rstrip(";")
        return values


def text_of(obj):
    t = obj.queryText()
    return t.getText(0, t.characterCount)


def expect(what, got, wanted):
    if got != wanted:
        raise Failure(f"{what}: {got!r}, expected {wanted!r}")


def unnamed_controls(ryn, window=None):
    """The focusable controls on screen that a screen reader could not name."""
    return [f"{o.getRoleName()} at {o.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)}"
            for o in ryn.controls(window)
            if o.getState().contains(pyatspi.STATE_FOCUSABLE) and not o.name.strip()]


def column_titles(table):
    t = table.queryTable()
    return [t.getColumnDescription(i) for i in range(t.nColumns)]


def tab_cycle(ryn, key, limit=30):
    """The focus stops key visits, from the first it reaches round to it again."""
    xdo("key", key)
    start = ryn.focused()
    stops = [start]
    for _ in range(limit):
        if stops[-1] is None:
            raise Failure(f"{key} moved the focus to nothing a user can see (after {stops[:-1]})")
        xdo("key", key)
        now = ryn.focused()
        if now == start:
            return stops
        stops.append(now)
    raise Failure(f"{key} never came back to {start}: {stops}")


def check_tab_order(ryn, page):
    forward = tab_cycle(ryn, "Tab")
    backward = list(reversed(tab_cycle(ryn, "shift+Tab")))
    # The same circle, wherever each walk started on it.
    if forward[0] in backward:
        at = backward.index(forward[0])
        backward = backward[at:] + backward[:at]
    expect(f"{page}: Shift+Tab visits Tab's stops backwards", backward, forward)
    for role, name in forward:
        if not name:
            raise Failure(f"{page}: a {role} without a name is a tab stop")
    return forward


def csv_journey():
    """`ryn config CSV文件`: fields found by their labels' names, the delimiter and the
    encoding set with Alt+letter and the arrow keys, the preview's columns named."""
    source = os.path.join(WORK, "a11y_in.csv")
    rows = [["代码", "名称"], ["1", "甲"], ["2", "乙"]]
    with open(source, "w", encoding="utf-8", newline="") as f:
        csv.writer(f, delimiter="|", lineterminator="\r\n").writerows(rows)
    ryn = Ryn("config", "CSV文件")
    expect("unnamed controls on the file page", unnamed_controls(ryn), [])
    stops = check_tab_order(ryn, "the CSV file page")
    for combo in ("首行为列名", "文件编码", "列的类型"):
        if ("toggle button", combo) not in stops:
            raise Failure(f"Tab does not reach the combo box {combo}: {stops}")
    ryn.click(ryn.find(pyatspi.ROLE_TEXT, "CSV文件"))
    xdo("type", "--delay", "20", source)
    # Alt+D: the delimiter's field, its "," selected whole by the focus, so typing replaces it.
    xdo("key", "alt+d")
    expect("focus after Alt+D", ryn.focused(), ("text", "分隔符"))
    xdo("type", "|")
    expect("the delimiter field", text_of(ryn.find(pyatspi.ROLE_TEXT, "分隔符")), "|")
    expect("the file field", text_of(ryn.find(pyatspi.ROLE_TEXT, "CSV文件")), source)
    # Alt+E and Down: the encoding after 自动, UTF-8.
    xdo("key", "alt+e")
    expect("focus after Alt+E", ryn.focused(), ("toggle button", "文件编码"))
    xdo("key", "Down")
    ryn.click(ryn.find(pyatspi.ROLE_PUSH_BUTTON, "下一步 >"))
    preview = ryn.find(pyatspi.ROLE_TABLE, "数据预览")
    expect("the preview's column titles", column_titles(preview), rows[0])
    ryn.click(ryn.find(pyatspi.ROLE_PUSH_BUTTON, "确定"))
    ryn.finish(0)
    options = ryn.options()
    expect("文件名", options.get("文件名"), source)
    expect("分隔符", options.get("分隔符"), "|")
    expect("编码", options.get("编码"), "UTF-8")
    print("csv: named fields, Alt+D and Alt+E, the preview's columns: passed")


def ryn_journey():
    """`ryn config Ryn文件` with the sample's options: the identity page refuses a blank
    年度 and leaves the focus there; the field page's lists and columns are named."""
    options = open(os.path.join(SAMPLE, "ryn_export.options"), encoding="utf-8").read()
    options = options.replace("年度=2024;", "年度=;").replace("文件名=report_sample.ryn;",
                                                           f"文件名={WORK}/a11y_out.ryn;")
    ryn = Ryn("config", "Ryn文件", "--options", options)
    expect("unnamed controls on the file page", unnamed_controls(ryn), [])
    expect("the file field", text_of(ryn.find(pyatspi.ROLE_TEXT, "导出文件")), f"{WORK}/a11y_out.ryn")
    xdo("key", "alt+n")
    code = ryn.find(pyatspi.ROLE_TEXT, "单位代码")
    expect("unnamed controls on the identity page", unnamed_controls(ryn), [])
    check_tab_order(ryn, "the identity page")
    expect("the unit code field", text_of(code), "D00000")
    # 下一步 with 年度 blank: refused, and after the message the focus is in 年度.
    ryn.click(ryn.find(pyatspi.ROLE_PUSH_BUTTON, "下一步 >"))
    # Waited for on the display: the bus is not asked while the box is being made.
    subprocess.run(["timeout", "20", "xdotool", "search", "--sync", "--onlyvisible", "--name", "^提示$"],
                   check=True, stdout=subprocess.DEVNULL)
    time.sleep(0.5)
    xdo("key", "Return")
    time.sleep(0.5)
    expect("focus after the refusal", ryn.focused(), ("text", "年度"))
    xdo("type", "2025")
    expect("the year field", text_of(ryn.find(pyatspi.ROLE_TEXT, "年度")), "2025")
    # Alt+P: the period, typed over.
    xdo("key", "alt+p")
    expect("focus after Alt+P", ryn.focused(), ("text", "时期"))
    xdo("type", "7")
    xdo("key", "alt+n")
    chosen = ryn.find(pyatspi.ROLE_TABLE, "导出字段")
    available = ryn.find(pyatspi.ROLE_TABLE, "可选字段")
    expect("unnamed controls on the field page", unnamed_controls(ryn), [])
    for table in (chosen, available):
        expect(f"the column titles of {table.name}", column_titles(table), ["名称", "标识"])
    ryn.click(ryn.find(pyatspi.ROLE_PUSH_BUTTON, "确定"))
    ryn.finish(0)
    printed = ryn.options()
    expect("年度", printed.get("年度"), "2025")
    expect("时期", printed.get("时期"), "7")
    expect("单位标识", printed.get("单位标识"), "D00000")
    print("ryn: the refused 年度 took the focus, Alt+P, named lists and columns: passed")


def wizard_journey():
    """`ryn wizard`: the CSV pages inside the wizard keep their names and tab order, Alt+N
    and Alt+B turn the pages, and the source page's list is named and its only field."""
    source = os.path.join(WORK, "a11y_wizard.csv")
    with open(source, "w", encoding="utf-8", newline="") as f:
        f.write("code,name\r\n1,a\r\n")
    ryn = Ryn("wizard", "--from", "CSV文件", "--from-options", f"文件名={source}", "--to", "Ryn文件")
    wizard = ryn.window("配置向导")
    expect("unnamed controls on the CSV file page", unnamed_controls(ryn, wizard), [])
    expect("the file field in the wizard", text_of(ryn.find(pyatspi.ROLE_TEXT, "CSV文件", wizard)), source)
    stops = check_tab_order(ryn, "the wizard's CSV file page")
    roles = [role for role, _ in stops]
    if "push button" not in roles or "text" not in roles or ("toggle button", "文件编码") not in stops:
        raise Failure(f"Tab leaves out the fields, the combo boxes or the buttons: {stops}")
    xdo("key", "alt+n")
    expect("the preview's column titles", column_titles(ryn.find(pyatspi.ROLE_TABLE, "数据预览", wizard)), ["code", "name"])
    expect("unnamed controls on the preview page", unnamed_controls(ryn, wizard), [])
    # Alt+B twice: back to the page that chooses the source, whose description is read
    # only and no tab stop.
    xdo("key", "alt+b")
    xdo("key", "alt+b")
    time.sleep(0.5)
    expect("unnamed controls on the source page", unnamed_controls(ryn, wizard), [])
    stops = check_tab_order(ryn, "the wizard's source page")
    expect("the source page's tab stops", [stop for stop in stops if stop[0] != "push button"],
           [("toggle button", "数据源")])
    ryn.click(ryn.find(pyatspi.ROLE_PUSH_BUTTON, "关闭", wizard))
    ryn.finish(1)
    print("wizard: named pages and their tab order: passed")


def main():
    failed = False
    for journey in (csv_journey, ryn_journey, wizard_journey):
        try:
            journey()
        except Failure as e:
            print(f"FAILED {journey.__name__}: {e}")
            failed = True
            break
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
