# Random scenarios of page operations for the differential check (run.sh).
# Usage: scenarios.py SEED MODE, MODE one of plain (plain needles, no characters outside
# the BMP), nosel (plain needles with such characters but no select: a selection between the
# halves of a surrogate pair is snapped by MemoryPage and not by Ace), regex, empty
# (expressions with empty matches).
import random, sys
seed = int(sys.argv[1]); mode = sys.argv[2] if len(sys.argv) > 2 else "plain"
rnd = random.Random(seed)
atoms = ["a", "b", "foo", "Foo", " ", "\n", "\r\n", "中", "😀", "_", ".", "ab", "x1"]
if mode == "plain":
    atoms.remove("😀")
def text(n): return "".join(rnd.choice(atoms) for _ in range(rnd.randint(0, n)))
H = lambda s: s.encode().hex()
plain_needles = ["a", "foo", "ab", "o", "中", "a b", "Foo", ".", "b\na", "o\nf"]
regex_needles = ["a+", "f.o", "[ab]", "\\w\\d", "(a)(b)", "F?oo", "o+$", "^f", "中|_"]
empty_needles = ["o*", "^", "$", "x*", "\\b"]
ops = [f"set\t{H(text(30))}"]
for _ in range(rnd.randint(1, 12)):
    k = rnd.random()
    if k < 0.15: ops.append(f"append\t{H(text(5))}")
    elif k < 0.25: ops.append(f"insert\t{H(text(4))}")
    elif k < 0.40 and mode != "nosel": ops.append("select\t%d\t%d\t%d\t%d" % tuple(rnd.randint(-1, 8) for _ in range(4)))
    elif k < 0.45: ops.append(f"goto\t{rnd.randint(-1, 8)}")
    elif k < 0.75:
        if mode in ("plain", "nosel"): n, rx = rnd.choice(plain_needles), 0
        elif mode == "regex": n, rx = rnd.choice(regex_needles), 1
        else: n, rx = rnd.choice(empty_needles), 1
        ops.append("find\t%s\t%d\t%d\t%d\t%d" % (H(n), rnd.random() < 0.3, rnd.random() < 0.3, rnd.random() < 0.3 and mode in ("plain", "nosel"), rx))
    elif k < 0.88:
        if ops[-1].startswith("find"): ops.append(f"replace\t{H(rnd.choice(['X', '', 'ab', '$&!', 'Y$1']))}")
    else: ops.append(f"replaceAll\t{H(rnd.choice(['X', '', 'ab', '$&!', 'Y$1']))}")
print("\n".join(ops))
