#!/usr/bin/python3
"""The page in a real browser: Debian's Chromium, headless, driven through
chromedriver by Selenium, loads build-web/site from a server on 127.0.0.1
and is checked against the desktop's own picture of the same views
(explore_reference, drawn offscreen by llvmpipe). Every step waits on what
the page shows (its status line, its state, its picture), never on a fixed
time.

  tests/browser/test_page.py --site build-web/site \\
      --reference build/tests/e2e/explore_reference

scripts/web --test builds both and runs this; it ends with "N passed, N
failed". With --measure ORVANE_BSP it prints the page's first-frame time and
frame rates instead.
"""
import argparse
import functools
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import traceback

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common import utils
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

WIDTH, HEIGHT = 800, 600
MODELS = '/usr/share/assimp/models'
WUSON = os.path.join(MODELS, 'OBJ/WusonOBJ.obj')
HOUSE = os.path.join(MODELS, 'IFC/AC14-FZK-Haus.ifc')
# One file of each other format the page reads (the glTF file with its
# buffer and texture beside it).
FORMATS = ['STL/Spider_ascii.stl', 'PLY/Wuson.ply', 'glTF2/BoxTextured-glTF/BoxTextured.gltf',
           'glTF2/BoxTextured-glTF-Binary/BoxTextured.glb']
SERVED = [WUSON, HOUSE] + [os.path.join(MODELS, f) for f in FORMATS] + [
    os.path.join(MODELS, 'glTF2/BoxTextured-glTF', f) for f in ('BoxTextured0.bin', 'CesiumLogoFlat.png')]
# SwiftShader and llvmpipe place a few edge pixels differently; elsewhere a
# flat fill differs by a rounding step at most.
CHANNEL_TOLERANCE = 8
MIN_AGREEING = 0.99
WAIT = 60  # seconds before a wait on the page fails: far beyond any step


def serve(site, extra):
    """A static server of site on 127.0.0.1, with /test-data/ mapped to the
    folder extra; returns (server, base address)."""
    class Handler(http.server.SimpleHTTPRequestHandler):
        extensions_map = {'.wasm': 'application/wasm', '.js': 'text/javascript'}

        def translate_path(self, path):
            if path.startswith('/test-data/'):
                return os.path.join(extra, os.path.basename(path.split('?')[0]))
            return super().translate_path(path)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(
        ('127.0.0.1', 0), functools.partial(Handler, directory=site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f'http://127.0.0.1:{server.server_address[1]}/'


class LoopbackService(Service):
    """chromedriver reached at 127.0.0.1, not at "localhost": a bare Debian
    root (debootstrap) has no /etc/hosts to name it."""

    @property
    def service_url(self):
        return f'http://127.0.0.1:{self.port}'

    def is_connectable(self):
        return utils.is_connectable(self.port, '127.0.0.1')


def browser(profile):
    """Headless Chromium, started here, and chromedriver attached to it at
    127.0.0.1 (chromedriver would look its own Chromium up at "localhost");
    returns (driver, the Chromium process)."""
    flags = ['--headless=new', '--no-sandbox', '--use-angle=swiftshader',
             '--enable-unsafe-swiftshader', '--disable-background-networking',
             '--disable-component-update', '--no-first-run', '--disable-sync',
             '--disable-dev-shm-usage', f'--user-data-dir={profile}', '--window-size=1000,1100',
             '--force-device-scale-factor=1', '--remote-debugging-port=0']
    chromium = subprocess.Popen(['/usr/bin/chromium', *flags, 'about:blank'],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    port_file = os.path.join(profile, 'DevToolsActivePort')
    deadline = time.monotonic() + WAIT
    while not (os.path.exists(port_file) and open(port_file).read().split('\n')[0].isdigit()):
        if chromium.poll() is not None or time.monotonic() > deadline:
            chromium.kill()
            raise RuntimeError('Chromium did not start')
        time.sleep(0.05)
    options = webdriver.ChromeOptions()
    options.debugger_address = '127.0.0.1:' + open(port_file).read().split('\n')[0]
    driver = webdriver.Chrome(service=LoopbackService('/usr/bin/chromedriver'), options=options)
    return driver, chromium


def rgb_of_png(png):
    """800x600 RGB bytes, top row first, of a PNG (ImageMagick decodes it)."""
    out = subprocess.run(['convert', 'png:-', '-depth', '8', 'rgb:-'], input=png,
                         capture_output=True, check=True).stdout
    assert len(out) == WIDTH * HEIGHT * 3, f'a canvas of {len(out) // 3} pixels, not 800x600'
    return out


def agreeing(a, b, first_row=0):
    """The share of pixels (rows first_row and down) whose channels all lie
    within CHANNEL_TOLERANCE of each other."""
    start = first_row * WIDTH * 3
    total = close = 0
    for i in range(start, len(a), 3):
        total += 1
        if (abs(a[i] - b[i]) <= CHANNEL_TOLERANCE and abs(a[i + 1] - b[i + 1]) <= CHANNEL_TOLERANCE
                and abs(a[i + 2] - b[i + 2]) <= CHANNEL_TOLERANCE):
            close += 1
    return close / total


class Page:
    """One browser on the page, and the desktop's reference drawer."""

    def __init__(self, driver, base, reference, scratch):
        self.driver, self.base, self.reference, self.scratch = driver, base, reference, scratch

    def open(self, query=''):
        self.driver.get(self.base + 'index.html' + query)

    def js(self, expression):
        return self.driver.execute_script('return ' + expression)

    def wait(self, what, condition):
        try:
            return WebDriverWait(self.driver, WAIT, poll_frequency=0.05).until(
                lambda d: condition())
        except Exception:
            raise AssertionError(f'waited in vain for {what}; the page says: state '
                                 f'{self.state()!r}, status {self.status()!r}, report '
                                 f'{self.report()[:600]!r}') from None

    def state(self):
        return self.js('window.orvanePage ? orvanePage.state : "no page"')

    def status(self):
        return self.driver.find_element('id', 'status').text

    def report(self):
        return self.js('document.getElementById("report").textContent')

    def frames(self):
        return self.js('window.orvanePage ? orvanePage.frames : 0')

    def running(self, runs=1):
        """Waits until run number runs of the page draws frames and its
        status line shows a drawn count (from its second frame on)."""
        self.wait(f'run {runs} to draw', lambda: self.js('orvanePage.runs') >= runs and
                  self.state() == 'running' and self.frames() >= 2 and
                  ' 0 triangles drawn' not in self.status())
        return self.status()

    def picture(self):
        return rgb_of_png(self.driver.find_element('id', 'canvas').screenshot_as_png)

    def settled_picture(self):
        """The canvas once two screenshots a frame or more apart agree."""
        last = self.picture()
        for _ in range(50):
            frames = self.frames()
            self.wait('a new frame', lambda: self.frames() > frames)
            shot = self.picture()
            if shot == last:
                return shot
            last = shot
        raise AssertionError('the picture never settles')

    def hold(self, key, what, condition):
        """Holds key down until condition holds (the program reads the
        keyboard once a frame), then lets it go."""
        ActionChains(self.driver).key_down(key).perform()
        try:
            return self.wait(what, condition)
        finally:
            ActionChains(self.driver).key_up(key).perform()

    def desktop(self, *steps):
        """The desktop's picture after steps, as 800x600 RGB bytes, drawn
        batched as the page draws."""
        path = os.path.join(self.scratch, 'reference.rgb')
        subprocess.run([self.reference, '--draw', 'batched', *steps, '--write', path], check=True,
                       capture_output=True)
        with open(path, 'rb') as f:
            return f.read()

    def facts(self, *steps):
        """The desktop tree's (drawn triangles, depth) after steps."""
        out = subprocess.run([self.reference, *steps, '--facts'], check=True,
                             capture_output=True, text=True).stdout.split()
        return int(out[1]), int(out[3])


def status_of(total, drawn, depth):
    return f'Using BSP tree, {total} triangles total, {drawn} triangles drawn, tree depth: {depth}'


# The checks, in the order they run; each gets the Page and may print figures.

def check_demo_picture_and_keys(p):
    """The demo's own scene: the desktop's status line, its picture, key 3's
    rebuilt tree, the painter's order stepped with P and N, a node's plane,
    the depth colours, the sorted order with its wrong pixels and the tree's
    diagram: each as the desktop draws it."""
    p.open()
    status = p.running()
    drawn, depth = p.facts()
    assert status == status_of(836, drawn, depth), status
    print(f'  first frame {p.js("orvanePage.firstFrameMs"):.0f} ms after the page load')
    share = agreeing(p.settled_picture(), p.desktop())
    print(f'  start picture: {100 * share:.3f}% of pixels as the desktop draws them')
    assert share >= MIN_AGREEING, f'only {100 * share:.2f}% of the pixels agree'

    # Escape belongs to the page: the program goes on. R has no other
    # drawing to switch to: WebGL has no immediate mode.
    for key in (Keys.ESCAPE, 'r'):
        frames = p.frames()
        p.hold(key, f'frames after {key!r}', lambda: p.frames() > frames + 10)
        assert p.state() == 'running', p.state()
    assert agreeing(p.settled_picture(), p.desktop()) >= MIN_AGREEING, 'R changed the drawing'

    drawn3, depth3 = p.facts('--key3')
    want = status_of(836, drawn3, depth3)
    p.hold('3', 'key 3 to rebuild the tree', lambda: p.status() == want)

    # P: nothing painted yet; each N paints one more triangle. Compared
    # under the text block, which the page's canvas draws in its own way.
    below = 120
    # Then P again (the whole order), L (the root's plane over it), M
    # (colours by depth, with their legend), O (the sorted order), X (its
    # wrong pixels marked) and G (the tree's diagram).
    seen = ['--plane', '', '--colours', '1']
    for key, steps in (('p', ['--painter', '0']), ('n', ['--painter', '1']),
                       ('n', ['--painter', '2']), ('p', []), ('l', ['--plane', '']),
                       ('m', seen), ('o', seen + ['--order', '1']),
                       ('x', seen + ['--order', '1', '--wrong']),
                       ('g', seen + ['--order', '1', '--wrong', '--diagram', ''])):
        before = p.picture()
        p.hold(key, f'key {key.upper()} to change the picture', lambda: p.picture() != before)
        share = agreeing(p.settled_picture(), p.desktop('--key3', *steps), below)
        assert share >= MIN_AGREEING, \
            f'after {key.upper()} ({steps}): only {100 * share:.2f}% of the pixels agree'


def check_meshes_in_address(p):
    """WusonOBJ and a file of every other format named in the address: the
    page converts them, and the program builds the desktop's tree."""
    for path in [WUSON] + [os.path.join(MODELS, f) for f in FORMATS]:
        p.open('?mesh=test-data/' + os.path.basename(path))
        status = p.running()
        drawn, depth = p.facts('--mesh', path)
        assert status.endswith(f', {drawn} triangles drawn, tree depth: {depth}'), (path, status)
        if path == WUSON:
            assert status.startswith('Using BSP tree, 3732 triangles total, '), status


def check_mesh_picked_and_bad_file(p):
    """WusonOBJ through the file picker; then a corrupt mesh text, whose
    report the page shows in full while it keeps working."""
    p.open()
    p.running()
    p.driver.find_element('id', 'file').send_keys(WUSON)
    status = p.running(runs=2)
    assert status.startswith('Using BSP tree, 3732 triangles total, '), status

    corrupt = os.path.join(p.scratch, 'corrupt.txt')
    with open(corrupt, 'w') as f:
        # A face names corner 3 of a mesh with three.
        f.write('Mesh { Position { 0 { 0 0 0 } 1 { 1 0 0 } 2 { 0 1 0 } }\n'
                '       Face_Position { 0 { 0 1 3 } } }\n')
    p.driver.find_element('id', 'file').send_keys(corrupt)
    p.wait('the report of the corrupt mesh', lambda: p.state() == 'report')
    report = p.report()
    assert 'ORV_ASSERT' in report and 'File: ' in report and 'Line: ' in report, report
    assert "The report above is about the mesh file '/mesh/corrupt.txt'." in report, report

    # A file dropped on the page opens like a picked one.
    p.driver.execute_script("""
        fetch('test-data/Spider_ascii.stl').then((r) => r.blob()).then((blob) => {
          const drop = new DataTransfer();
          drop.items.add(new File([blob], 'Spider_ascii.stl'));
          document.getElementById('view').dispatchEvent(
              new DragEvent('drop', {dataTransfer: drop, bubbles: true, cancelable: true}));
        });""")
    status = p.running(runs=4)
    assert status.startswith('Using BSP tree, 1368 triangles total, '), status
    assert p.report() == '', 'the report stays after a new run started'

    p.driver.find_element('id', 'restart').click()
    assert p.running(runs=5).startswith('Using BSP tree, 836 triangles total, ')


def measure(p, converter, screenshot):
    """Prints the first frame's time and the frame rates the page counts
    (SwiftShader) for the demo and for the IFC house, which the page cannot
    read (three.js has no IFC loader): the desktop converts it first. With
    screenshot, saves the page showing the demo there."""
    house = os.path.join(p.scratch, 'data', 'house.txt')
    subprocess.run([converter, 'convert', HOUSE, house], check=True, capture_output=True)
    for name, query in (('the demo', ''), ('the IFC house', '?mesh=test-data/house.txt')):
        p.open(query)
        p.running()
        first = p.js('orvanePage.firstFrameMs')
        start = p.js('performance.now()'), p.frames()
        p.wait('five seconds of frames', lambda: p.js('performance.now()') - start[0] >= 5000)
        fps = (p.frames() - start[1]) * 1000 / (p.js('performance.now()') - start[0])
        print(f'{name}: first frame {first:.0f} ms after the page load, {fps:.1f} frames/s '
              f'({p.status()})')
        if screenshot and not query:
            p.driver.save_screenshot(screenshot)


CHECKS = [check_demo_picture_and_keys, check_meshes_in_address, check_mesh_picked_and_bad_file]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--site', required=True)
    parser.add_argument('--reference', required=True)
    parser.add_argument('-k', default='', help='run only the checks whose name holds this')
    parser.add_argument('--measure', metavar='ORVANE_BSP',
                        help='measure the frame rates instead (orvane-bsp converts the house)')
    parser.add_argument('--screenshot', metavar='PNG', help='with --measure: the page, saved')
    args = parser.parse_args()

    scratch = tempfile.mkdtemp(prefix='orv-browser.')
    data = os.path.join(scratch, 'data')
    os.mkdir(data)
    for model in SERVED:
        shutil.copy(model, data)
    server, base = serve(os.path.abspath(args.site), data)
    driver, chromium = browser(os.path.join(scratch, 'profile'))
    page = Page(driver, base, os.path.abspath(args.reference), scratch)
    passed = failed = 0
    try:
        if args.measure:
            measure(page, os.path.abspath(args.measure), args.screenshot)
            return 0
        for check in CHECKS:
            if args.k not in check.__name__:
                continue
            print(f'{check.__name__}: {check.__doc__.splitlines()[0]}')
            began = time.monotonic()
            try:
                check(page)
                passed += 1
                print(f'  ok ({time.monotonic() - began:.1f} s)')
            except Exception:
                failed += 1
                traceback.print_exc()
                print('  FAILED')
    finally:
        driver.quit()
        chromium.terminate()
        chromium.wait()
        server.shutdown()
        shutil.rmtree(scratch, ignore_errors=True)
    print(f'{passed} passed, {failed} failed')
    return 1 if failed or not passed else 0


if __name__ == '__main__':
    sys.exit(main())
