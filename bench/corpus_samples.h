// The samples of the hardware-ID corpus that the benchmarks run on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bench {

// The corpus IDs in file order, read once; empty when the file is missing.
const std::vector<std::string>& corpus_ids();

// A named selection of corpus IDs:
//   "corpus"      every ID
//   "median"      the ID of median length (the first such in file order)
//   "pci", "usb"  every ID with that bus prefix
//   "median-pci", "median-usb"  the ID of median length among those
// Empty for an unknown name.
std::vector<std::string_view> corpus_sample(std::string_view name);

// The names corpus_sample knows, in the order the benchmarks report them.
const std::vector<std::string_view>& corpus_sample_names();

}  // namespace bench
