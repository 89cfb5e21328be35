#!/usr/bin/env python3
"""Times how long saved HTML pages take to open in headless Chromium.

Usage: page_load.py [--chromium PROGRAM] PAGE.html [PAGE.html ...]

Each page gets a probe at its end that notes, in the DOM Chromium builds,
when the page had been read (all of it parsed, its styles applied) and when
it had been laid out (a forced layout of the whole body). The times are
Chromium's own, from the start of the navigation; "whole" is the time the
browser took from start to finish, less that of an empty page (starting the
browser). Pages are copied, never changed.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

PROBE = """<pre id="korvana-probe"></pre><script>
const read = performance.now();
const height = document.body.getBoundingClientRect().height;
const laidOut = performance.now();
document.getElementById("korvana-probe").textContent = JSON.stringify({
  read: read, laidOut: laidOut, height: height,
  elements: document.getElementsByTagName("*").length});
</script>"""


def find_chromium(given):
    for name in ([given] if given else []) + ["chromium", "chromium-browser", "google-chrome"]:
        path = shutil.which(name)
        if path:
            return path
    return None


def load(chromium, page, folder):
    with open(page, encoding="utf-8", errors="replace") as source:
        html = source.read()
    end = html.rfind("</body>")
    probed = (html[:end] + PROBE + html[end:]) if end >= 0 else html + PROBE
    copy = os.path.join(folder, "probed.html")
    with open(copy, "w", encoding="utf-8") as target:
        target.write(probed)
    profile = tempfile.mkdtemp(dir=folder)
    started = time.perf_counter()
    done = subprocess.run([chromium, "--headless", "--disable-gpu", "--no-sandbox", "--user-data-dir=" + profile,
                           "--dump-dom", "file://" + copy], capture_output=True, text=True, timeout=3600)
    whole = time.perf_counter() - started
    found = re.search(r'<pre id="korvana-probe">([^<]*)</pre>', done.stdout)
    if done.returncode != 0 or not found:
        return None
    result = json.loads(found.group(1).replace("&quot;", '"'))
    result["whole"] = whole
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--chromium")
    parser.add_argument("pages", nargs="+")
    args = parser.parse_args()
    chromium = find_chromium(args.chromium)
    if not chromium:
        print("chromium unavailable")
        return 3
    with tempfile.TemporaryDirectory() as folder:
        empty = os.path.join(folder, "empty.html")
        with open(empty, "w") as page:
            page.write("<!DOCTYPE html><html><body></body></html>")
        start = load(chromium, empty, folder)
        print("%-40s %10s %10s %10s %10s %12s" % ("page", "MB", "read s", "layout s", "whole s", "elements"))
        for page in args.pages:
            result = load(chromium, page, folder)
            size = os.path.getsize(page) / 1048576.0
            if result is None:
                print("%-40s %10.1f  did not open" % (os.path.basename(page), size))
                continue
            print("%-40s %10.1f %10.2f %10.2f %10.2f %12d" % (
                os.path.basename(page), size, result["read"] / 1e3, (result["laidOut"] - result["read"]) / 1e3,
                result["whole"] - (start["whole"] if start else 0.0), result["elements"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
