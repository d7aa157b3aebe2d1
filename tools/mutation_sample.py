#!/usr/bin/env python3
"""Seeded mutation sample: puts small faults into src/ one at a time and
counts how many the test suite catches.

    python3 tools/mutation_sample.py [--seed 16] [--count 48] [--build DIR]
                                     [--list] [--only N,M] [--resort OUTPUT]

The sites are drawn from src/*.cpp with a fixed seed, so two trees with the
same src/ get the same faults and their catch counts compare. A fault that
does not compile is reported as such and not counted. The tree is restored
after each fault, also on Ctrl+C. Needs a configured Ninja build (default
build-mut, made on first use). The summary sorts each survivor by the
SORTED table below; --resort sums up an earlier run's output again.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (name, pattern, replacement); a pattern matches code outside strings and
# comments only.
OPERATORS = [
    ("eq-to-ne", r"==", "!="),
    ("ne-to-eq", r"!=", "=="),
    ("le-to-lt", r"<=", "<"),
    ("ge-to-gt", r">=", ">"),
    ("lt-to-le", r"(?<=\s)<(?=\s)", "<="),
    ("gt-to-ge", r"(?<=\s)>(?=\s)", ">="),
    ("and-to-or", r"&&", "||"),
    ("or-to-and", r"\|\|", "&&"),
    ("true-to-false", r"\btrue\b", "false"),
    ("false-to-true", r"\bfalse\b", "true"),
    ("not-dropped", r"(?<=\()!(?=[A-Za-z_])", ""),
    ("plus-to-minus", r"(?<=\s)\+(?=\s)", "-"),
    ("minus-to-plus", r"(?<=\s)-(?=\s)", "+"),
    ("const-bumped", r"(?<![\w.])(\d+)(?![\w.])", None),
]
# Survivors sorted by hand, keyed by file, the line's code as it stands and
# the operator (and the column, where a line holds several constants), so
# the entry holds while lines move. "equivalent": nothing a
# user could see or get changes; "looks": only how the window looks changes.
# A survivor that is a real fault gets a case in the suite instead.
SORTED = {
    ("src/ui/StatusLabel.cpp",
     "painter.translate(rect.left() + rect.width() / 2, rect.top() + rect.height() / 2);", "plus-to-minus"):
        ("looks", "where a rotated status text is drawn"),
    ("src/app/SchemaDlgConnection.cpp", "Control(1030)->hide();", "call-removed"):
        ("looks", "the Export button over the progress bar while the database list fills; shown again at its end"),
    ("src/settings/SettingsFile.cpp", "if (fileName.contains(u'/') || fileName.contains(u'\\\\'))", "or-to-and"):
        ("equivalent", "joined to the working folder, an absolute path stays as it is and a relative one names the same file"),
    ("src/app/SchemaDlgControls.cpp", "button(1020, 552, 233, 50, 14, false);", "const-bumped", 28):
        ("looks", "a button one dialog unit wider"),
    ("src/app/SchemaDlgControls.cpp", "m_tableList = list(1002, 184, 38, 418, 192, true);", "true-to-false"):
        ("equivalent", "the rows come sorted by name and a name never changes in place; the header takes no click either way"),
    ("src/db/OdbcConnection.cpp", "SQLFreeHandle(SQL_HANDLE_ENV, env);", "call-removed"):
        ("equivalent", "only when unixODBC refuses ODBC 3 on a new environment, which it never does"),
    ("src/app/SchemaDlgConnection.cpp", "if (m_connection && m_connection->State() != 0)", "and-to-or"):
        ("equivalent", "closing a closed connection does nothing; no connection object only when unixODBC makes no environment"),
    ("src/edit/MySqlDescriptionWrite.cpp", "for (qsizetype k = 0; k < names.size(); ++k)", "const-bumped"):
        ("equivalent", "the type is restated as read under the table's lock; only a fault elsewhere could change it"),
    ("src/app/DialogUnits.cpp", "return (units * m_charHeight + 4) / 8;", "const-bumped", 36):
        ("looks", "dialog units rounded half a unit higher"),
    ("src/export/DocxDocument.cpp", "} else if (count > 0", "gt-to-ge"):
        ("equivalent", "an empty piece: seeking within the file and reading nothing succeed as skipping it does"),
    ("src/app/SchemaApp.cpp", "SetIdentity();", "call-removed"):
        ("equivalent", "main sets the same identity before it makes the application"),
    ("src/app/SchemaDlgListings.cpp",
     "const auto source = std::make_shared<ListRowSource>(ListRowSource{std::move(listed->texts), m_imageList.value(2)});",
     "const-bumped"):
        ("looks", "the table rows' icon"),
    ("src/app/SchemaDlgControls.cpp", "button(1015, 489, 6, 50, 14, false)->setDefault(true);", "const-bumped", 23):
        ("looks", "a button one dialog unit lower"),
    ("src/export/DocxDocument.cpp", "w.TableStart({2800, 4438, 1200, 1200},", "const-bumped", 45):
        ("looks", "a column of the index table a twip wider"),
    ("src/export/WorkbookReader.cpp", "char rest[4096];", "const-bumped"):
        ("equivalent", "the rest of a part is read to its end in pieces of any size"),
    ("src/edit/MySqlDescriptionWrite.cpp", "facts.catalog.clear();", "call-removed"):
        ("equivalent", "the facts read back are a safety net: the column is restated as read under the table's lock"),
    ("src/edit/SqlTokens.cpp", "return c.isLetterOrNumber() || c == u'_' || c == u'$' || c.unicode() >= 0x80;", "or-to-and", 59):
        ("equivalent", "names reach the tokenizer quoted, as the write's session has SHOW CREATE TABLE print them; bare words are keywords and numbers"),
    ("src/app/ServerChoice.cpp", "if (type == QEvent::Show && watched == m_view) {", "and-to-or"):
        ("equivalent", "the list's view and viewport show together; typed text is applied once, the second call finds none"),
    ("src/cli/CliCommon.cpp", "std::fclose(tty);", "call-removed"):
        ("equivalent", "a process asks for its password once; the terminal closes with it"),
    ("src/app/SchemaDlgControls.cpp", "edit(1013, 309, 6, 47, 14);", "const-bumped", 24):
        ("looks", "the user field one dialog unit wider"),
    ("src/cli/Cli.cpp", "target.Cancel();", "call-removed"):
        ("equivalent", "a file is replaced through a QSaveFile, which drops its copy when it goes uncommitted; a device just closes"),
    ("src/ui/ListRow.cpp", "row->MakeKey();", "call-removed"):
        ("equivalent", "the lists are sorted in code and their own sorting is off from the first fill: no rows are compared"),
    ("src/app/SchemaDlgControls.cpp", "m_columnList = list(1003, 7, 248, 595, 181, false);", "false-to-true"):
        ("equivalent", "a list's own sorting is off from its first fill; the columns come in the table's order either way"),
    ("src/app/SchemaDlgControls.cpp", "m_columnList = list(1003, 7, 248, 595, 181, false);", "const-bumped", 44):
        ("looks", "the column list one dialog unit taller"),
    ("src/ui/RowColourDelegate.cpp", "painter->save();", "call-removed"):
        ("looks", "the focus frame's dotted pen stays on the painter for what the row draws after it"),
    ("src/export/DocumentSink.cpp", "return i + 1 >= text.size() || !text[i + 1].isLowSurrogate();", "plus-to-minus"):
        ("equivalent", "only a high surrogate that ends the text looks past it, at the terminating null, no low surrogate either"),
    ("src/settings/IniDocument.cpp", "if (line < 0)", "const-bumped"):
        ("equivalent", "a key found is below its section's header, never on the first line"),
    ("src/cli/CliCommon.cpp", 'std::fputs("\\n", stderr);', "call-removed"):
        ("looks", "on a terminal, what follows the progress count starts on a line of its own"),
}


CALL_LINE = re.compile(r"^(\s*)(?!return\b|if\b|for\b|while\b|case\b|else\b|delete\b)"
                       r"[A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*\([^;]*\);\s*$")


def code_mask(line):
    """Positions of line that are code: not in a string, char or comment."""
    mask = [True] * len(line)
    i, quote = 0, None
    while i < len(line):
        c = line[i]
        if quote:
            mask[i] = False
            if c == "\\":
                if i + 1 < len(line):
                    mask[i + 1] = False
                i += 2
                continue
            if c == quote:
                quote = None
        elif line.startswith("//", i):
            for j in range(i, len(line)):
                mask[j] = False
            break
        elif c in "\"'":
            quote = c
            mask[i] = False
        i += 1
    return mask


def sites():
    found = []
    for dirpath, _, files in os.walk(os.path.join(ROOT, "src")):
        for name in sorted(files):
            if not name.endswith(".cpp"):
                continue
            path = os.path.relpath(os.path.join(dirpath, name), ROOT)
            with open(os.path.join(ROOT, path), encoding="utf-8") as f:
                lines = f.read().split("\n")
            for n, line in enumerate(lines):
                stripped = line.strip()
                if stripped.startswith(("#", "*", "/*", "//")):
                    continue
                mask = code_mask(line)
                for op, pattern, repl in OPERATORS:
                    for m in re.finditer(pattern, line):
                        if not all(mask[m.start():m.end()]):
                            continue
                        if op == "const-bumped":
                            new = str(int(m.group(1)) + 1)
                        else:
                            new = repl
                        found.append((path, n, m.start(), m.end(), new, op))
                call = CALL_LINE.match(line)
                if call:
                    found.append((path, n, 0, len(line), call.group(1) + ";", "call-removed"))
    found.sort()
    return found


def pick(seed, count):
    everything = sites()
    rng = random.Random(seed)
    return rng.sample(everything, min(count, len(everything)))


def apply(site):
    path, n, start, end, new, _ = site
    full = os.path.join(ROOT, path)
    with open(full, encoding="utf-8") as f:
        original = f.read()
    lines = original.split("\n")
    lines[n] = lines[n][:start] + new + lines[n][end:]
    with open(full, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
    return full, original


def test_programs(build):
    """Each CTest test and the programs whose rebuild can change its result:
    its own executable, the velmora binary for the script tests, and both
    for a test labelled runs-velmora."""
    import json
    listing = subprocess.run(["ctest", "--show-only=json-v1"], cwd=build, capture_output=True, text=True, check=True)
    velmora = os.path.join(build, "src", "app", "velmora")
    programs = {}
    for test in json.loads(listing.stdout)["tests"]:
        if test["name"].startswith("mariadb_"):
            continue  # fixtures; ctest adds them where needed
        command = test.get("command") or []
        exe = command[0] if command else ""
        watched = [exe] if exe.startswith(build) else [velmora]
        for prop in test.get("properties", []):
            if prop.get("name") == "LABELS" and "runs-velmora" in prop.get("value", []):
                watched.append(velmora)
        programs[test["name"]] = watched
    return programs


def sorted_as(site):
    """The hand-sorted kind and reason of a surviving fault, or None."""
    path, n, start, _, _, op = site
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        code = f.read().split("\n")[n].strip()
    return SORTED.get((path, code, op, start + 1)) or SORTED.get((path, code, op))


def report(chosen, verdicts):
    """The verdicts by fault number ("caught", "missed", "broken") summed up,
    the sorted survivors with their reasons."""
    caught = sum(v == "caught" for v in verdicts.values())
    missed = sum(v == "missed" for v in verdicts.values())
    broken = sum(v == "broken" for v in verdicts.values())
    print(f"caught {caught} of {caught + missed} that build ({broken} did not build)")
    kinds = {}
    for i in sorted(verdicts):
        sort = sorted_as(chosen[i - 1]) if verdicts[i] == "missed" else None
        if sort:
            kinds[sort[0]] = kinds.get(sort[0], 0) + 1
            print(f"{i:3} {sort[0]}: {sort[1]}")
        elif verdicts[i] == "missed":
            print(f"{i:3} not sorted")
    equivalent, looks = kinds.get("equivalent", 0), kinds.get("looks", 0)
    for what, total in (("that change behaviour", caught + missed - equivalent),
                        ("that change behaviour beyond looks", caught + missed - equivalent - looks)):
        if total:
            print(f"caught {caught} of {total} {what}: {100 * caught / total:.0f}%")


def stamps(programs):
    return {name: [os.stat(exe).st_mtime_ns if os.path.exists(exe) else 0 for exe in exes]
            for name, exes in programs.items()}


def first_failure(log):
    with open(log) as f:
        tail = f.read()[-4000:]
    m = re.findall(r"\d+ - (\S+) \(", tail)
    return m[-1] if m else "?"


def run(cmd, cwd, log):
    with open(log, "a") as out:
        out.write(f"$ {' '.join(cmd)}\n")
        out.flush()
        return subprocess.run(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT).returncode


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--seed", type=int, default=16)
    ap.add_argument("--count", type=int, default=48)
    ap.add_argument("--build", default=os.path.join(ROOT, "build-mut"))
    ap.add_argument("--list", action="store_true", help="print the faults and stop")
    ap.add_argument("--only", default="", help="comma-separated fault numbers")
    ap.add_argument("--resort", metavar="OUTPUT", help="sum up an earlier run's printed verdicts again")
    args = ap.parse_args()

    chosen = pick(args.seed, args.count)
    if args.resort:
        verdicts = {}
        with open(args.resort, encoding="utf-8") as f:
            for line in f:
                m = re.match(r"\s*(\d+) (caught|MISSED|missed|does-not-build)", line)
                if m:
                    kind = m.group(2).lower()
                    verdicts[int(m.group(1))] = {"does-not-build": "broken"}.get(kind, kind)
        report(chosen, verdicts)
        return 0
    if args.list:
        for i, (path, n, start, end, new, op) in enumerate(chosen, 1):
            print(f"{i:3} {op:14} {path}:{n + 1}:{start + 1} -> {new!r}")
        return 0
    only = {int(x) for x in args.only.split(",") if x}

    build = args.build
    log = os.path.join(build, "mutation.log")
    if not os.path.exists(os.path.join(build, "build.ninja")):
        # Each fault relinks every test program above it: lld and ccache
        # make that most of a minute shorter.
        extra = []
        if shutil.which("ccache"):
            extra.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        if shutil.which("ld.lld"):
            extra += ["-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld", "-DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld"]
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Debug"] + extra, check=True, stdout=subprocess.DEVNULL)
    env_dir = os.path.join(build, "xdg-ci")
    os.makedirs(env_dir, mode=0o700, exist_ok=True)
    os.environ.setdefault("XDG_RUNTIME_DIR", env_dir)
    if run(["cmake", "--build", build], ROOT, log) != 0:
        print("the unchanged tree does not build; see", log)
        return 2

    # A test whose program the fault did not rebuild gives the unchanged
    # tree's result (a pass), so only the rebuilt ones run.
    programs = test_programs(build)
    verdicts = {}
    for i, site in enumerate(chosen, 1):
        if only and i not in only:
            continue
        path, n, start, end, new, op = site
        before = stamps(programs)
        full, original = apply(site)
        started = time.time()
        try:
            if run(["cmake", "--build", build], ROOT, log) != 0:
                verdict = "does-not-build"
                verdicts[i] = "broken"
            else:
                after = stamps(programs)
                rebuilt = [name for name in programs if after[name] != before[name]]
                rc = 0
                # A private server that did not start catches nothing: once more.
                for _ in range(2):
                    if rebuilt:
                        rc = run(["ctest", "-j2", "--stop-on-failure", "--output-on-failure", "--timeout", "300",
                                  "-R", "^(" + "|".join(rebuilt) + ")$"], build, log)
                    if rc == 0 or not first_failure(log).startswith("mariadb_"):
                        break
                verdict = f"caught:{first_failure(log)}" if rc != 0 else "MISSED"
                verdicts[i] = "caught" if rc != 0 else "missed"
        finally:
            with open(full, "w", encoding="utf-8") as f:
                f.write(original)
            run(["cmake", "--build", build], ROOT, log)
        print(f"{i:3} {verdict:30} {op:14} {path}:{n + 1}:{start + 1} -> {new!r} "
              f"({time.time() - started:.0f} s)", flush=True)
    # --stop-on-failure can skip the fixture that stops the private MariaDB.
    subprocess.run([os.path.join(ROOT, "tests", "support", "mariadb.sh"), "stop",
                    os.path.join(build, "test-state", "mariadb")], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    report(chosen, verdicts)
    return 0


if __name__ == "__main__":
    sys.exit(main())
