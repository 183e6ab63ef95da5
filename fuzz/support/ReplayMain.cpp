// Runs a fuzz target without libFuzzer: every seed file given (files or folders, walked
// recursively), then deterministic mutations of each seed and a few random buffers. Used by the
// test suite under the sanitizers so that every target keeps compiling and stays clean.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

constexpr int kMutationsPerSeed = 300;
constexpr int kRandomInputs = 300;

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void run(const std::vector<uint8_t>& bytes) {
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

std::vector<uint8_t> mutate(std::vector<uint8_t> bytes, std::mt19937& rng) {
    const int edits = 1 + int(rng() % 8);
    for (int i = 0; i < edits; ++i) {
        const size_t at = bytes.empty() ? 0 : rng() % bytes.size();
        switch (rng() % 5) {
            case 0:  // flip a bit
                if (!bytes.empty()) bytes[at] ^= uint8_t(1u << (rng() % 8));
                break;
            case 1:  // an extreme byte, as in sizes and lengths
                if (!bytes.empty()) bytes[at] = (rng() % 2) ? 0xff : 0x00;
                break;
            case 2:  // truncate
                bytes.resize(at);
                break;
            case 3:  // insert random bytes
                bytes.insert(bytes.begin() + std::ptrdiff_t(at), 1 + rng() % 16, uint8_t(rng()));
                break;
            default:  // overwrite four bytes, as a 32-bit field
                for (size_t k = 0; k < 4 && at + k < bytes.size(); ++k)
                    bytes[at + k] = uint8_t(rng());
                break;
        }
    }
    return bytes;
}

void collectSeeds(const std::filesystem::path& path, std::vector<std::filesystem::path>& seeds) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        seeds.push_back(path);
    } else if (std::filesystem::is_directory(path, error)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error)) {
            if (entry.is_regular_file(error) && entry.file_size(error) <= (8u << 20)) {
                seeds.push_back(entry.path());
            }
        }
    } else {
        std::fprintf(stderr, "note: seed path %s is absent, skipped\n", path.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> seeds;
    for (int i = 1; i < argc; ++i)
        collectSeeds(argv[i], seeds);
    std::mt19937 rng(20261206);
    for (const auto& seed : seeds) {
        const std::vector<uint8_t> bytes = readFile(seed);
        run(bytes);
        for (int m = 0; m < kMutationsPerSeed; ++m)
            run(mutate(bytes, rng));
    }
    for (int i = 0; i < kRandomInputs; ++i) {
        std::vector<uint8_t> bytes(rng() % 4096);
        for (auto& b : bytes)
            b = uint8_t(rng());
        run(bytes);
    }
    std::printf("%zu seeds, %zu inputs run clean\n", seeds.size(),
                seeds.size() * (kMutationsPerSeed + 1) + kRandomInputs);
    return 0;
}
