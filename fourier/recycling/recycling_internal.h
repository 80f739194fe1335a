// Word numbers and small helpers shared by the recycling routines.
#pragma once

#include <string>

#include "jobcontrol/records/scatter.h"

namespace zanek {

// The two characters of the symbol of species t (blanks outside 1..8).
inline std::string species_symbol(int t) {
    if (t < 1 || t > sf::kMaxSpecies) return "  ";
    const char* p = reinterpret_cast<const char*>(&sf::symbol(t));
    return std::string(p, 2);
}

// Index of the lightest non-hydrogen species: 2 when species 1 is
// hydrogen, else 1.
inline int light_species() { return (sf::species() >= 1 && sf::z(1) == 1) ? 2 : 1; }

// Shortest distance (Angstrom) from y to any symmetry equivalent of x
// (every centring vector, both signs in a centrosymmetric group, every
// operator of the special-position library); the first of equal ones wins.
double shortest_equivalent_distance(const float x[3], const float y[3]);
// Atoms of the cell one general peak stands for: (centric + 1) x operators x
// lattice points.
double multiplicity_factor();
// Bonding radius of species t from list 3 as loaded by YFL03.
double bonding_radius(int t);

}  // namespace zanek
