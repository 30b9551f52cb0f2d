# Fails, naming each, when a function of the product's folders or compat/ was never entered by the suite run in
# a coverage build; tools/coverage-allow.txt may name a function that need not be, with why on its line.
# Usage: check-coverage.py BUILD-FOLDER
import fnmatch
import json
import os
import re
import subprocess
import sys

FOLDERS = ("app/", "collector/", "wmi/", "ui/", "framework/", "compat/")
top = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
build = os.path.abspath(sys.argv[1])


# Each entry: "FILE FUNCTION -- why nothing needs to enter it", FUNCTION as this script names it; FUNCTION may
# be a pattern, with * for any text.
def read_allowed(path):
    allowed, faults = {}, []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if not line.strip() or line.startswith("#"):
                continue
            what, _, why = line.partition(" -- ")
            parts = what.split(None, 1)
            if len(parts) != 2 or not why.strip():
                faults.append("%s:%d: not FILE FUNCTION -- WHY" % (path, number))
                continue
            allowed[(parts[0], parts[1].strip())] = number
    return allowed, faults


# A function of a template is one function, whichever instances the compiler made of it.
def without_template_arguments(name):
    while True:
        shorter = re.sub(r"<[^<>]*>", "", name)
        if shorter == name:
            return name
        name = shorter


# gcov reads the notes of an object without counts as never run, so an object no program linked counts too.
# A function has one entry per variant the compiler made (a destructor's deleting one, say); any entered counts.
# Counts from before the objects were last built do not match them: gcov refuses them, and so does this.
def entered_functions(faults):
    entered = {}
    notes = sorted(os.path.join(d, n) for d, _, names in os.walk(build) for n in names if n.endswith(".gcno"))
    for note in notes:
        run = subprocess.run(["gcov", "--json-format", "--stdout", note], cwd=top, capture_output=True, text=True)
        if run.returncode != 0:
            faults.append("gcov cannot read %s: %s" % (note, run.stderr.strip()))
            continue
        report = json.loads(run.stdout)
        for source in report["files"]:
            # The layers reach their headers through links in the build folder.
            name = os.path.relpath(os.path.realpath(os.path.join(top, source["file"])), top)
            if not name.startswith(FOLDERS):
                continue
            for fn in source["functions"]:
                key = (name, without_template_arguments(fn["demangled_name"]))
                entered[key] = entered.get(key, False) or fn["execution_count"] > 0
    return entered


def main():
    allow_path = os.path.join(top, "tools", "coverage-allow.txt")
    allowed, faults = read_allowed(allow_path)
    entered = entered_functions(faults)
    if not entered:
        faults.append("no coverage notes under %s: was it built with the coverage preset?" % build)
    used = set()
    for key, was_entered in sorted(entered.items()):
        if was_entered:
            continue
        excuse = [entry for entry in allowed if entry[0] == key[0] and fnmatch.fnmatchcase(key[1], entry[1])]
        if not excuse:
            faults.append("never entered: %s %s" % key)
        used.update(excuse)
    # An entry that excuses nothing would excuse whatever takes its name later.
    for key, number in sorted(allowed.items(), key=lambda item: item[1]):
        if key not in used:
            faults.append("%s:%d: %s %s is entered or gone; take it off the list" % ((allow_path, number) + key))
    for fault in faults:
        print(fault)
    print("%d functions, %d of them on the allow-list, %d faults" % (len(entered), len(allowed), len(faults)))
    return 1 if faults else 0


sys.exit(main())
