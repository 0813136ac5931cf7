#include "../loader_error.h"

#include <dlfcn.h>

namespace hostsim {

std::string LoaderError()
{
    const char *reason = dlerror();
    return reason ? reason : "";
}

}  // namespace hostsim
