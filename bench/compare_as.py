#!/usr/bin/env python3
"""Times vorelasm side by side with GNU as (x86-64) on programs of one shape.

Usage: bench/compare_as.py [-n PAIRS] [path/to/vorelasm]
       bench/compare_as.py -w DIR   (writes the programs to DIR and ends)
(default: build-release/vorelasm of this tree; build it in Release)

What is timed: whole processes, the wall clock from spawn to reap, as a user
feels a run. Each vorelasm run writes its .hex and each as run its .o into a
scratch folder; standard output and error go to /dev/null. Three cases:
  1. one assembly of a 4096-line program;
  2. one assembly of a 200000-line program: vorelasm reads and resolves every
     line, then stops with "Program too long" (exit status 1, no .hex);
  3. vorelasm -s 50 on the 4096-line program against as on 204800 lines.
Both programs of a case have the same line count and the same layout: a label
every 16 lines, a comment every 8, one instruction on every other line, the
same mix of moves, arithmetic, jumps to near labels and waits.

Each case runs one uncounted warm-up pair, then PAIRS pairs (default 31; ten
times as many for the 4096-line assembly, whose runs are short): vorelasm,
then as, in turn, so that a change in the machine's speed touches both runs of
a pair alike. It prints the median wall time of one process of each, and the
ratio vorelasm / as as the MEDIAN OF THE PAIR-BY-PAIR RATIOS (with the lowest
and highest). On a shared machine the absolute times move with the load; the
ratio is the figure that holds. The peak resident set is not measured here:
a child's peak, as the kernel reports it, includes this interpreter's; time
the programs of -w with /usr/bin/time -f '%M KB' for that.

Needs python3 and binutils' as. Exit status: 0 measured, 1 a program did not
give the expected result, 2 bad arguments or a missing tool.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MEMORY_WORDS = 4096  # vorel instruction memory: the jump targets' range
X86_REGS = ["eax", "ecx", "edx", "ebx", "esi", "edi", "r8d", "r9d", "r10d",
            "r11d", "r12d", "r13d", "r14d", "r15d"]
MIX = ["move"] * 3 + ["add"] * 3 + ["sub", "and"] * 2 + ["jlt", "jmp", "loop"] \
    + ["wait", "play"] * 2 + ["gain", "nop"]


def line_kind(i, n):
    if i == n - 1:
        return "stop"
    if i % 16 == 0:
        return "label"
    if i % 8 == 4:
        return "comment"
    return "insn"


def programs(n):
    """The vorel and the x86 text of an n-line program, line for line alike."""
    kinds = [line_kind(i, n) for i in range(n)]
    label_addr, addr = {}, 0  # a label's address: the instructions above it
    for i, kind in enumerate(kinds):
        if kind == "label":
            label_addr[i // 16] = addr
        elif kind != "comment":
            addr += 1
    rnd = random.Random(1)
    vorel, x86 = [], []
    addr = 0
    for i, kind in enumerate(kinds):
        block = i // 16
        if kind == "label":
            vorel.append("lbl_%d:" % block)
            x86.append("lbl_%d:" % block)
            continue
        if kind == "comment":
            text = "# block %d: %s" % (block, " ".join(rnd.sample(MIX, 4)))
            vorel.append(text)
            x86.append(text)
            continue
        if kind == "stop":
            vorel.append("    stop")
            x86.append("    ret")
            continue
        op = rnd.choice(MIX)
        a, b, d = rnd.randrange(64), rnd.randrange(64), rnd.randrange(64)
        ra, rb, rd = (X86_REGS[r % len(X86_REGS)] for r in (a, b, d))
        imm, cnt = rnd.randrange(65536), rnd.randrange(4, 65536)
        # A forward jump only where the encoder takes it: a target inside
        # instruction memory, or a jump that is never encoded.
        ahead = label_addr.get(block + 1)
        target = block + 1 if ahead is not None and (
            ahead < MEMORY_WORDS or addr >= MEMORY_WORDS) and rnd.random() < 0.5 else block
        v, x = {
            "move": ("move %d,R%d" % (imm, d), "mov $%d, %%%s" % (imm, rd)),
            "add": ("add R%d,%d,R%d" % (a, imm, d), "add $%d, %%%s" % (imm, rd)),
            "and": ("and R%d,%d,R%d" % (a, imm, d), "and $%d, %%%s" % (imm, rd)),
            "sub": ("sub R%d,R%d,R%d" % (a, b, d), "sub %%%s, %%%s" % (rb, rd)),
            "jlt": ("jlt R%d,%d,@lbl_%d" % (a, imm, target), "jl lbl_%d" % target),
            "jmp": ("jmp @lbl_%d" % target, "jmp lbl_%d" % target),
            "loop": ("loop R%d,@lbl_%d" % (a, block), "jnz lbl_%d" % block),
            "wait": ("wait %d" % cnt, "cmp $%d, %%%s" % (cnt, ra)),
            "play": ("play %d,%d,%d" % (a, b, cnt), "imul $%d, %%%s, %%%s" % (cnt, ra, rb)),
            "gain": ("set_awg_gain %d,%d" % (imm - 32768, cnt - 32768),
                     "movl $%d, %d(%%rsp)" % (imm - 32768, cnt - 32768)),
            "nop": ("nop", "nop"),
        }[op]
        vorel.append("    " + v)
        x86.append("    " + x)
        addr += 1
    return "\n".join(vorel) + "\n", "\n".join(x86) + "\n"


def run(argv):
    """Runs argv with no input or output; returns its wall time in seconds."""
    null = [(os.POSIX_SPAWN_OPEN, fd, os.devnull, flags, 0)
            for fd, flags in ((0, os.O_RDONLY), (1, os.O_WRONLY), (2, os.O_WRONLY))]
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=null)
    os.waitpid(pid, 0)
    return time.perf_counter() - start


def check(argv, want_status, want_text=None):
    result = subprocess.run(argv, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if result.returncode != want_status or (want_text and want_text not in result.stderr):
        sys.exit("compare_as: %s gave exit status %d, expected %d%s; its log:\n%s" % (
            " ".join(argv), result.returncode, want_status,
            " and \"%s\"" % want_text if want_text else "", result.stderr[-2000:]))


def check_hex(hex_path, source_path):
    """The .hex holds one word of 16 lower-case hex digits per instruction line."""
    with open(source_path) as f:
        want = sum(1 for line in f if line.startswith("    "))
    try:
        with open(hex_path) as f:
            words = f.read().split("\n")[:-1]
    except OSError:
        words = []
    if len(words) != want or not all(
            len(w) == 16 and all(c in "0123456789abcdef" for c in w) for w in words):
        sys.exit("compare_as: %s is not %d words of 16 lower-case hex digits" % (hex_path, want))


def pairs(label, vorel_argv, as_argv, count):
    runs = [(run(vorel_argv), run(as_argv)) for _ in range(count + 1)][1:]
    ratios = sorted(v / a for v, a in runs)
    print("%-34s %5d %9.2f %8.2f %7.2f  (%.2f..%.2f)" % (
        label, count, statistics.median(v for v, _ in runs) * 1000,
        statistics.median(a for _, a in runs) * 1000, statistics.median(ratios), ratios[0],
        ratios[-1]), flush=True)


def write_programs(folder):
    for n in (4096, 200000, 204800):
        vorel, x86 = programs(n)
        if n != 204800:  # vorelasm takes that one as -s 50 on 4096 lines
            with open(os.path.join(folder, "v%d.vasm" % n), "w") as f:
                f.write(vorel)
        with open(os.path.join(folder, "x%d.s" % n), "w") as f:
            f.write(x86)


def main():
    tree = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-n", type=int, default=31, metavar="PAIRS",
                        help="counted pairs per case (default 31, ten times that for 4096 lines)")
    parser.add_argument("-w", metavar="DIR", help="write the programs to DIR and end")
    parser.add_argument("vorelasm", nargs="?", help="the program to time (default: %(default)s)",
                        default=os.path.join(tree, "build-release", "vorelasm"))
    args = parser.parse_args()
    if args.w:
        os.makedirs(args.w, exist_ok=True)
        write_programs(args.w)
        print("wrote v4096.vasm and v200000.vasm (vorelasm), x4096.s, x200000.s and "
              "x204800.s (as) to " + args.w)
        return
    vorelasm = os.path.abspath(args.vorelasm)
    gas = shutil.which("as")
    for fault in ((args.n < 1 and "PAIRS must be at least 1"),
                  (not os.access(vorelasm, os.X_OK) and vorelasm + " is not executable"),
                  (not gas and "as is not in the PATH")):
        if fault:
            print("compare_as: " + fault, file=sys.stderr)
            sys.exit(2)
    as_version = subprocess.run([gas, "--version"], capture_output=True, text=True)
    print("vorelasm: %s\nas:       %s" % (vorelasm, as_version.stdout.splitlines()[0]))

    with tempfile.TemporaryDirectory(prefix="vorel-compare-") as work:
        def path(name):
            return os.path.join(work, name)

        write_programs(work)
        vorel = lambda *a: [vorelasm, "-o", path("out")] + list(a)
        gas_on = lambda n: [gas, "-o", path("out.o"), path("x%d.s" % n)]
        check(vorel(path("v4096.vasm")), 0)
        check_hex(path("out.hex"), path("v4096.vasm"))
        check(vorel(path("v200000.vasm")), 1, "Program too long")
        check(vorel("-s", "50", path("v4096.vasm")), 0)
        for n in (4096, 200000, 204800):
            check(gas_on(n), 0)

        print("\n%-34s %5s %9s %8s %7s  %s" % (
            "case (per process)", "pairs", "vorel ms", "as ms", "ratio", "(min..max)"))
        pairs("4096 lines, one assembly", vorel(path("v4096.vasm")), gas_on(4096), 10 * args.n)
        pairs("200000 lines, one assembly", vorel(path("v200000.vasm")), gas_on(200000), args.n)
        pairs("-s 50 x 4096 lines vs 204800", vorel("-s", "50", path("v4096.vasm")),
              gas_on(204800), args.n)
    print("\nratio: vorelasm / as, wall time, median of the pair-by-pair ratios")


if __name__ == "__main__":
    main()
