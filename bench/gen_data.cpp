// Benchmark data generator: seeded, so that every run measures the same bytes.
//
//   bench-gen mixed   DIR TOTAL_BYTES SEED   members of mixed text and binary content
//   bench-gen files   DIR COUNT TOTAL SEED   COUNT members of mixed content, TOTAL bytes in all
//   bench-gen small   DIR COUNT SEED         COUNT small members of 512 B to 8 KiB
//   bench-gen masters DIR COUNT BYTES SEED   zai000-3.mst ... master files of BYTES each
//   bench-gen bmp     FILE WIDTH HEIGHT SEED a 24-bit bottom-up picture
//
// Names are plain ASCII so that every tool extracts them under the same name.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

// splitmix64: small, fast and the same on every machine.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high].
    std::uint64_t Between(std::uint64_t low, std::uint64_t high) { return low + Next() % (high - low + 1); }

private:
    std::uint64_t state_;
};

// Words of the text blocks: ASCII and code page 932 (katakana and kanji), as the
// system's documents and settings mix them.
const std::vector<std::string>& Words()
{
    static const std::vector<std::string> words = {
        "MASTER", "material", "SS400", "SUS304", "t3.2", "[SYSTEM]", "VERSION=2", "plate", "angle",
        "\x83\x58\x83\x60\x81\x5B\x83\x8B",  // スチール
        "\x8D\xDE\x97\xBF",                  // 材料
        "\x90\x7D\x96\xCA",                  // 図面
        "\x88\xEA\x97\x97",                  // 一覧
        "\x83\x66\x83\x57\x83\x5E\x83\x43\x83\x55",  // デジタイザ
        "\xBA\xD8\xD1",                      // ｺﾘﾑ (half-width)
        "\x8D\x58\x90\x56",                  // 更新
        "0.5", "100x50", "12", "COM1", "KIND=3", "=", ",", "the", "and", "of",
    };
    return words;
}

void AppendText(std::string& out, Random& random, std::size_t bytes)
{
    const auto& words = Words();
    std::size_t lineLength = 0;
    while (out.size() < bytes) {
        out += words[random.Next() % words.size()];
        lineLength += 8;
        if (lineLength > random.Between(40, 120)) {
            out += "\r\n";
            lineLength = 0;
        } else {
            out += ' ';
        }
    }
    out.resize(bytes);
}

// Incompressible bytes, as compressed pictures and sounds are.
void AppendNoise(std::string& out, Random& random, std::size_t bytes)
{
    const std::size_t end = out.size() + bytes;
    while (out.size() < end) {
        std::uint64_t value = random.Next();
        for (int i = 0; i < 8 && out.size() < end; ++i, value >>= 8)
            out += static_cast<char>(value & 0xFF);
    }
}

// Program-like bytes: tables of small little-endian numbers, runs of zeros and
// repeated opcode patterns; compresses to about half.
void AppendStructured(std::string& out, Random& random, std::size_t bytes)
{
    const std::size_t end = out.size() + bytes;
    std::uint32_t counter = static_cast<std::uint32_t>(random.Next());
    while (out.size() < end) {
        switch (random.Next() % 4) {
        case 0:
            out.append(random.Between(4, 64), '\0');
            break;
        case 1:
            for (int i = 0; i < 16; ++i) {
                counter += static_cast<std::uint32_t>(random.Between(1, 9));
                out += static_cast<char>(counter & 0xFF);
                out += static_cast<char>(counter >> 8 & 0xFF);
            }
            break;
        case 2:
            out += "\x55\x8B\xEC\x83\xEC\x08\x53\x56\x57\x8B\x7D\x08";
            AppendNoise(out, random, 4);
            break;
        default:
            AppendNoise(out, random, random.Between(2, 24));
            break;
        }
    }
    out.resize(end);
}

// Blocks of 4 to 64 KiB: half text, a quarter noise, a quarter program-like.
std::string MixedContent(Random& random, std::size_t bytes)
{
    std::string out;
    out.reserve(bytes + 64);
    while (out.size() < bytes) {
        const std::size_t block = std::min<std::size_t>(random.Between(4096, 65536), bytes - out.size());
        const std::uint64_t pick = random.Next() % 4;
        if (pick < 2)
            AppendText(out, random, out.size() + block);
        else if (pick == 2)
            AppendNoise(out, random, block);
        else
            AppendStructured(out, random, block);
    }
    out.resize(bytes);
    return out;
}

bool WriteFile(const fs::path& path, std::string_view bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

std::string Numbered(const char* prefix, std::size_t number, const char* suffix)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s%04zu%s", prefix, number, suffix);
    return name;
}

// Members from 4 KiB to 16 MiB, sizes spread evenly on a log scale, until the
// total is reached; the last one takes what is left.
int Mixed(const fs::path& folder, std::uint64_t total, Random& random)
{
    static const char* const kSuffixes[] = {".TXT", ".DAT", ".EXE", ".MST", ".INI", ".BMP"};
    fs::create_directories(folder);
    std::uint64_t written = 0;
    for (std::size_t i = 0; written < total; ++i) {
        const int log2 = static_cast<int>(random.Between(12, 24));
        std::uint64_t size = random.Between(std::uint64_t{1} << (log2 - 1), std::uint64_t{1} << log2);
        size = std::min(size, total - written);
        const char* suffix = kSuffixes[random.Next() % std::size(kSuffixes)];
        if (!WriteFile(folder / Numbered("M", i, suffix), MixedContent(random, size)))
            return 1;
        written += size;
    }
    return 0;
}

// Exactly `count` members whose sizes, spread over a factor of 256, add up to `total`.
int Files(const fs::path& folder, std::uint64_t count, std::uint64_t total, Random& random)
{
    static const char* const kSuffixes[] = {".DAT", ".EXE", ".TXT", ".DLL"};
    fs::create_directories(folder);
    std::vector<std::uint64_t> weights(count);
    std::uint64_t sum = 0;
    for (std::uint64_t& weight : weights)
        sum += weight = std::uint64_t{1} << random.Between(0, 8);
    std::uint64_t written = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t size = i + 1 == count ? total - written : total / sum * weights[i];
        const char* suffix = kSuffixes[random.Next() % std::size(kSuffixes)];
        if (!WriteFile(folder / Numbered("F", i, suffix), MixedContent(random, size)))
            return 1;
        written += size;
    }
    return 0;
}

int Small(const fs::path& folder, std::uint64_t count, Random& random)
{
    fs::create_directories(folder);
    for (std::uint64_t i = 0; i < count; ++i) {
        if (!WriteFile(folder / Numbered("S", i, ".DAT"), MixedContent(random, random.Between(512, 8192))))
            return 1;
    }
    return 0;
}

// One master record: keys in bytes 1 to 12, a blank, the type letter in byte 14,
// a name, then padding to `length` bytes; CRLF.
void AppendRecord(std::string& out, Random& random, std::string_view key1, std::string_view key2,
                  char type, std::size_t length)
{
    std::string record;
    record += key1;
    record += key2;
    record += ' ';
    record += type;
    AppendText(record, random, std::min<std::size_t>(length, 66));
    while (record.size() < length)
        record += static_cast<char>('0' + random.Next() % 10);
    record.resize(length);
    // A line end inside the name would split the record.
    std::replace(record.begin(), record.end(), '\r', ' ');
    std::replace(record.begin(), record.end(), '\n', ' ');
    out += record;
    out += "\r\n";
}

// Records as the conversions meet them: size records of 186 bytes (to shrink)
// and of 185 (already converted), other records of various lengths, type letters
// A to D.
std::string MasterContent(Random& random, std::size_t bytes)
{
    static const char* const kKey1[] = {"400400", "400400", "100200", "300100"};
    static const char* const kKey2[] = {"000107", "000111", "000112", "000001"};
    std::string out;
    out.reserve(bytes + 256);
    while (out.size() < bytes) {
        const char type = static_cast<char>('A' + random.Next() % 4);
        const std::size_t length = random.Next() % 3 == 0 ? 185 : random.Next() % 3 == 0 ? random.Between(40, 200) : 186;
        AppendRecord(out, random, kKey1[random.Next() % 4], kKey2[random.Next() % 4], type, length);
    }
    return out;
}

int Masters(const fs::path& folder, std::uint64_t count, std::uint64_t bytes, Random& random)
{
    fs::create_directories(folder);
    for (std::uint64_t i = 0; i < count && i < 1000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "zai%03u-3.mst", static_cast<unsigned>(i));
        if (!WriteFile(folder / name, MasterContent(random, bytes)))
            return 1;
    }
    return 0;
}

void PutLe(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// Gradients with a little noise, so that no decoder can take a shortcut.
int Bitmap(const fs::path& file, std::uint32_t width, std::uint32_t height, Random& random)
{
    const std::uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    const std::uint32_t imageBytes = rowBytes * height;
    std::string out;
    out.reserve(54 + imageBytes);
    out += "BM";
    PutLe(out, 54 + imageBytes, 4);
    PutLe(out, 0, 4);
    PutLe(out, 54, 4);
    PutLe(out, 40, 4);
    PutLe(out, width, 4);
    PutLe(out, height, 4);
    PutLe(out, 1, 2);
    PutLe(out, 24, 2);
    PutLe(out, 0, 4);
    PutLe(out, imageBytes, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::size_t rowStart = out.size();
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint64_t noise = random.Next();
            out += static_cast<char>((x * 255 / width + (noise & 7)) & 0xFF);
            out += static_cast<char>((y * 255 / height + (noise >> 8 & 7)) & 0xFF);
            out += static_cast<char>(((x + y) * 255 / (width + height) + (noise >> 16 & 7)) & 0xFF);
        }
        out.append(rowBytes - (out.size() - rowStart), '\0');
    }
    return WriteFile(file, out) ? 0 : 1;
}

std::uint64_t Number(const char* text)
{
    return std::strtoull(text, nullptr, 10);
}

int Usage()
{
    std::cerr << "usage: bench-gen mixed DIR TOTAL_BYTES SEED | files DIR COUNT TOTAL SEED |\n"
                 "       small DIR COUNT SEED |\n"
                 "       masters DIR COUNT BYTES SEED | bmp FILE WIDTH HEIGHT SEED\n";
    return 64;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2)
        return Usage();
    const std::string_view what = argv[1];
    if (what == "mixed" && argc == 5) {
        Random random(Number(argv[4]));
        return Mixed(argv[2], Number(argv[3]), random);
    }
    if (what == "files" && argc == 6 && Number(argv[3]) > 0) {
        Random random(Number(argv[5]));
        return Files(argv[2], Number(argv[3]), Number(argv[4]), random);
    }
    if (what == "small" && argc == 5) {
        Random random(Number(argv[4]));
        return Small(argv[2], Number(argv[3]), random);
    }
    if (what == "masters" && argc == 6) {
        Random random(Number(argv[5]));
        return Masters(argv[2], Number(argv[3]), Number(argv[4]), random);
    }
    if (what == "bmp" && argc == 6) {
        Random random(Number(argv[5]));
        return Bitmap(argv[2], static_cast<std::uint32_t>(Number(argv[3])),
                      static_cast<std::uint32_t>(Number(argv[4])), random);
    }
    return Usage();
}
