// Writes the placeholder firmware image the build embeds when no real image
// is given: SIZE bytes of a fixed pseudo-random sequence, so every build of
// the same size yields the same bytes.
//
//   make-firmware-image OUTPUT SIZE

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSeed = 0x9E3779B9u;
constexpr std::size_t kChunk = 1 << 16;

// xorshift32: cheap and the same on every host.
uint32_t nextWord(uint32_t &state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

bool writeImage(const std::string &path, unsigned long long size)
{
    // Written beside the target and renamed, so an interrupted build never
    // leaves a short image that looks finished.
    const std::string partial = path + ".partial";
    std::FILE *out = std::fopen(partial.c_str(), "wb");
    if (!out)
        return false;
    std::vector<unsigned char> chunk(kChunk);
    uint32_t state = kSeed;
    bool ok = true;
    for (unsigned long long done = 0; ok && done < size;) {
        const std::size_t n = size - done < kChunk ? std::size_t(size - done) : kChunk;
        for (std::size_t i = 0; i < n; ++i)
            chunk[i] = static_cast<unsigned char>(nextWord(state) >> 24);
        ok = std::fwrite(chunk.data(), 1, n, out) == n;
        done += n;
    }
    ok = std::fclose(out) == 0 && ok;
    if (ok)
        ok = std::rename(partial.c_str(), path.c_str()) == 0;
    if (!ok)
        std::remove(partial.c_str());
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT SIZE\n", argv[0]);
        return 2;
    }
    char *end = nullptr;
    const unsigned long long size = std::strtoull(argv[2], &end, 10);
    if (!*argv[2] || *end) {
        std::fprintf(stderr, "%s: SIZE must be a decimal byte count\n", argv[0]);
        return 2;
    }
    if (!writeImage(argv[1], size)) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
