#include "CHuffmanEncoder.h"

#include <algorithm>

namespace {

// Built once per compressed chunk on every worker: nothing here allocates,
// so that the workers never meet in the heap's lock.
struct Leaf {
    uint64_t weight;
    unsigned symbol;
};

// Depth of every leaf of an unrestricted Huffman tree over the symbols of
// non-zero frequency (at least two), built from the leaves in order of weight
// and the merged nodes in the order they are made, which is theirs too.
unsigned TreeLengths(const uint32_t* freq, unsigned numSymbols, uint8_t* lengths)
{
    Leaf leaves[CHuffmanEncoder::kMaxSymbols];
    unsigned count = 0;
    for (unsigned s = 0; s < numSymbols; ++s)
        if (freq[s]) leaves[count++] = {freq[s], s};
    std::sort(leaves, leaves + count, [](const Leaf& a, const Leaf& b) {
        return a.weight != b.weight ? a.weight < b.weight : a.symbol < b.symbol;
    });
    uint64_t weight[CHuffmanEncoder::kMaxSymbols];
    unsigned leafParent[CHuffmanEncoder::kMaxSymbols];
    unsigned nodeParent[CHuffmanEncoder::kMaxSymbols];
    unsigned leaf = 0, node = 0;
    auto takeLightest = [&](unsigned parent) {
        if (leaf < count && (node >= parent || leaves[leaf].weight <= weight[node])) {
            leafParent[leaf] = parent;
            return leaves[leaf++].weight;
        }
        nodeParent[node] = parent;
        return weight[node++];
    };
    for (unsigned made = 0; made + 1 < count; ++made) {
        uint64_t a = takeLightest(made);
        weight[made] = a + takeLightest(made);
    }
    // A node's parent is made after it: depths go from the root down.
    unsigned depth[CHuffmanEncoder::kMaxSymbols];
    unsigned root = count - 2;
    depth[root] = 0;
    for (unsigned n = root; n-- > 0;)
        depth[n] = depth[nodeParent[n]] + 1;
    unsigned maxDepth = 0;
    for (unsigned i = 0; i < count; ++i) {
        unsigned d = depth[leafParent[i]] + 1;
        lengths[leaves[i].symbol] = (uint8_t)d;
        maxDepth = std::max(maxDepth, d);
    }
    return maxDepth;
}

} // namespace

void CHuffmanEncoder::BuildLengths(const uint32_t* freq, unsigned numSymbols, unsigned maxLength, uint8_t* lengths)
{
    numSymbols = std::min(numSymbols, kMaxSymbols);
    uint32_t f[kMaxSymbols];
    std::copy(freq, freq + numSymbols, f);
    unsigned used = 0;
    for (unsigned s = 0; s < numSymbols; ++s)
        used += f[s] ? 1 : 0;
    // A single symbol still needs a one-bit code and a partner.
    for (unsigned s = 0; used < 2 && s < numSymbols; ++s)
        if (!f[s]) { f[s] = 1; ++used; }
    for (;;) {
        std::fill(lengths, lengths + numSymbols, 0);
        if (TreeLengths(f, numSymbols, lengths) <= maxLength) return;
        // Flatten the distribution until the tree fits.
        for (unsigned s = 0; s < numSymbols; ++s)
            if (f[s]) f[s] = (f[s] >> 1) | 1;
    }
}

void CHuffmanEncoder::AssignCodes(const uint8_t* lengths, unsigned numSymbols, uint32_t* codes)
{
    uint32_t count[33] = {};
    for (unsigned s = 0; s < numSymbols; ++s)
        count[lengths[s]]++;
    count[0] = 0;
    uint32_t next[33] = {};
    uint32_t code = 0;
    for (unsigned len = 1; len <= 32; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    for (unsigned s = 0; s < numSymbols; ++s)
        codes[s] = lengths[s] ? next[lengths[s]]++ : 0;
}
