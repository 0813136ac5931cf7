#include "plugin_path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tool {

namespace {

#ifdef _WIN32
const char kPluginFile[] = "zrkdnssd.dll";

std::string ProgramFolder()
{
    char self[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self)
        return "";
    std::string path(self, n);
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
#else
const char kPluginFile[] = "libzrkdnssd.so";

std::string ProgramFolder()
{
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return "";
    std::string path(self, (size_t)n);
    return path.substr(0, path.rfind('/') + 1);
}

bool Exists(const std::string &path)
{
    return access(path.c_str(), F_OK) == 0;
}
#endif

}  // namespace

std::string DefaultPluginPath()
{
    std::string folder = ProgramFolder();
    std::string beside = folder + kPluginFile;
    std::string installed = folder + ZRK_PLUGIN_FROM_TOOL + "/" + kPluginFile;
    if (!Exists(beside) && Exists(installed))
        return installed;
    return beside;
}

}  // namespace tool
