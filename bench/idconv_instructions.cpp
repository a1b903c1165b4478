// Runs the conversion over a corpus sample under callgrind, in one of three
// modes:
//
//   build  converts each ID and releases the result, with collection on only
//          around the loop (run with --collect-atstart=no);
//   none   the same loop without the conversion: its count, subtracted from
//          that of "build", leaves the cost of the conversions;
//   calls  the conversion loop without turning collection on or off, for a
//          run with --collect-atstart=no --toggle-collect='idconv::build_compact_id*'
//          that counts the calls alone (their result not released).
//
//   idconv_instructions SAMPLE build|none|calls [REPEAT]
//
// SAMPLE is a corpus sample name ("corpus", "median", ...). Prints the number
// of IDs the loop went through.
#include "callgrind_collect.h"
#include "corpus_samples.h"

#include "idconv/id_conv.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Takes each result, so neither loop can be optimised away.
[[gnu::noinline]] void consume(std::string_view text) { asm volatile("" : : "r"(text.data()) : "memory"); }

template <typename Items, typename Step>
[[gnu::noinline]] void run(const Items& items, unsigned long repeat, bool collect, Step step) {
    if (collect) {
        bench::start_collecting();
    }
    for (unsigned long r = 0; r < repeat; ++r) {
        for (const auto& item : items) {
            step(item);
        }
    }
    if (collect) {
        bench::stop_collecting();
    }
}

void convert(std::string_view id) {
    const idconv::compact_id compact = idconv::build_compact_id(id);
    consume(compact);
}

int usage() {
    std::fprintf(stderr, "usage: idconv_instructions SAMPLE build|none|calls [REPEAT]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        return usage();
    }
    const std::vector<std::string_view> ids = bench::corpus_sample(argv[1]);
    const std::string_view mode = argv[2];
    const unsigned long repeat = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : 1UL;
    if (ids.empty() || repeat == 0) {
        std::fprintf(stderr, "idconv_instructions: empty sample \"%s\" or repeat\n", argv[1]);
        return 1;
    }

    if (mode == "none") {
        run(ids, repeat, true, [](std::string_view id) { consume(id); });
    } else if (mode == "build") {
        run(ids, repeat, true, convert);
    } else if (mode == "calls") {
        run(ids, repeat, false, convert);
    } else {
        return usage();
    }
    std::printf("%lu\n", static_cast<unsigned long>(ids.size()) * repeat);
    return 0;
}
