#!/usr/bin/env python3
"""The plug-in at work: the stand-in player plays a short playlist with
announcing switched on, and each line is printed as the stand-in IRC client
receives it.

    demo.py --build build/win64
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import threading

from scenarios import WINE, Platform, stage, start_irc

PLAYLIST = """
init
title 0 Daft Punk - Around the World
title 1 Portishead - Glory Box
title 2 Massive Attack - Teardrop
play
tick
burst 20
goto 1
tick
pause
tick
play
burst 20
goto 2
tick
stop
tick
close-irc
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    build = os.path.abspath(parser.parse_args().build)
    work = tempfile.mkdtemp(prefix="brelk-demo-")
    try:
        stage(build, work, "[brelk]\r\nchannel=#music\r\nactive=1\r\n")
        with open(os.path.join(work, "playlist.txt"), "w") as f:
            f.write(PLAYLIST)
        print("starting a display, a Wine prefix and the stand-in IRC client ...", flush=True)
        with Platform() as platform:
            irc = start_irc(platform, work)

            def show():
                for line in irc.stdout:
                    if line.startswith("poke "):
                        item = line.split("item=", 1)[1].split(" ", 1)[0]
                        text = line.split("text=", 1)[1].rstrip("\n")
                        print("IRC %-8s <you> %s" % (item, text), flush=True)

            reader = threading.Thread(target=show)
            reader.start()
            print("the player plays three tracks (pausing and stopping between them):", flush=True)
            host = subprocess.run([WINE, "standin_host.exe", ".\\gen_brelk.dll", "playlist.txt"],
                                  cwd=work, env=platform.env, capture_output=True, text=True,
                                  timeout=120)
            try:
                irc.wait(20)
            except subprocess.TimeoutExpired:
                irc.kill()
            reader.join()
            if host.returncode != 0:
                print(host.stdout, host.stderr, file=sys.stderr)
                return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
