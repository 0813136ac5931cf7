/* zrk-dnssd: DNS Service Discovery from the command line, through the
 * plug-in (tool.h). */
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include "tool.h"

namespace {

#ifdef _WIN32
/* DNS-SD names are UTF-8; Windows hands a program its arguments in the
 * console's code page unless asked for them as UTF-16. */
std::vector<std::string> Arguments(int, char **)
{
    int count = 0;
    LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; i++) {
        int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? (size_t)size : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &arg[0], size, nullptr, nullptr);
        arg.resize(arg.size() - 1);
        args.push_back(arg);
    }
    LocalFree(wide);
    return args;
}
#else
std::vector<std::string> Arguments(int argc, char **argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}
#endif

}  // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
    return tool::RunTool(Arguments(argc, argv), stdout, stderr);
}
