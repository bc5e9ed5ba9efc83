#!/usr/bin/env python3
"""Takes a picture of the configuration dialog as Wine draws it under Xvfb.

    screenshot.py --build build/win64 --out docs/config-dialog.png

Needs ImageMagick's import and xwininfo (packages imagemagick, x11-utils).
"""
import argparse
import os
import re
import shutil
import subprocess
import tempfile
import time

from scenarios import WINE, Platform, stage

SCRIPT = """
init
config
sleep 4000
click 2
end
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    build, out = os.path.abspath(args.build), os.path.abspath(args.out)
    work = tempfile.mkdtemp(prefix="brelk-shot-")
    try:
        stage(build, work, "[brelk]\r\nchannel=#music\r\nactive=1\r\n")
        with open(os.path.join(work, "script.txt"), "w") as f:
            f.write(SCRIPT)
        with Platform() as platform:
            # A virtual desktop: with no window manager on the display, Wine
            # then draws the caption and frame itself.
            host = subprocess.Popen([WINE, "explorer", "/desktop=shot,560x190", "standin_host.exe",
                                     ".\\gen_brelk.dll", "script.txt"],
                                    cwd=work, env=platform.env, stdout=subprocess.DEVNULL)
            window = None
            for _ in range(100):
                time.sleep(0.1)
                info = subprocess.run(["xwininfo", "-root", "-tree"], env=platform.env,
                                      capture_output=True, text=True).stdout
                m = (re.search(r"(0x[0-9a-f]+) \"BRELK DDE Config Dialog\"", info) and
                     re.search(r"(0x[0-9a-f]+) \"shot - Wine desktop\"", info))
                if m:
                    window = m.group(1)
                    break
            time.sleep(1.0)
            if window:
                os.makedirs(os.path.dirname(out), exist_ok=True)
                subprocess.run(["import", "-window", window, out], env=platform.env, check=True)
                # Keep the dialog alone: frame the picture in the desktop's
                # colour, then trim that colour away.
                desktop = subprocess.run(["convert", out, "-format", "%[pixel:p{0,189}]", "info:"],
                                         capture_output=True, text=True, check=True).stdout
                subprocess.run(["convert", out, "-bordercolor", desktop, "-border", "1", "-trim",
                                "+repage", out], check=True)
            host.wait(30)
            if not window:
                raise SystemExit("the dialog did not appear")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(out)


if __name__ == "__main__":
    main()
