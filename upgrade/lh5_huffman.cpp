// Huffman code lengths limited to 16 bits, and the canonical codes made from them.
#include "upgrade/lh5_huffman.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace pelmo::lh5 {

// Code lengths of a Huffman code over `freq`, at most 16 bits. A table of one
// code, which the format allows, is never made: some readers (jlha's) take it
// only in a member's first block, so a second symbol is always given a code.
void MakeLengths(const std::uint32_t* freq, int n, std::uint8_t* length)
{
    std::fill(length, length + n, std::uint8_t{0});
    std::vector<int> used;
    for (int i = 0; i < n; ++i)
        if (freq[i] != 0)
            used.push_back(i);
    for (int spare = 0; used.size() < 2; ++spare)
        if (used.empty() || used.front() != spare)
            used.insert(used.begin(), spare);

    // Leaves in rising frequency, then merged nodes, which come out in rising
    // weight too: two queues make the tree without a heap.
    std::stable_sort(used.begin(), used.end(), [&](int a, int b) { return freq[a] < freq[b]; });
    const std::size_t leaves = used.size();
    std::vector<std::uint64_t> weight(2 * leaves - 1);
    std::vector<std::size_t> parent(2 * leaves - 1, 0);
    for (std::size_t i = 0; i < leaves; ++i)
        weight[i] = freq[used[i]];
    std::size_t nextLeaf = 0, nextNode = leaves, made = leaves;
    auto take = [&]() {
        if (nextLeaf < leaves && (nextNode >= made || weight[nextLeaf] <= weight[nextNode]))
            return nextLeaf++;
        return nextNode++;
    };
    while (made < 2 * leaves - 1) {
        const std::size_t a = take(), b = take();
        weight[made] = weight[a] + weight[b];
        parent[a] = parent[b] = made;
        ++made;
    }
    std::vector<int> depth(2 * leaves - 1, 0);
    std::array<int, kMaxCodeLength + 1> count{};
    for (std::size_t i = made - 1; i-- > 0;)
        depth[i] = depth[parent[i]] + 1;
    for (std::size_t i = 0; i < leaves; ++i)
        ++count[std::min(depth[i], kMaxCodeLength)];

    // Deeper leaves were put at 16 bits; take leaves from 16 and split shorter
    // ones until the code is complete again.
    std::uint32_t sum = 0;
    for (int i = 1; i <= kMaxCodeLength; ++i)
        sum += static_cast<std::uint32_t>(count[i]) << (kMaxCodeLength - i);
    while (sum > (1u << kMaxCodeLength)) {
        --count[kMaxCodeLength];
        for (int i = kMaxCodeLength - 1; i > 0; --i)
            if (count[i] != 0) {
                --count[i];
                count[i + 1] += 2;
                break;
            }
        --sum;
    }
    // The most frequent symbols get the shortest codes.
    std::size_t next = leaves;
    for (int bits = 1; bits <= kMaxCodeLength; ++bits)
        for (int k = 0; k < count[bits]; ++k)
            length[used[--next]] = static_cast<std::uint8_t>(bits);
}

// Canonical codes: shorter codes first, each length's symbols in rising order.
void MakeCodes(const std::uint8_t* length, int n, std::uint16_t* code)
{
    std::array<std::uint32_t, kMaxCodeLength + 2> start{};
    std::array<int, kMaxCodeLength + 1> count{};
    for (int i = 0; i < n; ++i)
        ++count[length[i]];
    count[0] = 0;
    for (int bits = 1; bits <= kMaxCodeLength; ++bits)
        start[bits + 1] = (start[bits] + static_cast<std::uint32_t>(count[bits])) << 1;
    for (int i = 0; i < n; ++i)
        code[i] = length[i] == 0 ? 0 : static_cast<std::uint16_t>(start[length[i]]++);
}

}  // namespace pelmo::lh5
