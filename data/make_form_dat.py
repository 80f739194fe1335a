#!/usr/bin/python3
"""Writes data/form.dat, the scattering-factor file, from the element tables
of gemmi (Debian package python3-gemmi).

    /usr/bin/python3 data/make_form_dat.py            # rewrites data/form.dat
    /usr/bin/python3 data/make_form_dat.py OUTFILE

The generated file is committed; the program and its tests never need gemmi.
See data/README.md for the layout and the meaning of every number.
"""

import os
import sys

import gemmi

RELEASE = "92.11"
CARDS_PER_ENTRY = 5
FIRST_Z, LAST_Z = 1, 92  # H to U

MO_KALPHA = 0.71073  # wavelengths in Angstrom
CU_KALPHA = 1.54184

# Bonding radius of carbon: the classic single-bond value. gemmi lists the
# sp2 radius (0.73); the bonds met when an E-map is interpreted are mostly
# single bonds, and 0.77 is the radius the interpretation's limits assume.
RADIUS_OVERRIDE = {"C": 0.77}


def num(value, decimals):
    """A number in plain decimal notation (the file's card scanner reads no
    exponents), rounded to the given decimals, trailing zeros dropped."""
    text = "%.*f" % (decimals, round(value, decimals) + 0.0)
    if "." in text:
        text = text.rstrip("0")
        if text.endswith("."):
            text += "0"
    if text in ("-0.0", "-0"):
        text = "0.0"
    return text


def card(symbol, numbers):
    line = "%-3s" % symbol + "".join("%11s" % n for n in numbers)
    assert len(line) <= 80, line
    return line


def entry(z):
    el = gemmi.Element(z)
    sym = el.name.lower()
    a1, a2, a3, a4, b1, b2, b3, b4, c = el.it92.get_coefs()
    radius = RADIUS_OVERRIDE.get(el.name, el.covalent_r)
    energy_mo = gemmi.hc / MO_KALPHA
    energy_cu = gemmi.hc / CU_KALPHA
    fp_mo, fpp_mo = gemmi.cromer_liberman(z=z, energy=energy_mo)
    fp_cu, fpp_cu = gemmi.cromer_liberman(z=z, energy=energy_cu)
    b_neutron = el.neutron92.get_coefs()[0]
    coef = lambda v: num(v, 6)
    return [
        # card 1: Z, atomic mass, bonding radius
        card(sym, [str(z), num(el.weight, 4), num(radius, 2)]),
        # card 2: a1 b1 a2 b2 a3 b3
        card(sym, [coef(a1), coef(b1), coef(a2), coef(b2), coef(a3), coef(b3)]),
        # card 3: a4 b4 c
        card(sym, [coef(a4), coef(b4), coef(c)]),
        # card 4: f' and f'' for Mo K-alpha, neutron coherent scattering length (fm)
        card(sym, [num(fp_mo, 4), num(fpp_mo, 4), num(b_neutron, 4)]),
        # card 5 (not read by the program): f' and f'' for Cu K-alpha
        card(sym, [num(fp_cu, 4), num(fpp_cu, 4)]),
    ]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "form.dat")
    lines = [RELEASE + "   X-ray scattering factors H-U, Int. Tables Vol. C Table 6.1.1.4",
             "%5d" % CARDS_PER_ENTRY]
    for z in range(FIRST_Z, LAST_Z + 1):
        cards = entry(z)
        assert len(cards) == CARDS_PER_ENTRY
        lines.extend(cards)
    with open(out, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
