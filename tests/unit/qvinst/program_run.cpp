#include "program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>

extern char** environ;

namespace qvinst_test {
namespace {

class pipe_pair {
public:
    pipe_pair() {
        if (::pipe(fds_.data()) != 0) {
            fds_ = {-1, -1};
        }
    }
    pipe_pair(const pipe_pair&) = delete;
    pipe_pair& operator=(const pipe_pair&) = delete;
    ~pipe_pair() {
        close_read();
        close_write();
    }
    int read_end() const { return fds_[0]; }
    int write_end() const { return fds_[1]; }
    void close_read() { close_one(fds_[0]); }
    void close_write() { close_one(fds_[1]); }
    bool valid() const { return fds_[0] >= 0; }

private:
    static void close_one(int& fd) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    std::array<int, 2> fds_{};
};

// Reads both pipes until both are closed, so neither can fill up.
void drain(pipe_pair& out_pipe, pipe_pair& err_pipe, std::string& out, std::string& err) {
    std::array<pollfd, 2> fds{{{out_pipe.read_end(), POLLIN, 0}, {err_pipe.read_end(), POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&out, &err};
    int open_count = 2;
    while (open_count > 0) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open_count;
            }
        }
    }
}

}  // namespace

program_result run_program(const std::string& path, const std::vector<std::string>& args) {
    program_result result;
    pipe_pair out_pipe;
    pipe_pair err_pipe;
    if (!out_pipe.valid() || !err_pipe.valid()) {
        return result;
    }
    std::vector<char*> argv;
    std::string program = path;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_pipe.write_end(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_pipe.write_end(), STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out_pipe.read_end());
    posix_spawn_file_actions_addclose(&actions, err_pipe.read_end());
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    out_pipe.close_write();
    err_pipe.close_write();
    if (spawned != 0) {
        return result;
    }
    drain(out_pipe, err_pipe, result.out, result.err);
    int wait_status = 0;
    while (::waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    return result;
}

}  // namespace qvinst_test
