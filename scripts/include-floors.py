#!/usr/bin/env python3
"""Include floors of the project: loops between folders and between modules (a .cpp with its header), a
folder including one on a higher floor (settings/ including calc/ among them), calc/ including the
toolkit, the gdk_threads lock, and a write to the calculation job's state outside calc/, which owns it.
Usage: include-floors.py [PROJECT_ROOT]"""
import os, re, subprocess, sys
root = sys.argv[1] if len(sys.argv) > 1 else "."
files = subprocess.run(["git", "-C", root, "ls-files"], capture_output=True, text=True).stdout.split()
src = [f for f in files if f.endswith((".cpp", ".h", ".S")) and "/" in f
       and f.split("/")[0] not in ("tests", "bench", "scripts", "cmake", "packaging", "debian", "docs")]
inc = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
folder_edges, module_edges, gtk_in_calc, lock_calls, job_writes = set(), set(), [], [], []
# The job's state: calc/calculation_job.cpp writes it; everyone else goes through its functions. A
# write is an assignment, an increment or an atomic store into one of these names, or a declaration
# of one of them (an extern or const_cast is how a write from outside would start).
JOB_STATE = r"(?:JobRunning|CancelRequested|JobCancelled|ErrorCount|JobThreadActive|JobThread)"
job_write = re.compile(
    r"(?<![\w.>:])%s\s*(?:[-+*/|&^]?=(?!=)|\+\+|--|\.\s*(?:store|exchange|fetch_\w+|compare_exchange_\w+)\s*\()"
    r"|(?:\+\+|--)\s*%s\b|\bextern\b[^;]*\b%s\s*;|\bconst_cast\s*<[^;]*?>\s*\(\s*%s\b"
    % (JOB_STATE, JOB_STATE, JOB_STATE, JOB_STATE))
mod = lambda f: os.path.splitext(f)[0]
known = {mod(f) for f in src}
for f in src:
    text = open(os.path.join(root, f), errors="replace").read()
    for target in inc.findall(text):
        tf = target.split("/")[0]
        if "/" in target and tf != f.split("/")[0] and mod(target) in known:
            folder_edges.add((f.split("/")[0], tf))
        if mod(target) in known and mod(target) != mod(f):
            module_edges.add((mod(f), mod(target)))
    if f.startswith("calc/") and re.search(r'#\s*include\s+<(gtk|gdk)', text):
        gtk_in_calc.append(f)
    if re.search(r"\bgdk_threads_(enter|leave|set_lock_functions|init)\b", text):
        lock_calls.append(f)
    if not f.startswith("calc/"):
        # Comments go, their line ends kept, so that a line number still points at the write.
        code = re.sub(r"//[^\n]*|/\*.*?\*/", lambda m: "\n" * m.group(0).count("\n"), text, flags=re.S)
        for match in job_write.finditer(code):
            job_writes.append("%s:%d" % (f, code.count("\n", 0, match.start()) + 1))


def loops(edges):
    graph = {}
    for a, b in edges:
        graph.setdefault(a, set()).add(b)
    found, seen = [], set()
    for a, b in edges:
        # a loop through the edge a -> b exists when b reaches a
        stack, visited = [b], set()
        while stack:
            n = stack.pop()
            if n == a:
                key = tuple(sorted((a, b)))
                if key not in seen:
                    seen.add(key); found.append("%s -> %s" % (a, b))
                break
            if n in visited:
                continue
            visited.add(n); stack.extend(graph.get(n, ()))
    return found


# The floors from the top down; a folder may include its own floor's neighbours only where no loop forms.
# The job (calc/) stands on the settings and the engine, which know nothing of it; everything stands on
# the file operations (files/).
FLOORS = [["app"], ["dialogs"], ["ui"], ["calc"], ["settings", "fingerprint", "resources"], ["files"]]
floor_of = {folder: level for level, folders in enumerate(FLOORS) for folder in folders}
upward = sorted("%s>%s" % (a, b) for a, b in folder_edges
                if a in floor_of and b in floor_of and floor_of[b] < floor_of[a])

fl, ml = loops(folder_edges), loops(module_edges)
short = []
if upward: short.append("includes up a floor: %s" % ", ".join(upward))
if fl: short.append("folder include loops through %s" % ", ".join(sorted(fl)))
if ml: short.append("module include loops through %s" % ", ".join(sorted(ml)[:8]))
if gtk_in_calc: short.append("calc/ includes the toolkit: %s" % ", ".join(gtk_in_calc))
if lock_calls: short.append("gdk_threads lock used in %s" % ", ".join(lock_calls))
if job_writes: short.append("the job's state written outside calc/: %s" % ", ".join(job_writes))
folders = sorted({a for a, _ in folder_edges} | {b for _, b in folder_edges})
print("folders %s; edges %s" % (" ".join(folders), " ".join("%s>%s" % e for e in sorted(folder_edges))))
print("floors: " + ("; ".join(short) if short else "no folder or module include loops, calc/ toolkit-free, no gdk_threads lock, "
                                            "the job's state written in calc/ only"))
sys.exit(1 if short else 0)
