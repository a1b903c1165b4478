#include "corpus_samples.h"

#include "hardware_id_corpus.h"

#include <algorithm>

namespace bench {
namespace {

std::vector<std::string_view> with_prefix(std::string_view prefix) {
    std::vector<std::string_view> ids;
    for (const std::string& id : corpus_ids()) {
        if (std::string_view(id).substr(0, prefix.size()) == prefix) {
            ids.emplace_back(id);
        }
    }
    return ids;
}

std::vector<std::string_view> median_of(std::vector<std::string_view> ids) {
    if (ids.empty()) {
        return ids;
    }
    std::stable_sort(ids.begin(), ids.end(),
                     [](std::string_view a, std::string_view b) { return a.size() < b.size(); });
    return {ids[(ids.size() - 1) / 2]};
}

}  // namespace

const std::vector<std::string>& corpus_ids() {
    static const std::vector<std::string> ids = corpus::read_hardware_ids(QV_HARDWARE_ID_CORPUS);
    return ids;
}

std::vector<std::string_view> corpus_sample(std::string_view name) {
    if (name == "corpus") {
        return with_prefix("");
    }
    if (name == "median") {
        return median_of(with_prefix(""));
    }
    if (name == "pci") {
        return with_prefix("PCI\\");
    }
    if (name == "usb") {
        return with_prefix("USB\\");
    }
    if (name == "median-pci") {
        return median_of(with_prefix("PCI\\"));
    }
    if (name == "median-usb") {
        return median_of(with_prefix("USB\\"));
    }
    return {};
}

const std::vector<std::string_view>& corpus_sample_names() {
    static const std::vector<std::string_view> names = {"corpus", "median", "pci", "usb", "median-pci",
                                                        "median-usb"};
    return names;
}

}  // namespace bench
