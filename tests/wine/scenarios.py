#!/usr/bin/env python3
"""End-to-end scenarios: the 64-bit twin of the plug-in, loaded by the stand-in
player under Wine, announcing over real DDE to the stand-in IRC client, with a
real settings file and a real dialog.

    scenarios.py --build build/win64 [NAME ...]

Starts its own Xvfb display and Wine prefix and stops both, by their own
process id and prefix, when it is done. Each scenario runs in a directory of
its own with its own settings file.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

DEFAULT = "/me is listening to %s on Winamp"
# The emulated 32-bit machine runs its own Wine, slower: upper bounds of
# time measurements are widened by BRELK_SLOW there.
WINE = os.environ.get("BRELK_WINE") or shutil.which("wine64") or "/usr/lib/wine/wine64"
WINESERVER = (os.environ.get("BRELK_WINESERVER") or shutil.which("wineserver") or
              "/usr/lib/wine/wineserver")
SLOW = float(os.environ.get("BRELK_SLOW", "1"))
# DLLs a bare Wine install lacks, copied into the prefix's system32.
SYSTEM32_EXTRA = [p for p in os.environ.get("BRELK_SYSTEM32_EXTRA", "").split(":") if p]


def stage(build, directory, settings=None):
    """Copies the plug-in and both stand-ins into directory, and writes the
    settings file beside them when settings is given (text or bytes)."""
    for f in ("gen_brelk.dll", "standin_host.exe", "standin_irc.exe"):
        shutil.copy(os.path.join(build, f), directory)
    if settings is not None:
        with open(os.path.join(directory, "gen_brelk.ini"), "wb") as f:
            f.write(settings if isinstance(settings, bytes) else settings.encode("latin-1"))


def start_irc(platform, directory, options=()):
    """Starts the stand-in IRC client staged in directory; returns once it
    serves, with its output to be read line by line."""
    p = subprocess.Popen([WINE, "standin_irc.exe"] + list(options), cwd=directory,
                         env=platform.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         text=True, errors="replace")
    first = p.stdout.readline().strip()
    if first != "ready":
        p.kill()
        raise AssertionError("the stand-in IRC client did not start: %r" % first)
    return p


class Platform:
    """An Xvfb display and a Wine prefix of our own."""

    def __enter__(self):
        self.root = tempfile.mkdtemp(prefix="brelk-wine-")
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-nolisten", "tcp", "-screen", "0", "800x600x24"],
            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            display = f.readline().strip()
        self.env = dict(os.environ, DISPLAY=":" + display, WINEPREFIX=os.path.join(self.root, "prefix"),
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        try:
            # One server for every run in this prefix, until __exit__.
            system32 = os.path.join(self.env["WINEPREFIX"], "drive_c", "windows", "system32")
            os.makedirs(system32)
            for extra in SYSTEM32_EXTRA:
                shutil.copy(extra, system32)
            subprocess.run([WINESERVER, "-p"], env=self.env, check=True)
            subprocess.run([WINE, "wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=True, timeout=180 * SLOW)
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *exc):
        subprocess.run([WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self.xvfb.terminate()
        try:
            self.xvfb.wait(10)
        except subprocess.TimeoutExpired:
            self.xvfb.kill()
        shutil.rmtree(self.root, ignore_errors=True)


class Run:
    """What one run of the stand-in host left behind."""

    def __init__(self, host, irc, ini, returncode):
        self.host, self.irc, self.ini, self.returncode = host, irc, ini, returncode

    def pokes(self):
        """(item, bytes, text) for each poke the IRC side took."""
        out = []
        for line in self.irc:
            m = re.match(r"poke item=(.*) format=1 bytes=(\d+) text=(.*)$", line)
            if m:
                out.append((m.group(1), int(m.group(2)), m.group(3)))
        return out

    def texts(self):
        return [p[2] for p in self.pokes()]

    def host_lines(self, prefix):
        return [l for l in self.host if l.startswith(prefix)]

    def tick_times(self):
        return [int(l.split("=")[1]) for l in self.host_lines("tick ms=")]


class Scenarios:
    def __init__(self, platform, build, work):
        self.platform, self.build, self.work = platform, build, work

    def run(self, name, script, ini=None, irc=(), ansi=False, irc_running=True, subdir=""):
        """Runs the host over script in a fresh directory; returns a Run."""
        d = os.path.join(self.work, name, subdir)
        shutil.rmtree(os.path.join(self.work, name), ignore_errors=True)
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)
        stage(self.build, d, ini)
        with open(os.path.join(d, "script.txt"), "w") as f:
            f.write(script.strip() + "\nclose-irc\n")
        irc_proc = self.start_irc(d, irc) if irc_running else None
        args = [WINE, "standin_host.exe"] + (["--ansi"] if ansi else []) + [".\\gen_brelk.dll", "script.txt"]
        host = subprocess.run(args, cwd=d, env=self.platform.env, capture_output=True, text=True,
                              timeout=120 * SLOW, errors="replace")
        if host.returncode != 0 and irc_proc is not None:
            # The host never got to close it; what counts is the host's failure.
            irc_proc.kill()
            irc_proc.communicate()
            irc_proc = None
        irc_lines = self.stop_irc(irc_proc)
        ini_path = os.path.join(d, "gen_brelk.ini")
        ini_text = open(ini_path, "rb").read() if os.path.exists(ini_path) else None
        run = Run(host.stdout.splitlines(), irc_lines, ini_text, host.returncode)
        self.last = run
        return run

    def start_irc(self, d, options):
        return start_irc(self.platform, d, options)

    def stop_irc(self, p):
        if p is None:
            return []
        try:
            out, _ = p.communicate(timeout=20 * SLOW)
        except subprocess.TimeoutExpired:
            p.kill()
            out, _ = p.communicate()
            raise AssertionError("the stand-in IRC client did not close")
        return out.splitlines()


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def equal(got, want, what):
    check(got == want, "%s:\n  got  %r\n  want %r" % (what, got, want))


def healthy(run):
    """The host survived, its results came back unchanged, DDE balanced."""
    check(run.returncode == 0, "host exit code %s\n%s" % (run.returncode, "\n".join(run.host)))
    summary = run.host_lines("host received=")
    check(summary, "host did not finish:\n" + "\n".join(run.host))
    check(" mismatches=0 " in summary[0], summary[0])
    check(" wmuser-queries=0" in summary[0], summary[0])
    ends = [l for l in run.irc if l.startswith("exit ")]
    if run.irc:
        check(ends, "IRC side did not finish:\n" + "\n".join(run.irc))
        m = re.match(r"exit connects=(\d+) disconnects=(\d+)", ends[0])
        equal(m.group(1), m.group(2), "connects and disconnects")


def ini(**keys):
    return "[brelk]\r\n" + "".join("%s=%s\r\n" % kv for kv in keys.items())


SCENARIOS = []


def scenario(f):
    SCENARIOS.append(f)
    return f


@scenario
def changes_of_title(s):
    r = s.run("changes_of_title", """
init
title 0 First
play
tick
tick
title 1 Second
goto 1
tick
tick
pause
tick
stop
tick
play
tick
title 2 Second
goto 2
tick
title 2 SECOND
tick
""", ini(active=1))
    healthy(r)
    equal(r.pokes(), [("active", 31 + 5, DEFAULT % "First"),
                      ("active", 31 + 6, DEFAULT % "Second"),
                      ("active", 31 + 6, DEFAULT % "SECOND")], "pokes")


@scenario
def announcing_off_then_on(s):
    r = s.run("announcing_off_then_on", """
init
title 0 Playing now
play
tick
config
toggle
click 1
end
tick
title 0 Next
tick
""", ini(active=0))
    healthy(r)
    equal(r.texts(), [DEFAULT % "Next"], "only the change after switching on")
    check(b"active=1" in r.ini, r.ini)


@scenario
def nothing_while_off(s):
    r = s.run("nothing_while_off", """
init
title 0 One
play
tick
title 0 Two
tick
""", ini(active=0))
    healthy(r)
    equal(r.pokes(), [], "pokes")
    check(not any(l.startswith("connect") for l in r.irc), "a conversation while off")


TEMPLATE_CASES = [
    # template, title, text the IRC side gets
    ("%s", "Alone", "Alone"),
    (DEFAULT, "", "/me is listening to  on Winamp"),
    ("no title, 100%%", "Song", "no title, 100%"),
    ("", "Song", ""),
    ("<%s>", "50% %s %d", "<50% %s %d>"),
    ("%s and %s, %d%n", "T", "T and %s, %d%n"),
    ("[%-8s]", "ab", "[ab      ]"),
    ("[%.3s]", "abcdef", "[abc]"),
    ("x" * 77 + "%s", "c" * 63, "x" * 77 + "c" * 63),
    ("%300s", "t", " " * 255),
]


@scenario
def templates_and_titles(s):
    for i, (template, title, text) in enumerate(TEMPLATE_CASES):
        r = s.run("template_%d" % i, """
init
title 0 {}
play
tick
""".format(title) if title else "init\ntitle 0 other\nplay\ntick\ntitle 0\ntick\n",
                  ini(active=1, message=template))
        healthy(r)
        pokes = r.pokes()
        want = text
        got = pokes[-1] if pokes else None
        check(got is not None, "nothing poked for %r" % template)
        equal((got[1], got[2]), (len(want) + 1, want), "poke for %r / %r" % (template, title))


@scenario
def long_titles(s):
    r = s.run("long_titles", """
init
titlen 0 300
play
tick
tick
tick
titlen 0 200
tick
""", ini(active=1, message="%s"))
    healthy(r)
    pattern = "".join(chr(ord("A") + k % 26) for k in range(300))
    equal(r.texts(), [pattern[:255], pattern[:200]], "one line per long title, cut at 255")
    equal([p[1] for p in r.pokes()], [256, 201], "byte counts")


@scenario
def channels(s):
    r = s.run("channel_named", "init\ntitle 0 Song\nplay\ntick\n", ini(active=1, channel="#music"))
    healthy(r)
    equal([p[0] for p in r.pokes()], ["#music"], "item")
    r = s.run("channel_long", "init\ntitle 0 Song\nplay\ntick\n", ini(active=1, channel="c" * 50))
    healthy(r)
    equal([p[0] for p in r.pokes()], ["c" * 39], "item cut to 39")


@scenario
def no_irc_client(s):
    d = "no_irc_client"
    r = s.run(d, "init\ntitle 0 Unheard\nplay\ntick\ntick\n", ini(active=1), irc_running=False)
    healthy(r)
    equal(len(r.tick_times()), 2, "the host kept running")


@scenario
def title_not_announced_once_the_client_runs(s):
    # The host keeps the plug-in loaded across the IRC client's start: the
    # first title is seen while no client runs, then the client starts.
    d = os.path.join(s.work, "late_client")
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    stage(s.build, d, ini(active=1))
    with open(os.path.join(d, "script.txt"), "w") as f:
        f.write("init\ntitle 0 Early\nplay\ntick\nwait-irc\ntick\ntitle 0 Later\ntick\nclose-irc\n")
    host = subprocess.Popen([WINE, "standin_host.exe", ".\\gen_brelk.dll", "script.txt"], cwd=d,
                            env=s.platform.env, stdout=subprocess.PIPE, text=True, errors="replace")
    # The first title is seen before the IRC client starts.
    seen = []
    for line in host.stdout:
        seen.append(line)
        if line.startswith("tick "):
            break
    irc = s.start_irc(d, [])
    out, _ = host.communicate(timeout=60 * SLOW)
    out = "".join(seen) + out
    lines = s.stop_irc(irc)
    r = Run(out.splitlines(), lines, None, host.returncode)
    healthy(r)
    equal(r.texts(), [DEFAULT % "Later"], "only the title that changed while the client ran")


@scenario
def refused_conversation(s):
    r = s.run("refused", "init\ntitle 0 Song\nplay\ntick\ntitle 0 Next\ntick\n", ini(active=1),
              irc=["--refuse"])
    healthy(r)
    equal(r.pokes(), [], "pokes")


@scenario
def held_poke_times_out(s):
    r = s.run("held_poke", """
init
title 0 Held
play
tick
title 0 Next
tick
""", ini(active=1, ddetimeout=400), irc=["--hold"])
    healthy(r)
    equal(r.texts(), [DEFAULT % "Held", DEFAULT % "Next"], "pokes")
    times = r.tick_times()
    check(all(350 <= t <= 3000 * SLOW for t in times),
          "each announcement held about 400 ms: %r" % times)
    equal(sum(1 for l in r.irc if l.startswith("connect")), 2, "a new connection per title")
    equal(sum(1 for l in r.irc if l.startswith("disconnect")), 2, "each conversation disconnected")


@scenario
def negative_timeout_waits_the_default(s):
    r = s.run("negative_timeout", "init\ntitle 0 Held\nplay\ntick\n", ini(active=1, ddetimeout=-1),
              irc=["--hold"])
    healthy(r)
    times = r.tick_times()
    check(2800 <= times[0] <= 6000 * SLOW, "a negative time-out waits 3000 ms: %r" % times)


@scenario
def change_from_another_thread_during_the_wait(s):
    r = s.run("change_during_wait", """
init
title 0 First
play
later 150 0 From thread
tick
pump 800
tick
""", ini(active=1, ddetimeout=500), irc=["--hold"])
    healthy(r)
    # On a slow machine the change can arrive while the connect still waits
    # (the initiate is sent, and sent messages are taken meanwhile): then it
    # goes into that very poke, and the first title is never sent.
    texts = r.texts()
    check(texts in ([DEFAULT % "First", DEFAULT % "From thread"], [DEFAULT % "From thread"]),
          "the newer title last, once: %r" % texts)


@scenario
def late_answer(s):
    r = s.run("late_answer", "init\ntitle 0 Song\nplay\ntick\n", ini(active=1, ddetimeout=2000),
              irc=["--delay", "200"])
    healthy(r)
    t = r.tick_times()[0]
    check(150 <= t <= 1500 * SLOW, "held until the answer: %d ms" % t)


@scenario
def host_messages_pass_unchanged(s):
    for ansi in (False, True):
        r = s.run("messages_%s" % ("ansi" if ansi else "unicode"), """
init
wmuser
title 0 Song
play
burst 200
wmuser
stop
burst 50
wmuser
""", ini(active=1), ansi=ansi)
        healthy(r)
        equal(r.host_lines("window unicode="), ["window unicode=%d" % (0 if ansi else 1)], "window")
        equal(r.host_lines("wmuser"), ["wmuser result=4242 queries=0"] * 3, "WM_USER passes through")
        # Playing: three queries a message; stopped: one.
        summary = r.host_lines("host received=")[0]
        m = re.search(r"queries=(\d+)/(\d+)/(\d+)", summary)
        equal(int(m.group(1)) - int(m.group(2)), 50, "one query a message while stopped")


SAVED = ini(channel="#old", message="old %s", active=1, ddetimeout=777)


@scenario
def dialog_ok(s):
    r = s.run("dialog_ok", """
init
config
show
clear 1002
type 1002 #new
clear 1003
type 1003 np: %s
toggle
toggle
click 1
end
title 0 Song
play
tick
""", SAVED)
    healthy(r)
    equal(r.host_lines("dialog "), ["dialog checked=1 channel=#old message=old %s"], "shown")
    equal(r.pokes(), [("#new", 9, "np: Song")], "announced with the new values")
    equal(r.ini, b"[brelk]\r\nchannel=#new\r\nmessage=np: %s\r\nactive=1\r\nddetimeout=777\r\n",
          "file")


@scenario
def dialog_enter_is_ok(s):
    r = s.run("dialog_enter", """
init
config
clear 1002
type 1002 #enter
enter 1002
end
""", SAVED)
    healthy(r)
    check(b"channel=#enter\r\n" in r.ini, r.ini)


@scenario
def dialog_cancel_esc_and_close_box(s):
    for how in ("click 2", "esc 1003", "close"):
        r = s.run("dialog_" + how.split()[0], """
init
config
clear 1002
type 1002 #edited
clear 1003
type 1003 edited %s
toggle
{}
end
title 0 Song
play
tick
config
show
click 2
end
""".format(how), SAVED)
        healthy(r)
        equal(r.ini, SAVED.encode(), "file after " + how)
        equal(r.pokes(), [("#old", 9, "old Song")], "announced with the old values after " + how)
        equal(r.host_lines("dialog "), ["dialog checked=1 channel=#old message=old %s"],
              "reopened after " + how)


@scenario
def dialog_apply(s):
    r = s.run("dialog_apply", """
init
config
clear 1002
type 1002 #applied
clear 1003
type 1003 applied %s
click 1000
end
title 0 Song
play
tick
config
show
click 2
end
""", SAVED)
    healthy(r)
    equal(r.ini, SAVED.encode(), "file untouched by Apply")
    equal(r.pokes(), [("#applied", 13, "applied Song")], "announced with the applied values")
    equal(r.host_lines("dialog "), ["dialog checked=1 channel=#applied message=applied %s"],
          "reopened")


@scenario
def dialog_long_text_and_empty_channel(s):
    r = s.run("dialog_long", """
init
config
clear 1003
typen 1003 100
clear 1002
typen 1002 45
click 1
end
""", SAVED)
    healthy(r)
    alphabet = "".join(chr(ord("a") + k % 26) for k in range(100))
    check(("message=%s\r\n" % alphabet[:79]).encode() in r.ini, r.ini)
    check(("channel=%s\r\n" % alphabet[:39]).encode() in r.ini, r.ini)
    r = s.run("dialog_empty_channel", """
init
config
clear 1002
click 1
end
""", SAVED)
    healthy(r)
    check(b"channel=\r\n" in r.ini, r.ini)


@scenario
def first_save_onto_a_missing_file(s):
    r = s.run("first_save", "init\nconfig\nclick 1\nend\n", None)
    healthy(r)
    equal(r.ini, ("[brelk]\r\nmessage=%s\r\nchannel=active\r\nactive=0\r\nddetimeout=3000\r\n"
                  % DEFAULT).encode(), "file")


@scenario
def folder_too_deep_for_the_file_name(s):
    # Z:\ and the scenario folders, then one folder long enough that the
    # directory takes more than 114 characters.
    base = "Z:" + os.path.join(s.work, "too_deep").replace("/", "\\") + "\\"
    deep = "d" * max(1, 116 - len(base))
    r = s.run("too_deep", "init\ntitle 0 Song\nplay\ntick\nconfig\nclick 1\nend\n",
              ini(active=1), subdir=deep)
    healthy(r)
    equal(r.pokes(), [], "the file beside the module is not read: announcing stays off")
    equal(r.ini, ini(active=1).encode(), "and not written")
    check(not os.path.exists(os.path.join(s.work, "too_deep", "gen_brelk.ini")), "no file above")


@scenario
def dialog_during_announcements(s):
    r = s.run("dialog_during", """
init
title 0 Before
play
tick
config
clear 1003
type 1003 later %s
host-tick
click 1
end
title 0 After
tick
""", ini(active=1, message="early %s"))
    healthy(r)
    equal(r.texts(), ["early Before", "later After"], "the dialog's values apply after OK")


@scenario
def quit_and_unload(s):
    for chained in (False, True):
        r = s.run("quit_unload_%s" % ("chained" if chained else "plain"), """
init
title 0 Song
play
tick
{}
quit
unload
title 0 After unload
burst 100
pump 300
burst 100
""".format("subclass" if chained else ""), ini(active=1))
        healthy(r)
        equal(r.host_lines("unload="), ["unload=1"], "unloaded")
        equal(r.texts(), [DEFAULT % "Song"], "nothing after quit")


@scenario
def odd_settings_files(s):
    cases = [
        ("no_section", b"active=1\r\nchannel=#x\r\n", []),
        ("other_case", b"[BRELK]\r\nACTIVE=1\r\nChannel=#case\r\n", ["#case"]),
        ("blanks", b"[brelk]\r\n  active = 1  \r\n channel =  #blank \r\n", ["#blank"]),
        ("long_values", b"[brelk]\r\nactive=1\r\nchannel=" + b"c" * 5000 + b"\r\nmessage=" +
         b"m" * 5000 + b"\r\n", ["c" * 39]),
        ("binary", b"[brelk]\r\nactive=1\r\nchannel=\x01\x02\xff\xfe\r\nmessage=\x00\x7f%s\r\n" +
         bytes(range(256)), None),
        ("bare_cr", b"[brelk]\ractive=1\rchannel=#cr\r", None),
    ]
    for name, content, items in cases:
        r = s.run("ini_" + name, "init\ntitle 0 Song\nplay\ntick\ntitle 0 Next\ntick\n", content)
        healthy(r)
        if items is not None:
            equal(sorted(set(p[0] for p in r.pokes())), items, "items for " + name)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the win64 build directory")
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    chosen = [f for f in SCENARIOS if not args.names or f.__name__ in args.names]
    work = os.path.join(build, "scenarios")
    passed = failed = 0
    started = time.time()
    with Platform() as platform:
        s = Scenarios(platform, build, work)
        for f in chosen:
            t = time.time()
            try:
                f(s)
                passed += 1
                print("PASS %s (%.1f s)" % (f.__name__, time.time() - t), flush=True)
            except Exception:
                failed += 1
                print("FAIL %s" % f.__name__, flush=True)
                traceback.print_exc(file=sys.stdout)
                last = getattr(s, "last", None)
                if last:
                    print("  host:\n    " + "\n    ".join(last.host))
                    print("  irc:\n    " + "\n    ".join(last.irc))
    print("wine scenarios took %.0f s" % (time.time() - started))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
