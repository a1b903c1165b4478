// A stand-in for the 64-bit helper that never answers: copied beside the
// library (or planted where no helper should be looked for), it first
// leaves a file named after itself with ".started" appended, then behaves
// as QV_HELPER_STANDIN says:
//   exit N   exits with status N
//   die      writes a result into the section's answer record without its
//            marker, as a helper ended between the two writes would, and
//            is ended with status 0xC0000005
// The library must take neither as an answer.
#include "install/bridge/section.h"

#include <cstdlib>
#include <cstring>
#include <string>

inline constexpr const char* standin_variable = "QV_HELPER_STANDIN";

int main(int argc, char** argv) {
    char own[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, own, MAX_PATH);
    CloseHandle(CreateFileA((std::string(own) + ".started").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    char mode[32] = {};
    GetEnvironmentVariableA(standin_variable, mode, sizeof mode);
    if (std::strncmp(mode, "exit ", 5) == 0) {
        return std::atoi(mode + 5);
    }
    if (std::strcmp(mode, "die") == 0 && argc == 2) {
        const auto section =
            reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoul(argv[1], nullptr, 10)));
        void* view = MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0);
        if (view) {
            wow64::answer_record half{};
            half.operation = static_cast<std::uint32_t>(wow64::operation::install);
            half.result = 1;
            std::memcpy(view, &half, sizeof half);
        }
        TerminateProcess(GetCurrentProcess(), 0xC0000005);
    }
    return 99;
}
