// A substitute for the system's pnputil.exe, which Wine lacks: placed as
// pnputil.exe in the prefix's system directories (the 64-bit build in the
// native one on 64-bit Windows, the 32-bit build in the WOW64 one). It
// installs nothing: it writes what it was asked into the file named by
// QV_PNPUTIL_REPORT, one NAME=VALUE line each (bits of its process, its
// arguments joined by '|', whether the file named by the last argument
// exists, its current folder), and ends with the status in QV_PNPUTIL_EXIT
// (decimal, default 0).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    char value[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA("QV_PNPUTIL_EXIT", value, sizeof value);
    const int status = n > 0 && n < sizeof value ? std::atoi(value) : 0;
    n = GetEnvironmentVariableA("QV_PNPUTIL_REPORT", value, sizeof value);
    if (n == 0 || n >= sizeof value) return status;
    std::FILE* report = std::fopen(value, "w");
    if (report == nullptr) return status;
    std::fprintf(report, "bits=%u\narguments=", static_cast<unsigned>(8 * sizeof(void*)));
    for (int i = 1; i < argc; ++i) std::fprintf(report, i == 1 ? "%s" : "|%s", argv[i]);
    const bool found = argc > 1 && GetFileAttributesA(argv[argc - 1]) != INVALID_FILE_ATTRIBUTES;
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    std::fprintf(report, "\nfile=%s\nfolder=%s\n", found ? "found" : "missing", folder);
    std::fclose(report);
    return status;
}
