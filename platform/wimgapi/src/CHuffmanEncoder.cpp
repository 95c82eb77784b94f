#include "CHuffmanEncoder.h"

#include <algorithm>
#include <queue>
#include <vector>

namespace {

struct Node {
    uint64_t weight;
    int left;
    int right;
};

// Depth of every leaf of an unrestricted Huffman tree.
unsigned TreeLengths(const std::vector<uint32_t>& freq, uint8_t* lengths)
{
    std::vector<Node> nodes;
    using Item = std::pair<uint64_t, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> heap;
    for (unsigned s = 0; s < freq.size(); ++s) {
        if (!freq[s]) continue;
        nodes.push_back({freq[s], -1, (int)s});
        heap.push({freq[s], (int)nodes.size() - 1});
    }
    while (heap.size() > 1) {
        Item a = heap.top(); heap.pop();
        Item b = heap.top(); heap.pop();
        nodes.push_back({a.first + b.first, a.second, b.second});
        heap.push({a.first + b.first, (int)nodes.size() - 1});
    }
    unsigned maxDepth = 0;
    std::vector<std::pair<int, unsigned>> stack{{heap.top().second, 0}};
    while (!stack.empty()) {
        auto [n, depth] = stack.back();
        stack.pop_back();
        if (nodes[n].left < 0) {
            lengths[nodes[n].right] = (uint8_t)depth;
            maxDepth = std::max(maxDepth, depth);
            continue;
        }
        stack.push_back({nodes[n].left, depth + 1});
        stack.push_back({nodes[n].right, depth + 1});
    }
    return maxDepth;
}

} // namespace

void CHuffmanEncoder::BuildLengths(const uint32_t* freq, unsigned numSymbols, unsigned maxLength, uint8_t* lengths)
{
    std::vector<uint32_t> f(freq, freq + numSymbols);
    unsigned used = 0;
    for (unsigned s = 0; s < numSymbols; ++s)
        used += f[s] ? 1 : 0;
    // A single symbol still needs a one-bit code and a partner.
    for (unsigned s = 0; used < 2 && s < numSymbols; ++s)
        if (!f[s]) { f[s] = 1; ++used; }
    for (;;) {
        std::fill(lengths, lengths + numSymbols, 0);
        if (TreeLengths(f, lengths) <= maxLength) return;
        // Flatten the distribution until the tree fits.
        for (auto& v : f)
            if (v) v = (v >> 1) | 1;
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
