#!/usr/bin/env python3
"""quillbox-cli.exe under wine, against the Linux quillbox-cli.

  tests/windows/wine_cli_test.py LINUX_CLI WINDOWS_EXE

Each case runs both programs in fresh copies of the same directory, with relative paths, and
compares what a user sees: the exit status, standard output, standard error where it is the
same text on both systems, and the files the command wrote. Cases whose answer is known to
differ on Windows check the Windows answer itself. Then the table of JScript behaviours
(jscript-behaviours.txt) is evaluated in both native engines: our Duktape engine on Linux,
the system's JScript under wine; every difference must be listed in jscript-differences.txt
with its reason, and every listed difference must still occur.

Every program run has a time-out. Exit status 0 when everything passed.
"""
import concurrent.futures
import functools
import http.server
import itertools
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TIMEOUT = float(os.environ.get("QUILLBOX_WINE_TIMEOUT", "120"))


def wine_environment():
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env["WINEDEBUG"] = "-all"
    # No Mono or Gecko installers asked for while the prefix is made.
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    env.setdefault("WINEPREFIX", os.path.join(os.path.expanduser("~"), ".cache", "quillbox", "wine-prefix"))
    return env


def start_wine(env):
    """Makes the prefix once and starts wine's background processes with their output going
    nowhere: started by a test's first run, they would inherit its pipes and hold them open."""
    started = time.monotonic()
    subprocess.run(["wineboot", "-u"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300, check=False)
    subprocess.run(["wineserver", "-p", "120"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60, check=False)
    return time.monotonic() - started


class Program:
    def __init__(self, command, env):
        self.command = command
        self.env = env

    def run(self, args, cwd, stdin=b""):
        try:
            r = subprocess.run(self.command + args, cwd=cwd, input=stdin, capture_output=True, env=self.env,
                               timeout=TIMEOUT)
            return r.returncode, r.stdout, r.stderr
        except subprocess.TimeoutExpired:
            return "timeout", b"", b"timed out after %d s" % TIMEOUT


GB = lambda s: s.encode("gb18030")

# The files every case starts with.
FILES = {
    "demo.js": b"function f() { return 'from ' + ScriptEngine(); }\r\nfunction add(a, b) { return a + b; }\r\n",
    "second.js": b"var greeting = '\xe4\xbd\xa0\xe5\xa5\xbd';\r\nfunction greet(n) { return greeting + ', ' + n; }\r\n",
    "broken.js": b"var a = 1;\r\nvar o = {a: 1,};\r\n",
    "throws.js": b"var a = 1;\r\nnull.x;\r\n",
    "gbk.js": GB("var 名字 = '中文';\r\nfunction 长度() { return 名字.length; }\r\n"),
    "中文.js": b"function zh() { return 42; }\r\n",
    "doc.json": b'{"a": {"b": [1, 2, {"c": "\xe4\xb8\xad"}]}, "n": 1.5e3, "t": true, "z": null}',
    "bad.json": b'{"a": 1,,}',
    "messy.js": ("var 名字='中文 😀',r=/[\\u4e00-\\u9fa5]+/g;\r\nfunction 长度(s){if(s){return s.length}\r\n"
                 "else{return [1,2,].map(function(x){return x*2})}}/* 注释 */\r\n").encode("utf-8"),
    "unclosed.js": b"var a = 1;\r\n/* never closed\r\n",
}

# name, arguments, standard input, files to compare afterwards, how to compare:
#   "same"            status, standard output, standard error and the files agree
#   "same-out"        status, standard output and the files agree (standard error differs in its
#                     system error texts)
#   ("windows", fn)   only the Windows answer, checked by fn(status, out, err)
CASES = [
    ("version", ["--version"], b"", [], "same-out"),
    ("unknown command", ["frobnicate"], b"", [], "same-out"),
    ("json pretty", ["json", "--pretty"], FILES["doc.json"], [], "same"),
    ("json path", ["json", "a.b[2].c"], FILES["doc.json"], [], "same"),
    ("json bad input", ["json"], FILES["bad.json"], [], "same"),
    ("pack", ["pack", "demo", "demo.js", "second.js", "gbk.js", "-o", "demo.txt"], b"", ["demo.txt"], "same"),
    ("pack then unpack", ["pack", "demo", "demo.js", "second.js", "-o", "p.txt", "&&", "unpack", "p.txt", "out"], b"",
     ["p.txt", "out/demo.js", "out/second.js"], "same"),
    # Folders the program makes are named as the user wrote them: a name the system's narrow
    # code page cannot hold would otherwise be made garbled, and the files not found in it.
    ("unpack into new Chinese folders", ["pack", "demo", "demo.js", "second.js", "-o", "p.txt", "&&", "unpack", "p.txt",
                                         "输出/模块"], b"", ["输出/模块/demo.js", "输出/模块/second.js"], "same"),
    ("pack over an existing file", ["pack", "demo", "demo.js", "-o", "demo.js"], b"", ["demo.js"], "same"),
    ("unpack a missing file", ["unpack", "missing.txt", "out"], b"", [], "same-out"),
    ("ecode", ["ecode", "demo.js"], b"", [], "same"),
    ("ecode style", ["ecode", "second.js", "--style", "1001", "--gbk"], b"", [], "same"),
    ("econst value", ["econst", "demo.js", "--value"], b"", [], "same-stamped"),
    ("run native", ["run", "demo.js", "--engine", "native", "-e", "add(40, 2)", "-e", "add('a', 'b')"], b"", [],
     "same"),
    # Values cross from the engine as text the same way: numbers as the script writes them,
    # null and undefined as nothing, objects through their toString.
    ("run native, values", ["run", "demo.js", "--engine", "native", "-e", "null", "-e", "undefined", "-e", "1e21",
                            "-e", "0.1 + 0.2", "-e", "-0", "-e", "1/3", "-e", "2e-7", "-e", "123456789012",
                            "-e", "[1, 'a', [2]]", "-e", "({})", "-e", "'中\\u0000文'"], b"", [], "same"),
    ("run native, GB18030 source", ["run", "gbk.js", "--engine", "native", "-e", "长度()", "-e", "名字"], b"", [],
     "same"),
    ("run native, Chinese file name", ["run", "中文.js", "--engine", "native", "-e", "zh()"], b"", [], "same"),
    ("run native, a runtime error", ["run", "throws.js", "--engine", "native"], b"", [], "error-place"),
    ("run native, a syntax error", ["run", "broken.js", "--engine", "native"], b"", [], "error-place"),
    ("run the system's JScript", ["run", "demo.js", "--engine", "native", "-e", "f()"], b"", [],
     ("windows", lambda status, out, err: status == 0 and b">>[\xe7\xbb\x93\xe6\x9e\x9c] from JScript\n" in out)),
    ("run native, time limit", ["run", "demo.js", "--engine", "native", "--timeout", "1", "-e",
                                "(function(){for(;;){}})()"], b"", [],
     ("windows", lambda status, out, err: status != 0 and status != "timeout")),
    ("chakra missing", ["run", "demo.js", "--engine", "chakra", "-e", "1"], b"", [],
     ("windows", lambda status, out, err: status == 1 and b"chakra engine is not available here" in err)),
    # Without ChakraCore (as under wine) the transform library runs in a plain Duktape context.
    ("format", ["format", "messy.js"], b"", ["messy.js"], "same"),
    ("compress", ["compress", "messy.js"], b"", ["messy.js"], "same"),
    ("format a GB18030 file", ["format", "gbk.js"], b"", [], "same"),
    ("compress standard input", ["compress"], FILES["second.js"], [], "same"),
    ("format a file the library rejects", ["format", "unclosed.js"], b"", ["unclosed.js"], "same"),
    ("a rejected file is kept and the reason given", ["compress", "unclosed.js"], b"", [],
     ("windows", lambda status, out, err: status == 1 and out == b"" and
      "转换失败：Error: Unterminated comment.".encode() in err)),
    # The crash handler writes the same report as on Linux, and names the program's own
    # frames from the .exe's symbol table: the call stack reaches wmain.
    ("crash report, a memory write", ["--fault", "write"], b"", [],
     ("windows", lambda status, out, err: crash_report(status, err, "错误信息:内存写入异常"))),
    ("crash report, an exception nobody caught", ["--fault", "throw"], b"", [],
     ("windows", lambda status, out, err: crash_report(status, err, "异常类型:"))),
    ("convert is Linux only", ["convert", "demo.js"], b"", [],
     ("windows", lambda status, out, err: status == 1 and b"not available in the Windows build" in err)),
]

def crash_report(status, err, line):
    text = err.decode("utf-8", "replace")
    frames = text.split("CallStack:", 1)[-1]
    return (status not in (0, "timeout") and "警告:程序发生错误" in text and line in text and "CallStack:" in text
            and re.search(r"\[quillbox-cli\.exe\]\.[0-9A-F]+ \S*wmain\+0x[0-9A-F]+", frames) is not None)


RUNS = itertools.count()  # a fresh directory for every run
STAMP = re.compile(rb"//\d{4}/\d{1,2}/\d{1,2} \d{1,2}:\d{1,2}:\d{1,2}")


def run_case(programs, work, args, stdin):
    """Runs the command (or two joined by "&&") with each program in a fresh copy of `work`:
    {system: (status, out, err, directory)}."""
    answers = {}
    for system, program in programs.items():
        directory = os.path.join(work, "%s-%d" % (system, next(RUNS)))
        shutil.copytree(os.path.join(work, "files"), directory)
        steps, current = [], []
        for a in args:
            if a == "&&":
                steps.append(current)
                current = []
            else:
                current.append(a)
        steps.append(current)
        status, out, err = 0, b"", b""
        for step in steps:
            status, o, e = program.run(step, directory, stdin)
            out += o
            err += e
            if status != 0:
                break
        answers[system] = (status, out, err, directory)
    return answers


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as e:
        return ("<unreadable: %s>" % e.strerror).encode()


def check_cases(programs, work):
    failures = []
    # wine starts each program slowly: a few cases run at once.
    with concurrent.futures.ThreadPoolExecutor(max_workers=3) as pool:
        all_answers = list(pool.map(lambda case: run_case(programs, work, case[1], case[2]), CASES))
    for (name, args, stdin, outputs, how), answers in zip(CASES, all_answers):
        ls, lo, le, ld = answers["linux"]
        ws, wo, we, wd = answers["windows"]
        problems = []
        if isinstance(how, tuple):
            if not how[1](ws, wo, we):
                problems.append("the Windows answer is wrong")
        elif how == "error-place":
            # The error's place and code line come from each engine; both must give them.
            for system, (s, o, e, _) in answers.items():
                if s != 1 or ">>错误位置：".encode() not in o or ">>错误代码：".encode() not in o:
                    problems.append(system + " gave no error place")
            # The line must agree; the column is each engine's own (JScript places a runtime
            # error at its statement, Duktape at the token).
            line = re.compile(">>错误位置：(\\d+)行".encode())
            if line.findall(lo) != line.findall(wo):
                problems.append("the error lines differ")
        else:
            if how == "same-stamped":
                lo, wo = STAMP.sub(b"//STAMP", lo), STAMP.sub(b"//STAMP", wo)
            if ls != ws:
                problems.append("status %r (linux) != %r (windows)" % (ls, ws))
            if lo != wo:
                problems.append("standard output differs")
            if how == "same" and le != we:
                problems.append("standard error differs")
            for f in outputs:
                if read(os.path.join(ld, f)) != read(os.path.join(wd, f)):
                    problems.append(f + " differs")
        if problems:
            failures.append(name)
            print("FAIL %s: %s" % (name, "; ".join(problems)))
            for system, (s, o, e, _) in answers.items():
                print("  %s: status %r\n    out: %r\n    err: %r" % (system, s, o[:600], e[:600]))
        else:
            print("ok   %s" % name)
    return failures


# ---- the table of JScript behaviours ----------------------------------------------------

def quoted(text):
    return "'" + text.replace("\\", "\\\\").replace("'", "\\'").replace("\r", "\\r").replace("\n", "\\n") + "'"


def wrapped(expression):
    """One line of answer whatever the expression does: its type and text, or what it threw."""
    return ("(function(){var v;try{v=eval(%s)}catch(e){return 'throws '+(e.number&0xFFFF)+' '+e.name}"
            "return (typeof v+' '+String(v)).replace(/\\r?\\n/g,'\\\\n')})()" % quoted(expression))


def load_table(name):
    rows = []
    with open(os.path.join(HERE, name), encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.strip() and not line.startswith("#"):
                rows.append(line)
    return rows


def answers_of(program, work, expressions):
    directory = os.path.join(work, "table-%d" % next(RUNS))
    os.makedirs(directory)
    with open(os.path.join(directory, "empty.js"), "wb") as f:
        f.write(b"var loaded = 1;\r\n")
    args = ["run", "empty.js", "--engine", "native"]
    for e in expressions:
        args += ["-e", wrapped(e)]
    status, out, err = program.run(args, directory)
    prefix = ">>[结果] "
    lines = [l[len(prefix):] for l in out.decode("utf-8", "replace").split("\n") if l.startswith(prefix)]
    if len(lines) != len(expressions):
        raise SystemExit("the table's run gave %d answers for %d expressions (status %r): %s %s"
                         % (len(lines), len(expressions), status, out[-2000:], err[-2000:]))
    return lines


def check_table(programs, work):
    expressions = load_table("jscript-behaviours.txt")
    listed = {}
    for row in load_table("jscript-differences.txt"):
        expression, _, reason = row.partition("\t")
        listed[expression] = reason.strip()
    unknown = [e for e in listed if e not in expressions]
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        linux, windows = pool.map(lambda system: answers_of(programs[system], work, expressions), ["linux", "windows"])
    failures = []
    print("\n%-44s | %-30s | %s" % ("expression", "Duktape (Linux)", "JScript (wine)"))
    for e, ours, theirs in zip(expressions, linux, windows):
        if ours == theirs:
            if e in listed:
                failures.append(e)
                print("FAIL %s: listed as a difference, but both answer %r" % (e, ours))
            continue
        mark = "    " if e in listed else "FAIL"
        print("%s %-40s | %-30s | %s%s" % (mark, e, ours, theirs, "" if e in listed else "   (not listed)"))
        if e not in listed:
            failures.append(e)
    for e in unknown:
        failures.append(e)
        print("FAIL %s: listed in jscript-differences.txt but not in the table" % e)
    same = sum(1 for a, b in zip(linux, windows) if a == b)
    print("%d behaviours: %d the same, %d different (all listed: %s)"
          % (len(expressions), same, len(expressions) - same, "no" if failures else "yes"))
    return failures


# ---- the update command over HTTP ------------------------------------------------------

class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def check_update(programs, work):
    """A signed release site (made by the Linux build) served on 127.0.0.1; the update command
    of both builds checks it, downloads the new version and brings the module library down.
    On Windows every byte goes through WinHTTP."""
    site_dir = os.path.join(work, "update-site")
    os.makedirs(site_dir)
    linux = programs["linux"]
    status, out, err = linux.run(["release", "keygen", "release.key"], site_dir)
    if status != 0:
        print("FAIL update: release keygen: %r %r" % (out, err))
        return ["update"]
    public_key = out.decode().strip()
    # The server first: the release names its address in the files it signs.
    os.makedirs(os.path.join(site_dir, "site"))
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), functools.partial(QuietHandler, directory=os.path.join(site_dir, "site")))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = "http://127.0.0.1:%d" % server.server_address[1]
    with open(os.path.join(site_dir, "new-program"), "wb") as f:
        f.write(b"new program\r\n" * 1000)
    status, out, err = Program(linux.command, dict(linux.env, QUILLBOX_UPDATE_SERVER=url)).run(
        ["release", "site", "site", "--key", "release.key", "--version", "1.31", "--binary", "new-program",
         "--note", "修正", "--note", "b"], site_dir)
    if status != 0:
        server.shutdown()
        print("FAIL update: release site: %r %r" % (out, err))
        return ["update"]
    failures = []
    try:
        def publish(version):
            status, out, err = Program(linux.command, dict(linux.env, QUILLBOX_UPDATE_SERVER=url)).run(
                ["release", "site", "site", "--key", "release.key", "--version", version, "--binary", "new-program",
                 "--note", "修正", "--note", "b"], site_dir)
            assert status == 0, (out, err)

        # name, arguments, release published first, what the Windows answer must show
        steps = [
            ("update: a new version is offered", ["update", "--program", "program/quillbox"], None,
             "检测到新版本 (1.30[旧]/1.31[新])"),
            ("update: the new version is downloaded", ["update", "--yes", "--program", "program/quillbox"], None,
             ">>下载完毕"),
            ("update: the module library comes down", ["update", "--program", "program/quillbox"], "1.30",
             ">>[lib]更新完成"),
        ]
        runners, directories = {}, {}
        for system, program in programs.items():
            directory = os.path.join(work, "update-%s" % system)
            os.makedirs(os.path.join(directory, "program"))
            with open(os.path.join(directory, "program", "quillbox"), "wb") as f:
                f.write(b"old")
            directories[system] = directory
            runners[system] = Program(program.command, dict(
                program.env, QUILLBOX_UPDATE_SERVER=url, QUILLBOX_UPDATE_PUBLIC_KEY=public_key,
                QUILLBOX_HOME=os.path.join(directory, "home")))
        for name, args, release, expected in steps:
            if release:
                publish(release)
            answers = {system: runners[system].run(args, directories[system]) for system in programs}
            (ls, lo, le), (ws, wo, we) = answers["linux"], answers["windows"]
            problems = []
            if ls != ws or ls != 0:
                problems.append("status %r (linux) != %r (windows)" % (ls, ws))
            if lo != wo:
                problems.append("standard output differs")
            if expected.encode() not in wo:
                problems.append("the Windows answer lacks %r" % expected)
            for system, directory in directories.items():
                program_file = read(os.path.join(directory, "program", "quillbox"))
                if expected == ">>下载完毕" and program_file != read(os.path.join(site_dir, "new-program")):
                    problems.append("the program of %s was not replaced by the new version" % system)
                if expected == ">>[lib]更新完成" and not os.path.exists(os.path.join(directory, "home", "lib", "lib.json")):
                    problems.append("no module library in the home of %s" % system)
            if problems:
                failures.append(name)
                print("FAIL %s: %s" % (name, "; ".join(problems)))
                for system, (s_, o_, e_) in answers.items():
                    print("  %s: status %r\n    out: %r\n    err: %r" % (system, s_, o_[:800], e_[:800]))
            else:
                print("ok   %s" % name)
    finally:
        server.shutdown()
        server.server_close()
    return failures


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    linux_cli, exe = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    env = wine_environment()
    print("wine ready in %.1f s" % start_wine(env))
    home = tempfile.mkdtemp(prefix="quillbox-wine-")
    plain = dict(os.environ, QUILLBOX_HOME=os.path.join(home, "home-linux"))
    env["QUILLBOX_HOME"] = os.path.join(home, "home-windows")
    programs = {"linux": Program([linux_cli], plain), "windows": Program(["wine", exe], env)}
    files = os.path.join(home, "files")
    os.makedirs(files)
    for name, data in FILES.items():
        with open(os.path.join(files, name), "wb") as f:
            f.write(data)
    started = time.monotonic()
    failures = check_cases(programs, home) + check_update(programs, home) + check_table(programs, home)
    print("\n%d failure(s) in %.1f s" % (len(failures), time.monotonic() - started))
    shutil.rmtree(home, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
