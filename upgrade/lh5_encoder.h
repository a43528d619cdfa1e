// The -lh5- compressor: LZSS over an 8 KiB window, its codes in Huffman-coded blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace pelmo {

// Compresses one member's data as it is handed over, in pieces of any size, and
// passes the compressed bytes on in pieces; memory stays the same whatever the size.
class Lh5Encoder {
public:
    // Codes in a block at most: a block's count is 16 bits.
    static constexpr std::size_t kBlockSymbols = 0x7FFF;

    // `emit` takes the compressed bytes; returning false stops the encoder, which
    // then ignores what it is given. Smaller blocks adapt their tables sooner
    // and cost more tables.
    explicit Lh5Encoder(std::function<bool(std::string_view)> emit, std::size_t blockSymbols = kBlockSymbols);
    ~Lh5Encoder();
    Lh5Encoder(const Lh5Encoder&) = delete;
    Lh5Encoder& operator=(const Lh5Encoder&) = delete;

    // Starts the next member's data, keeping the tables, which are large to
    // clear for each of many small members; nothing of the data before is matched.
    void Restart(std::function<bool(std::string_view)> emit);

    bool Feed(std::string_view bytes);
    // Codes what is left and pads the last byte; false when `emit` refused.
    bool Finish();
    std::uint64_t BytesOut() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace pelmo
