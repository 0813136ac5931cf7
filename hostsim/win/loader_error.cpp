#include "../loader_error.h"

#include <windows.h>

namespace hostsim {

std::string LoaderError()
{
    DWORD code = GetLastError();
    if (code == 0)
        return "";
    char text[512] = {0};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    std::string reason(text, length);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    return (reason.empty() ? "" : reason + " ") + "(error " + std::to_string(code) + ")";
}

}  // namespace hostsim
