#include "tests/e2e/inf_files.h"

#include "platform/unique_handle.h"

namespace e2e {

std::string driver_inf_text(const driver_package& p) {
    return "[Version]\r\n"
           "Signature=\"$Windows NT$\"\r\n"
           "Class=System\r\n"
           "ClassGuid={4d36e97d-e325-11ce-bfc1-08002be10318}\r\n"
           "Provider=%Provider%\r\n"
           "DriverVer=" + p.driver_ver + "\r\n"
           "\r\n"
           "[Manufacturer]\r\n"
           "%Provider%=Models\r\n"
           "\r\n"
           "[Models]\r\n"
           "%Device.Desc%=Device_Install," + p.hardware_id + "\r\n"
           "\r\n"
           "[Device_Install]\r\n"
           "AddReg=Device_AddReg\r\n"
           "\r\n"
           "[Device_AddReg]\r\n"
           "HKR,," + marker_value_name + ",,\"" + p.marker + "\"\r\n"
           "\r\n"
           "[Strings]\r\n"
           "Provider=\"Quorvant end-to-end tests\"\r\n"
           "Device.Desc=\"" + p.description + "\"\r\n";
}

std::string work_folder() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "qv-e2e\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool write_file(const std::string& path, const std::string& bytes) {
    const platform::unique_handle file{CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file.valid()) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

std::string windows_inf_folder() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\inf\\";
}

}  // namespace e2e
