#!/usr/bin/env python3
"""Timing under Wine, each figure measured side by side in the same run (best
of three, alternating): host messages per second with the plug-in installed,
with a bare watcher that sends only the three queries, and with nothing,
title unchanged; and one announcement (change of title to poke answered)
against a bare DDE client's connect, poke and disconnect.

    bench.py --build build/win64     prints one line a figure
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

from scenarios import WINE, Platform, stage, start_irc

MESSAGES = 20000
ANNOUNCEMENTS = 200


def host(platform, work, plugin, script):
    with open(os.path.join(work, "script.txt"), "w") as f:
        f.write(script + "\nclose-irc\n")
    out = subprocess.run([WINE, "standin_host.exe", plugin, "script.txt"], cwd=work,
                         env=platform.env, capture_output=True, text=True, timeout=300).stdout
    m = re.search(r"bench \w+ count=(\d+) ms=([\d.]+)", out)
    if not m:
        raise SystemExit("no timing in:\n" + out)
    return float(m.group(2)) / int(m.group(1))


def with_irc(platform, work, plugin, script):
    irc = start_irc(platform, work)
    try:
        return host(platform, work, plugin, script)
    finally:
        irc.communicate(timeout=30)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    build = os.path.abspath(parser.parse_args().build)
    work = tempfile.mkdtemp(prefix="brelk-bench-")
    try:
        stage(build, work, "[brelk]\r\nactive=1\r\n")
        with Platform() as platform:
            plain = "play\ntitle 0 An unchanged title\ntick\nbench-messages %d" % MESSAGES
            watched = "init\n" + plain
            with_plugin = bare_watch = without = 1e30
            for _ in range(3):
                with_plugin = min(with_plugin, host(platform, work, ".\\gen_brelk.dll", watched))
                bare_watch = min(bare_watch, host(platform, work, "none", "bare-watch\n" + plain))
                without = min(without, host(platform, work, "none", plain))
            print("messages %.0f %.0f %.0f" % (1000 / with_plugin, 1000 / bare_watch, 1000 / without))
            announce = bare = 1e30
            for _ in range(3):
                announce = min(announce, with_irc(platform, work, ".\\gen_brelk.dll",
                                                  "init\nplay\nbench-announce %d" % ANNOUNCEMENTS))
                bare = min(bare, with_irc(platform, work, "none", "bench-dde %d" % ANNOUNCEMENTS))
            print("announce %.3f %.3f %.3f" % (announce, bare, announce / bare))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
