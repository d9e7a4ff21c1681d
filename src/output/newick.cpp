#include "output/newick.h"

// Placeholder until the Newick writer lands.
std::string newickOfFirstTree(const MergeTree&, const std::vector<double>&, const NameTable&,
                              bool) {
    return {};
}

std::string newickOfConsensusTree(const ConsensusTree&, const NameTable&, bool) { return {}; }
