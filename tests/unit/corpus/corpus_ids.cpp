#include "corpus_ids.h"

#include "hardware_id_corpus.h"

namespace corpus {

const std::vector<std::string>& all_ids() {
    static const std::vector<std::string> ids = read_hardware_ids(QV_HARDWARE_ID_CORPUS);
    return ids;
}

std::vector<std::string_view> ids_beginning_with(std::string_view prefix, std::string_view except) {
    std::vector<std::string_view> selected;
    for (const std::string& id : all_ids()) {
        const std::string_view view = id;
        if (view.substr(0, prefix.size()) == prefix &&
            (except.empty() || view.substr(0, except.size()) != except)) {
            selected.push_back(view);
        }
    }
    return selected;
}

std::string_view body_behind(std::string_view id, std::string_view prefix) {
    std::string_view body = id.substr(prefix.size());
    if (body.size() > 1 && body.front() == '*') {
        body.remove_prefix(1);
    }
    return body;
}

field_map split_fields(std::string_view body) {
    field_map fields;
    while (!body.empty()) {
        const std::size_t amp = body.find('&');
        const std::string_view f = body.substr(0, amp);
        const std::size_t underscore = f.find('_');
        if (underscore != std::string_view::npos) {
            fields[f.substr(0, underscore)] = f.substr(underscore + 1);
        }
        body = amp == std::string_view::npos ? std::string_view{} : body.substr(amp + 1);
    }
    return fields;
}

std::optional<std::string_view> field(const field_map& fields, std::string_view key) {
    const auto it = fields.find(key);
    if (it == fields.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string with_changed_character(std::string_view id, std::size_t pos) {
    std::string changed(id);
    char& c = changed.at(pos);
    const auto next_in = [&c](char first, char last) {
        if (c < first || c > last) {
            return false;
        }
        c = c == last ? first : static_cast<char>(c + 1);
        return true;
    };
    if (!next_in('0', '9') && !next_in('A', 'Z') && !next_in('a', 'z')) {
        c = 'A';
    }
    return changed;
}

void failure_log::add(std::string_view id, const std::string& what) {
    if (count_++ < shown_max) {
        shown_ += "\n  ";
        shown_ += id;
        shown_ += ": ";
        shown_ += what;
    }
}

std::string failure_log::summary() const {
    std::string text = std::to_string(count_) + " failures; the first:" + shown_;
    return text;
}

}  // namespace corpus
