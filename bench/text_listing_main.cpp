// Writes a generated TV listing of about BYTES bytes to standard output, for
// the comparisons with other tools.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/text_listing.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: mirvaly-text-listing BYTES [SEED]\n");
        return 2;
    }
    const size_t bytes = std::strtoull(argv[1], nullptr, 10);
    const uint64_t seed = argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const std::string text = mirvaly::bench::ListingGenerator(seed).make(bytes);
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
