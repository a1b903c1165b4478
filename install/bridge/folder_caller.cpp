// The bridge with the helper in a folder of the caller's choosing, and
// staging and removal through it; apart from the library's side of the
// bridge (caller.cpp), so that the library links none of it.
#include "install/bridge/caller.h"

#if defined(_WIN32)

#include "install/bridge/native_view.h"
#include "install/driver_package.h"

#include <cstring>

namespace wow64 {
namespace {

using platform::wide_text;

// The full path of this process's helper in `folder`, when it stands there.
// Only a full path is taken, so that the file started is the one in that
// folder whatever the current folder and PATH hold: a package that installs
// the helpers into a folder only administrators may write (its folder under
// Program Files) keeps them as safe from planting as the library's own
// folder keeps its helper.
const wchar_t* find_helper(wide_text& helper, std::wstring_view folder, machines m) {
    const wchar_t* const file_name = helper_file_name(this_image_machine, m);
    return file_name && is_full_folder(folder) && platform::path_in_folder(helper, folder, file_name) &&
                   is_file(helper)
               ? file_name
               : nullptr;
}

// The operand as the helper is to get it: an INF path as native_inf_path
// makes it, a published name (removal only) as it is.
bool helper_operand(wide_text& named, operation what, const char* operand, bool wow64_view) {
    if (what != operation::remove || !driver_package::is_published_name(operand)) {
        return native_inf_path(named, operand, wow64_view);
    }
    return platform::widen_ansi(named, operand);
}

}  // namespace

bridged run_in_helper_from(std::wstring_view folder, const char* inf_path, const char* compact_id) {
    const machines m = this_process_machines();
    wide_text inf;
    wide_text helper;
    const wchar_t* file_name = nullptr;
    // The INF path first: one that cannot be made full starts nothing.
    if (!native_inf_path(inf, inf_path, m.process != IMAGE_FILE_MACHINE_UNKNOWN) ||
        (file_name = find_helper(helper, folder, m)) == nullptr) {
        return {not_delegated, 0};
    }
    bridged outcome{not_delegated, 0};
    call_helper(helper, file_name, operation::install, inf, compact_id, installation_answer, &outcome);
    return outcome;
}

delegated_package package_in_helper(std::wstring_view folder, operation what, const char* operand) {
    delegated_package got{false, {driver_package::result::staged, 0, {}, 0}};
    const machines m = this_process_machines();
    wide_text named;
    wide_text helper;
    const wchar_t* file_name = nullptr;
    if (!helper_operand(named, what, operand, m.process != IMAGE_FILE_MACHINE_UNKNOWN) ||
        (file_name = find_helper(helper, folder, m)) == nullptr) {
        return got;
    }
    struct reply {
        operation what;
        delegated_package& got;
    } into{what, got};
    // The published name is copied out before the section goes.
    const auto read = [](const unsigned char* section, bool waited, DWORD status, void* out) {
        const reply& r = *static_cast<const reply*>(out);
        const package_answer given = waited ? read_package_answer(section, r.what) : package_answer{};
        if (!given.answered) {
            r.got = {true, {driver_package::result::no_helper_answer, status, {}, 0}};
            return;
        }
        const package_outcome& a = given.outcome;
        r.got = {a.delegated, {a.what, a.error, {}, a.devices_removed}};
        char* const name = r.got.outcome.name.prepare_read();
        std::memcpy(name, a.name.data(), a.name.size());
        r.got.outcome.name.take_read(true);
    };
    if (!call_helper(helper, file_name, what, named, nullptr, read, &into)) {
        got.delegated = false;
    }
    return got;
}

}  // namespace wow64

#else

namespace wow64 {

// The host build installs, stages and removes in process.
bridged run_in_helper_from(std::wstring_view, const char*, const char*) { return {not_delegated, 0}; }
delegated_package package_in_helper(std::wstring_view, operation, const char*) {
    return {false, {driver_package::result::staged, 0, {}, 0}};
}

}  // namespace wow64

#endif
