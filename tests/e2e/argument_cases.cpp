// The two arguments: an empty or missing INF path, an empty or missing or
// unknown compact ID; and the whole road to Wine's own NEWDEV.DLL.
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"


namespace e2e {
namespace {

const std::vector<std::string> device_ids = {
    "PCI\\VEN_5156&DEV_0A01&SUBSYS_00015156&REV_01", "PCI\\VEN_5156&DEV_0A01&SUBSYS_00015156"};
constexpr const char* device_compact_id = "PCI51560A015156000100000100";

enum class inf_arg { served, empty, null };
enum class id_arg { matching, empty, null, unknown };

struct argument_case {
    const char* name;
    inf_arg inf;
    id_arg id;
    int expected;
};

const argument_case argument_cases[] = {
    {"empty INF path with a matching ID gives -4", inf_arg::empty, id_arg::matching,
     result::no_inf_path},
    {"empty INF path with an unknown ID gives -4", inf_arg::empty, id_arg::unknown,
     result::no_inf_path},
    {"null INF path gives -4", inf_arg::null, id_arg::matching, result::no_inf_path},
    {"null INF path and null ID give -4", inf_arg::null, id_arg::null, result::no_inf_path},
    {"null compact ID gives -1", inf_arg::served, id_arg::null, result::no_device},
    {"empty compact ID gives -1", inf_arg::served, id_arg::empty, result::no_device},
    {"compact ID of no present device gives -1", inf_arg::served, id_arg::unknown,
     result::no_device},
};

// The library hands the INF path to the driver search in a field of
// MAX_PATH bytes: 259 characters and the terminating zero.
constexpr std::size_t longest_inf_path = MAX_PATH - 1;

// A path of exactly `length` characters for an INF file in the run's folder.
std::string path_of_length(const run_context& ctx, std::size_t length) {
    const std::string folder = ctx.folder + std::string(120, 'L') + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string suffix = ".inf";
    return folder + std::string(length - folder.size() - suffix.size(), 'x') + suffix;
}

// Makes `folder` the process's current folder for its scope.
class current_folder_change {
public:
    explicit current_folder_change(const std::string& folder) {
        char previous[MAX_PATH] = {};
        const DWORD length = GetCurrentDirectoryA(MAX_PATH, previous);
        previous_.assign(previous, length < MAX_PATH ? length : 0);
        changed_ = !previous_.empty() && SetCurrentDirectoryA(folder.c_str());
    }
    current_folder_change(const current_folder_change&) = delete;
    current_folder_change& operator=(const current_folder_change&) = delete;
    ~current_folder_change() {
        if (changed_) SetCurrentDirectoryA(previous_.c_str());
    }
    bool changed() const { return changed_; }

private:
    std::string previous_;
    bool changed_ = false;
};

struct path_case {
    const char* name;
    const char* current_folder;  // under the run's folder, made current for the call
    const char* argument;        // the INF path as given; null for a path of longest_inf_path
    const char* suffix;          // appended to the path of longest_inf_path
    const char* inf_file;        // where the INF is written, under the run's folder
    int expected;
};

// Only the INF at `inf_file` (or at the path of longest_inf_path) exists: a
// library that cut the long path to 259 characters would install from it,
// one that read a bare name from the system's INF folder would find none.
const path_case path_cases[] = {
    {"INF path of 259 characters is used whole, 1", "", nullptr, "", nullptr, result::installed},
    {"INF path of 264 characters whose first 259 name an INF gives -2, nothing cut", "", nullptr,
     "x.inf", nullptr, result::no_driver},
    {"bare INF file name is read from the current folder, 1", "bare", "bare.inf",
     "", "bare\\bare.inf", result::installed},
    {"relative INF path with .. and forward slashes, 1", "current",
     "../current/.././relative.inf", "", "relative.inf", result::installed},
};

void run_path_cases(run_context& ctx, const driver_package& package) {
    for (const auto& row : path_cases) {
        checks c;
        const std::string folder = ctx.folder + row.current_folder;
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::string inf = row.inf_file ? ctx.folder + row.inf_file
                                             : path_of_length(ctx, longest_inf_path);
        const std::string argument = row.argument ? row.argument : inf + row.suffix;
        c.expect(write_file(inf, driver_inf_text(package)), "cannot write " + inf);
        auto device = make_device(c, device_ids);
        if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
            steer_substitute({newdev_protocol::succeed_action});
            const unsigned long calls = read_substitute_report().calls;
            {
                const current_folder_change change(folder);
                c.expect(change.changed(), "cannot enter " + folder);
                c.expect_result(ctx.library.install(argument, device_compact_id), row.expected);
            }
            const bool installs = row.expected == result::installed;
            const substitute_report seen = read_substitute_report();
            c.expect_equal("InstallSelectedDriver calls", seen.calls,
                           installs ? calls + 1 : calls);
            c.expect(!installs || same_path(seen.inf, inf),
                     "selected driver's INF " + quoted(seen.inf) + ", wanted " + quoted(inf));
        }
        DeleteFileA(inf.c_str());
        ctx.log.record(std::string("arguments: ") + row.name, c);
    }
}

}  // namespace

void run_argument_cases(run_context& ctx) {
    const driver_package package{device_ids[1], "Quorvant argument-test device"};
    const std::string inf = write_inf(ctx, "arguments.inf", package);

    for (const auto& row : argument_cases) {
        checks c;
        auto device = make_device(c, device_ids);
        if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
            steer_substitute({newdev_protocol::install_action});
            const unsigned long calls = read_substitute_report().calls;
            const char* inf_text = row.inf == inf_arg::served  ? inf.c_str()
                                   : row.inf == inf_arg::empty ? ""
                                                               : nullptr;
            const char* id_text = row.id == id_arg::matching ? device_compact_id
                                  : row.id == id_arg::empty  ? ""
                                  : row.id == id_arg::null   ? nullptr
                                                             : "PCI51560A0151560002";
            c.expect_result(ctx.library.install(inf_text, id_text), row.expected);
            c.expect_equal("InstallSelectedDriver calls", read_substitute_report().calls, calls);
            expect_no_driver(c, device->instance_id());
        }
        ctx.log.record(std::string("arguments: ") + row.name, c);
    }

    // Wine's own InstallSelectedDriver reports success without binding
    // anything, so only the result code is the library's to check here.
    // The caller's texts must come back untouched.
    checks c;
    auto device = make_device(c, device_ids);
    if (device && use_newdev(c, ctx, newdev_kind::wine_builtin)) {
        char inf_text[MAX_PATH] = {};
        char id_text[64] = {};
        lstrcpynA(inf_text, inf.c_str(), sizeof inf_text);
        lstrcpynA(id_text, device_compact_id, sizeof id_text);
        c.expect_result(ctx.library.install(inf_text, id_text), result::installed);
        c.expect_equal("INF argument afterwards", std::string(inf_text), inf);
        c.expect_equal("ID argument afterwards", std::string(id_text),
                       std::string(device_compact_id));
        c.expect(!newdev_loaded(), "NEWDEV still loaded after the call");
    }
    ctx.log.record("arguments: served INF with Wine's own NEWDEV gives 1", c);

    run_path_cases(ctx, package);
}

}  // namespace e2e
