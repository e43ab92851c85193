#!/usr/bin/python3
"""End-to-end test: the real clipora binary on a private X desktop (Xvfb,
openbox, a D-Bus session with the accessibility bus), driven from outside as
a person would: real key presses and mouse moves through xdotool, a real
clipboard client (xclip), the controls found through AT-SPI by caption and
accessible name, the picture found in screenshots by its pixels.

    e2e_test.py --clipora PATH [--cli PATH] --shots DIR [--scale 1|2]

Each step leaves a screenshot DIR/NN-step.png; they are deleted when every
step passed and kept (with the program's output) when one failed. Exit
status 0 when every step passed or was skipped for a feature the program
does not have yet (each skip is printed with the feature it waits for).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

# The helper modules beside this script, read without leaving compiled
# copies in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import desktop  # noqa: E402
import pictures  # noqa: E402
from desktop import DesktopError, wait_until  # noqa: E402

# Features whose steps are written but wait for the program to have them.
# A step needing one of these is skipped with the text given here; remove an
# entry once its feature is in the program.
PENDING = {}

# Names typed into the dialogs; the Japanese characters are bound to spare
# keycodes before the program starts.
FOLDER = "写真"
SAVE_NAME = "切り抜き"

# The two test pictures: every pixel's colour follows from its place, so a
# shifted, scaled or blurred picture on the screen does not match.
def colour_a(x, y):
    return ((37 + 5 * x) & 255, (90 + 3 * y) & 255, (23 + x * y) & 255)


def colour_b(x, y):
    return ((200 - 2 * x) & 255, (x ^ y) & 255, (60 + 7 * y) & 255)


PIC_A = (200, 150)
PIC_B = (120, 90)


a11y = None  # the module, imported once the desktop's accessibility bus runs


class StepSkipped(Exception):
    pass


class Run:
    def __init__(self, args):
        self.args = args
        self.scale = args.scale
        self.work = tempfile.mkdtemp(prefix="clipora-e2e-")
        self.shots = args.shots
        self.desk = None
        self.app = None
        self.main = None
        self.origin = None       # screen position of the picture's top-left pixel
        self.shown = None        # the picture the window should show now
        self.area = None         # (xl, xr, yu, yb) the window should hold now
        self.a11y_factor = 1     # screen pixels per AT-SPI coordinate unit

    # --- the session ---------------------------------------------------------

    def start_desktop(self):
        # A screen of the same logical size at either scale factor.
        self.desk = desktop.Desktop(self.work, 1024 * self.scale, 768 * self.scale)
        self.desk.start()
        self.desk.bind_characters(FOLDER + SAVE_NAME)
        os.environ.update(self.desk.env)
        global a11y
        try:
            import a11y as module  # connects to the accessibility bus of this desktop
        except ImportError as e:
            raise DesktopError("the accessibility bus client is missing (%s): Debian's python3-pyatspi, used "
                               "with /usr/bin/python3" % e)
        a11y = module

    def launch_program(self):
        # The bus launcher tells programs that accessibility is on; the
        # variable makes Qt connect even if it asks before the bus is ready.
        env = {"QT_QPA_PLATFORM": "xcb", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
               "QT_SCALE_FACTOR": str(self.scale)}
        proc = self.desk.launch("clipora", [self.args.clipora], env, cwd=self.work)
        try:
            self.app = a11y.application("clipora", 30, gone=lambda: proc.poll() is not None)
            if self.app is not None:
                self.main = a11y.wait_for_window(self.app, "Clipora", 30)
        except TimeoutError as e:
            raise DesktopError("clipora's main window did not appear on the accessibility bus (%s):\n%s"
                               % (e, self.desk.log_tail("clipora")))
        if self.app is None:
            raise DesktopError("clipora exited with status %s before its window appeared:\n%s"
                               % (proc.returncode, self.desk.log_tail("clipora")))
        self.window_id = wait_until(lambda: self._window_id("^Clipora$"), 20, "the main window on the X display")

    def _window_id(self, title):
        out = self.desk.run(["xdotool", "search", "--onlyvisible", "--name", title], check=False)
        ids = out.stdout.decode().split()
        return ids[0] if ids else None

    def activate_main(self):
        self.desk.xdotool("windowactivate", "--sync", self.window_id)
        wait_until(lambda: self.main.has_state(a11y.pyatspi.STATE_ACTIVE), 20, "the main window to be active")

    # --- looking and acting ------------------------------------------------------

    def screen_point(self, control):
        x, y, w, h = control.extents()
        f = self.a11y_factor
        return int((x + w / 2) * f), int((y + h / 2) * f)

    def click(self, control):
        self.desk.click_at(*self.screen_point(control))

    def field(self, name, root=None):
        found = a11y.find(root or self.main, "text", name)
        if found is None:
            raise AssertionError("no field %r" % name)
        return found

    def type_into(self, field, text, enter=True):
        """Clicks into the field, replaces its text, and presses Enter."""
        self.click(field)
        wait_until(field.focused, 10, "the focus in %r" % field)
        self.desk.key("ctrl+a")
        self.desk.type_text(text)
        if enter:
            self.desk.key("Return")

    def expect_fields(self, **expected):
        names = {"xl": "左端", "xr": "右端", "yu": "上端", "yb": "下端", "sx": "横サイズ", "sy": "縦サイズ"}
        for key, value in expected.items():
            a11y.wait_for_text(self.field(names[key]), str(value))

    def expect_size_labels(self, width, height):
        a11y.wait_for_name(self.main, "label", "X : %d" % width)
        a11y.wait_for_name(self.main, "label", "Y : %d" % height)

    def screen_at(self, left, top, width, height):
        """The screen rectangle as an Image (screen pixels)."""
        shot = self.desk.screenshot()
        return shot.crop(left, top, left + width, top + height)

    def expected_display(self, picture, area):
        """The picture as the window should show it: the marker inverts the
        picture pixels one pixel outside the area (those inside the picture)."""
        shown = pictures.Image(picture.width, picture.height, picture.data)
        xl, xr, yu, yb = area
        outline = set()
        for x in range(xl - 1, xr + 1):
            outline.add((x, yu - 1))
            outline.add((x, yb))
        for y in range(yu - 1, yb + 1):
            outline.add((xl - 1, y))
            outline.add((xr, y))
        for x, y in outline:
            if 0 <= x < picture.width and 0 <= y < picture.height:
                i = (y * picture.width + x) * 3
                shown.data[i:i + 3] = bytes(pictures.inverted(picture.pixel(x, y)))
        return shown

    def check_display(self, what, expected=None, timeout=15):
        """Waits until the screen shows `expected` (by default self.shown
        with the marker of self.area) at self.origin, each picture pixel as a
        scale x scale block; fails naming the first wrong pixel."""
        if expected is None:
            expected = self.expected_display(self.shown, self.area)
        s = self.scale
        last = [None]

        def matches():
            got = self.screen_at(self.origin[0], self.origin[1], expected.width * s, expected.height * s)
            for y in range(expected.height * s):
                if got.row(y) != pictures.scaled_row(expected, y // s, s):
                    for x in range(expected.width * s):
                        if got.pixel(x, y) != expected.pixel(x // s, y // s):
                            last[0] = ("picture pixel (%d, %d) (screen pixel %d, %d) is %s, expected %s"
                                       % (x // s, y // s, self.origin[0] + x, self.origin[1] + y,
                                          got.pixel(x, y), expected.pixel(x // s, y // s)))
                            return False
            return True
        try:
            wait_until(matches, timeout, what, interval=0.2)
        except TimeoutError:
            raise AssertionError("%s: %s" % (what, last[0]))

    def locate(self, picture, what, timeout=15):
        """Waits until the picture appears on the screen (1:1 at scale 1,
        every pixel a 2 x 2 block at scale 2) and records its place."""
        try:
            self.origin = wait_until(lambda: pictures.find_picture(self.desk.screenshot(), picture, self.scale),
                                     timeout, what, interval=0.2)
        except TimeoutError:
            raise AssertionError("%s: the picture is not on the screen pixel for pixel" % what)

    def picture_point(self, px, py):
        """Screen point over picture pixel (px, py): at scale 2 the last
        screen pixel of its block, which lies half a logical pixel in."""
        s = self.scale
        return self.origin[0] + px * s + s - 1, self.origin[1] + py * s + s - 1

    def set_area_by_fields(self, xl, xr, yu, yb):
        for name, value in (("右端", xr), ("左端", xl), ("下端", yb), ("上端", yu)):
            self.type_into(self.field(name), str(value))
        self.expect_fields(xl=xl, xr=xr, yu=yu, yb=yb, sx=xr - xl, sy=yb - yu)
        self.area = (xl, xr, yu, yb)

    def xclip_out(self, target):
        return self.desk.run(["xclip", "-selection", "clipboard", "-t", target, "-o"], check=False)

    def xclip_offer(self, target, data):
        """Puts data on the clipboard. xclip stays in the background serving
        it until another program takes the clipboard over or the X server
        ends; it keeps no pipe of ours open."""
        subprocess.run(["xclip", "-selection", "clipboard", "-t", target, "-i"], input=data, env=self.desk.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=20, check=True)

    # --- the steps ---------------------------------------------------------------

    def step_start(self):
        self.launch_program()
        self.activate_main()
        # AT-SPI gives places in the program's own units (Qt 6.4: logical
        # pixels, so half the screen's at scale 2); the window's size on the
        # screen against its size there gives the factor.
        geometry = self.desk.run(["xdotool", "getwindowgeometry", "--shell", self.window_id]).stdout.decode()
        width = int(dict(line.split("=") for line in geometry.split())["WIDTH"])
        self.a11y_factor = round(width / self.main.extents()[2])
        if self.a11y_factor not in (1, self.scale):
            raise AssertionError("the window is %d screen pixels wide and %d in the program's units: "
                                 "neither 1:1 nor scaled by %d" % (width, self.main.extents()[2], self.scale))
        for caption in ("ロード", "サイズ変更", "カット＆保存", "左端移動", "右端移動", "上端移動", "下端移動"):
            a11y.wait_for(self.main, "check box" if caption.endswith("移動") else "push button", caption, 10)

    def step_open_dialog(self):
        folder = os.path.join(self.work, FOLDER)
        os.makedirs(folder)
        self.pic_a = pictures.Image.from_function(PIC_A[0], PIC_A[1], colour_a)
        self.path_a = os.path.join(folder, "a.bmp")
        with open(self.path_a, "wb") as f:
            f.write(pictures.bmp_bytes(self.pic_a))
        self.click(a11y.wait_for(self.main, "push button", "ロード"))
        dialog = a11y.wait_for_window(self.app, "ファイルを開く")
        name = wait_until(lambda: a11y.find(dialog, "text", "File name:"), 10, "the file name field")
        wait_until(name.focused, 10, "the focus in the file name field")
        self.desk.key("ctrl+a")
        self.desk.type_text(self.path_a)
        a11y.wait_for_text(name, self.path_a)
        self.desk.key("Return")
        wait_until(lambda: not dialog.showing() if _alive(dialog) else True, 15, "the open dialog to close")
        self.expect_size_labels(*PIC_A)
        self.expect_fields(xl=0, xr=PIC_A[0], yu=0, yb=PIC_A[1], sx=PIC_A[0], sy=PIC_A[1])
        self.shown = self.pic_a
        self.area = (0, PIC_A[0], 0, PIC_A[1])
        self.locate(self.pic_a, "the loaded picture")
        # The picture lies where the window has its picture control: the
        # controls and the picture are scaled together.
        x, y, _, _ = a11y.find(self.main, "image", "画像").extents()
        placed = (x * self.a11y_factor, y * self.a11y_factor)
        if abs(placed[0] - self.origin[0]) > 1 or abs(placed[1] - self.origin[1]) > 1:
            raise AssertionError("the picture is drawn at %s on the screen, its control stands at %s"
                                 % (self.origin, placed))
        self.check_display("the loaded picture with the marker around it")

    def step_ctrl_drag(self):
        self.needs("mouse")
        self.activate_main()
        x0, y0 = self.picture_point(40, 30)
        x1, y1 = self.picture_point(139, 89)
        d = self.desk
        d.move_to(x0, y0)
        d.xdotool("keydown", "ctrl")
        try:
            d.xdotool("mousedown", 1)
            for i in range(1, 5):
                d.move_to(x0 + (x1 - x0) * i // 4, y0 + (y1 - y0) * i // 4)
            d.xdotool("mouseup", 1)
        finally:
            d.xdotool("keyup", "ctrl")
        self.expect_fields(xl=40, xr=140, yu=30, yb=90, sx=100, sy=60)
        self.area = (40, 140, 30, 90)
        self.check_display("the marker after the drag")

    def step_field_enter(self):
        if self.area == (0, PIC_A[0], 0, PIC_A[1]):  # no drag before
            self.set_area_by_fields(40, 140, 30, 90)
        self.type_into(self.field("左端"), "50")
        self.expect_fields(xl=50, sx=90, xr=140)
        ruler = a11y.find(self.main, "slider", "横範囲")
        wait_until(lambda: ruler.value() == 50 + 90 // 2, 10, "the ruler's thumb at the middle of the area")
        self.area = (50, 140, 30, 90)
        self.check_display("the marker after Enter in the left edge field")

    def step_guide_line(self):
        self.needs("rulers")
        xl, xr, yu, yb = self.area
        self.click(a11y.wait_for(self.main, "check box", "左端移動"))
        def with_line(column):  # the blue guide line over the marker
            shown = self.expected_display(self.shown, self.area)
            for y in range(shown.height):
                i = (y * shown.width + column) * 3
                shown.data[i:i + 3] = bytes((0, 0, 255))
            return shown
        self.check_display("the blue guide line on the left outline", with_line(xl - 1))
        # The focused ruler's keys move the left edge with the line.
        self.desk.key("Right", "Right")
        self.expect_fields(xl=xl + 2, sx=xr - xl - 2)
        self.area = (xl + 2, xr, yu, yb)
        self.check_display("the guide line two columns further right", with_line(xl + 1))
        # A click into a field ends the edge-move mode and hides the line.
        self.click(self.field("左端"))
        self.check_display("the marker after the edge-move mode ended")

    def step_save_png(self):
        self.needs("cutsave")
        xl, xr, yu, yb = self.area
        self.click(a11y.wait_for(self.main, "push button", "カット＆保存"))
        dialog = a11y.wait_for_window(self.app, "名前を付けて保存")
        # The file type box: the combo box that lists PNG.
        types = wait_until(lambda: next((box for box in a11y.find_all(dialog, "combo box")
                                         if a11y.find(box, "list item", "PNG", showing=False)), None),
                           10, "the file type box")
        self.click(types)
        self.click(a11y.wait_for(dialog, "list item", "PNG", 10))
        wait_until(lambda: types.name == "PNG", 10, "the PNG filter to be chosen")
        name = a11y.find(dialog, "text", "File name:")
        self.type_into(name, SAVE_NAME, enter=False)
        a11y.wait_for_text(name, SAVE_NAME)
        self.desk.key("Return")
        target = os.path.join(self.work, FOLDER, SAVE_NAME + ".png")
        data = wait_until(lambda: _complete_png(target), 20, "the saved file %s" % target)
        image, chunks, ihdr = pictures.read_png(data)
        if set(chunks) != {"IHDR", "IDAT", "IEND"}:
            raise AssertionError("saved PNG has chunks %s" % chunks)
        if ihdr[3] != 2:
            raise AssertionError("saved PNG has colour type %d, expected truecolour (2)" % ihdr[3])
        diff = self.pic_a.crop(xl, yu, xr, yb).first_difference(image)
        if diff:
            raise AssertionError("saved PNG: %s" % diff)
        others = sorted(set(os.listdir(os.path.join(self.work, FOLDER))) - {"a.bmp", SAVE_NAME + ".png"})
        if others:
            raise AssertionError("the save wrote other files too: %s" % others)

    def step_ctrl_s_crop(self):
        self.needs("cutsave")
        xl, xr, yu, yb = self.area
        self.activate_main()
        self.desk.key("ctrl+s")
        self.expect_size_labels(xr - xl, yb - yu)
        self.expect_fields(xl=0, xr=xr - xl, yu=0, yb=yb - yu)
        self.shown = self.shown.crop(xl, yu, xr, yb)
        self.area = (0, xr - xl, 0, yb - yu)
        self.check_display("the cropped picture")

    def step_resize(self):
        self.needs("resize")
        w, h = self.shown.width, self.shown.height
        new_w = w // 2
        self.activate_main()
        self.desk.key("ctrl+r")
        dialog = a11y.wait_for_window(self.app, "リサイズ")
        width_field = self.field("横サイズ", dialog)
        height_field = self.field("縦サイズ", dialog)
        a11y.wait_for_text(width_field, str(w))
        a11y.wait_for_text(height_field, str(h))
        self.type_into(width_field, str(new_w))
        new_h = round(new_w * h / w)  # the aspect ratio kept; Python rounds halves to even, as the dialog
        a11y.wait_for_text(height_field, str(new_h))
        self.click(a11y.wait_for(dialog, "push button", "プレビュー"))
        progress = a11y.find(dialog, "progress bar")
        if progress is not None:
            wait_until(lambda: progress.value() == 100, 30, "the progress bar to reach 100")
        expected = self._resized(self.shown, new_w, new_h)
        self.click(a11y.wait_for(dialog, "push button", "決定"))
        wait_until(lambda: not dialog.showing() if _alive(dialog) else True, 15, "the resize dialog to close")
        self.expect_size_labels(new_w, new_h)
        self.expect_fields(xl=0, xr=new_w, yu=0, yb=new_h)
        self.area = (0, new_w, 0, new_h)
        if expected is not None:
            self.shown = expected
            self.check_display("the resized picture")
        else:
            self.shown = None

    def _resized(self, picture, width, height):
        """The picture resized by clipora-cli, the same computation as the
        dialog's; None when no clipora-cli was given."""
        if not self.args.cli:
            return None
        src = os.path.join(self.work, "before-resize.png")
        out = os.path.join(self.work, "after-resize.png")
        with open(src, "wb") as f:
            f.write(pictures.png_bytes(picture))
        run = subprocess.run([self.args.cli, "resize", src, out, str(width), str(height)], capture_output=True)
        if run.returncode != 0:
            raise AssertionError("clipora-cli resize failed: %s" % run.stderr.decode(errors="replace"))
        with open(out, "rb") as f:
            return pictures.read_png(f.read())[0]

    def step_paste_xclip(self):
        self.pic_b = pictures.Image.from_function(PIC_B[0], PIC_B[1], colour_b)
        self.xclip_offer("image/png", pictures.png_bytes(self.pic_b))
        wait_until(lambda: b"image/png" in self.xclip_out("TARGETS").stdout, 10,
                   "xclip to offer image/png")
        self.activate_main()
        self.desk.key("ctrl+v")
        self.expect_size_labels(*PIC_B)
        self.expect_fields(xl=0, xr=PIC_B[0], yu=0, yb=PIC_B[1])
        self.shown = self.pic_b
        self.area = (0, PIC_B[0], 0, PIC_B[1])
        self.check_display("the pasted picture")

    def step_copy_xclip(self):
        self.set_area_by_fields(10, 70, 20, 50)
        self.check_display("the marker of the area to copy")
        self.activate_main()
        self.desk.key("ctrl+c")
        expected = self.pic_b.crop(10, 20, 70, 50)
        got = [None]

        def copied():
            out = self.xclip_out("image/png")
            if out.returncode != 0 or not out.stdout.startswith(b"\x89PNG"):
                return False
            got[0] = pictures.read_png(out.stdout)[0]
            return (got[0].width, got[0].height) == (expected.width, expected.height)
        try:
            wait_until(copied, 15, "the copied area on the clipboard", interval=0.2)
        except TimeoutError:
            raise AssertionError("the clipboard holds %s, expected the 60x30 area"
                                 % ("%dx%d" % (got[0].width, got[0].height) if got[0] else "no PNG"))
        diff = expected.first_difference(got[0])
        if diff:
            raise AssertionError("copied area read back through xclip: %s" % diff)

    def step_f1_about(self):
        self.activate_main()
        self.desk.key("F1")
        about = a11y.wait_for_window(self.app, "ヘルプ")
        wait_until(lambda: a11y.find(about, "label", "Version 3.3"), 10, "the version in the About window")
        wait_until(lambda: self._window_id("^ヘルプ$"), 10, "the About window on the X display")

    # --- running -------------------------------------------------------------------

    def needs(self, feature):
        if feature in PENDING:
            raise StepSkipped("needs %s, which the program does not have yet" % PENDING[feature])

    def steps(self):
        names = ["start", "open_dialog", "ctrl_drag", "field_enter", "guide_line"]
        if self.scale == 1:
            names += ["save_png", "ctrl_s_crop", "resize", "paste_xclip", "copy_xclip", "f1_about"]
        return names

    def run(self):
        if os.path.isdir(self.shots):
            shutil.rmtree(self.shots)
        os.makedirs(self.shots)
        failed = None
        skipped = []
        began = time.monotonic()
        try:
            self.start_desktop()
            for number, name in enumerate(self.steps(), 1):
                label = "%02d-%s" % (number, name.replace("_", "-"))
                t = time.monotonic()
                try:
                    getattr(self, "step_" + name)()
                except StepSkipped as e:
                    skipped.append(name)
                    print("SKIPPED %s: %s" % (label, e), flush=True)
                    continue
                except Exception as e:
                    failed = (label, e, traceback.format_exc())
                    self.save_screenshot(label + "-FAILED")
                    break
                self.save_screenshot(label)
                print("ok      %s (%.1f s)" % (label, time.monotonic() - t), flush=True)
        except DesktopError as e:
            failed = ("desktop", e, "")
        finally:
            logs = {}
            if self.desk:
                logs = {n: self.desk.log_tail(n, 40) for n in ("clipora", "openbox", "at-spi")}
                self.desk.stop()
        print("scale %d: %.1f s" % (self.scale, time.monotonic() - began))
        if failed:
            label, error, trace = failed
            if label == "desktop":
                print("FAILED: the private desktop could not be set up: %s" % error)
            else:
                print("FAILED %s: %s" % (label, error))
                print(trace)
                print("program output:\n%s" % logs.get("clipora", "(none)"))
            if os.listdir(self.shots):
                print("screenshots of each step: %s" % self.shots)
            shutil.rmtree(self.work, ignore_errors=True)
            return 1
        shutil.rmtree(self.shots, ignore_errors=True)
        shutil.rmtree(self.work, ignore_errors=True)
        if skipped:
            print("passed, with %d step(s) skipped: %s" % (len(skipped), ", ".join(skipped)))
        return 0

    def save_screenshot(self, label):
        try:
            shot = self.desk.screenshot()
        except Exception as e:  # the X server may be what failed
            print("no screenshot for %s: %s" % (label, e))
            return
        with open(os.path.join(self.shots, label + ".png"), "wb") as f:
            f.write(pictures.png_bytes(shot))


def _alive(control):
    try:
        control.name
        return True
    except Exception:
        return False


def _complete_png(path):
    """The file's bytes once it is a whole PNG (it ends with IEND)."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return None
    return data if data.endswith(b"IEND\xaeB`\x82") else None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--clipora", required=True)
    parser.add_argument("--cli")
    parser.add_argument("--shots", required=True, help="folder for the screenshots of the steps")
    parser.add_argument("--scale", type=int, choices=(1, 2), default=1)
    args = parser.parse_args()
    return Run(args).run()


if __name__ == "__main__":
    sys.exit(main())
