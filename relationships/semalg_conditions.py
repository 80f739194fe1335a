#!/usr/bin/env python3
"""Builds the condition table of the seminvariance routine (semalg_conditions.inc).

For every rotation matrix R that a space group of this program can hold
(the 24 cubic and 12 hexagonal rotations of the symmetry analysis and their
negatives, the identity left out) the reflections H = K (I - R), K any
integer row vector, form a lattice. The table states that lattice as at
most three linear forms of h, k, l with their moduli (0: the form must
vanish), packed the way the condition printer reads them:

  form   : n * 10**6 + the n characters as digits from 10**5 downwards
  moduli : m * 10**3 + the m characters as digits from 10**2 downwards

over the alphabet "0123hkl,+-" (digit d selects character d + 1). The
matrix code is that of the condition printer: with e(i,j) = R(i,j) + 1,
a_i = 16 e(i,1) + 4 e(i,2) + e(i,3) and code = 100 a_1 + 10 a_2 + a_3.

Run:  python3 semalg_conditions.py > semalg_conditions.inc
"""
import itertools

ALPHABET = "0123hkl,+-"

CUBIC = ["x,y,z", "x,-y,-z", "-x,y,-z", "-x,-y,z", "z,x,y", "-z,x,-y",
         "-z,-x,y", "z,-x,-y", "y,z,x", "-y,-z,x", "y,-z,-x", "-y,z,-x",
         "-y,-x,-z", "y,-x,z", "-y,x,z", "y,x,-z", "-x,-z,-y", "-x,z,y",
         "x,z,-y", "x,-z,y", "-z,-y,-x", "z,y,-x", "z,-y,x", "-z,y,x"]
HEXAGONAL = ["x,y,z", "x-y,x,z", "-y,x-y,z", "-x,-y,z", "-x+y,-x,z", "y,-x+y,z",
             "y,x,-z", "x,x-y,-z", "x-y,-y,-z", "-y,-x,-z", "-x,-x+y,-z", "-x+y,y,-z"]


def parse(image):
    m = [[0] * 3 for _ in range(3)]
    for row, expr in enumerate(image.split(",")):
        sign = 1
        for ch in expr:
            if ch == "-":
                sign = -1
            elif ch == "+":
                sign = 1
            else:
                m[row]["xyz".index(ch)] = sign
                sign = 1
    return tuple(tuple(r) for r in m)


def neg(m):
    return tuple(tuple(-v for v in r) for r in m)


def code_of(m):
    a = [16 * (r[0] + 1) + 4 * (r[1] + 1) + (r[2] + 1) for r in m]
    return 100 * a[0] + 10 * a[1] + a[2]


def echelon(rows):
    """Row-style Hermite basis of the lattice spanned by the integer rows."""
    rows = [list(r) for r in rows if any(r)]
    basis = []
    col = 0
    while rows and col < 3:
        nz = [r for r in rows if r[col] != 0]
        if not nz:
            col += 1
            continue
        while len([r for r in rows if r[col] != 0]) > 1:
            nz = sorted([r for r in rows if r[col] != 0], key=lambda r: abs(r[col]))
            p = nz[0]
            for r in nz[1:]:
                q = r[col] // p[col]
                for j in range(3):
                    r[j] -= q * p[j]
            rows = [r for r in rows if any(r)]
        p = [r for r in rows if r[col] != 0][0]
        if p[col] < 0:
            p[:] = [-v for v in p]
        basis.append((col, p[:]))
        rows = [r for r in rows if r is not p]
        col += 1
    return basis


def member(basis, h):
    h = list(h)
    for col, p in basis:
        if h[col] % p[col]:
            return False
        q = h[col] // p[col]
        h = [h[j] - q * p[j] for j in range(3)]
    return not any(h)


def form_text(f):
    out = ""
    for c, letter in zip(f, "hkl"):
        if c == 0:
            continue
        if c < 0:
            out += "-"
        elif out:
            out += "+"
        out += (str(abs(c)) if abs(c) > 1 else "") + letter
    return out


def conditions(m):
    rows = [[(1 if i == j else 0) - m[i][j] for j in range(3)] for i in range(3)]
    basis = echelon(rows)
    box = list(itertools.product(range(-6, 7), repeat=3))
    inside = {h for h in box if member(basis, h)}
    items = []
    for f in itertools.product(range(-2, 3), repeat=3):
        if not any(f) or next(c for c in f if c) < 0:
            continue
        for mod in (0, 2, 3):
            if all(sum(a * b for a, b in zip(f, p)) % mod == 0 if mod else
                   sum(a * b for a, b in zip(f, p)) == 0 for _, p in basis):
                items.append((f, mod))

    def holds(h, chosen):
        for f, mod in chosen:
            s = sum(a * b for a, b in zip(f, h))
            if (s % mod if mod else s) != 0:
                return False
        return True

    best = None
    for n in range(1, 4):
        for chosen in itertools.combinations(items, n):
            # Forms in h, k, l order: the one that starts earliest first.
            chosen = tuple(sorted(chosen, key=lambda it: (next(i for i, c in enumerate(it[0]) if c),
                                                           sum(1 for c in it[0] if c), it[0])))
            text = ",".join(form_text(f) for f, _ in chosen)
            if len(text) > 6:
                continue
            if {h for h in box if holds(h, chosen)} != inside:
                continue
            key = (len(text), text)
            if best is None or key < best[0]:
                best = (key, chosen)
        if best:
            break
    assert best, m
    return best[0][1], ",".join(str(mod) for _, mod in best[1])


def pack(text, digit_weight_top):
    n = len(text)
    value = n * digit_weight_top * 10
    w = digit_weight_top
    for ch in text:
        value += ALPHABET.index(ch) * w
        w //= 10
    return value


def main():
    mats = []
    for image in CUBIC + HEXAGONAL:
        for m in (parse(image), neg(parse(image))):
            if m not in mats:
                mats.append(m)
    identity = ((1, 0, 0), (0, 1, 0), (0, 0, 1))
    mats.remove(identity)
    codes = [code_of(m) for m in mats]
    assert len(set(codes)) == len(codes) == 63
    forms, moduli, entries = [], [], []
    for m in mats:
        form, mods = conditions(m)
        if form not in forms:
            forms.append(form)
        if mods not in moduli:
            moduli.append(mods)
        entries.append((code_of(m), 100 * (forms.index(form) + 1) + moduli.index(mods) + 1, m, form, mods))
    entries.sort()
    print("// Generated by semalg_conditions.py: the seminvariance conditions of the")
    print("// 63 rotation matrices (matrix code, 100 form number + moduli number).")
    print("constexpr int kConditionCount = %d;" % len(entries))
    print("constexpr int kConditionCodes[kConditionCount][2] = {")
    for code, v, m, form, mods in entries:
        print("    {%d, %d},  // %s  (%s) mod (%s)" % (code, v, " ".join(",".join(str(x) for x in r) for r in m), form, mods))
    print("};")
    print("constexpr int kFormCount = %d;" % len(forms))
    print("constexpr int kPackedForms[kFormCount] = {")
    for f in forms:
        print("    %d,  // %s" % (pack(f, 100000), f))
    print("};")
    print("constexpr int kModuliCount = %d;" % len(moduli))
    print("constexpr int kPackedModuli[kModuliCount] = {")
    for md in moduli:
        print("    %d,  // %s" % (pack(md.replace(",", ""), 100), md))
    print("};")


if __name__ == "__main__":
    main()
