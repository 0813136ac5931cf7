/* Run with the unloadable folder on LD_LIBRARY_PATH: loading libdns_sd.so.1
 * by file name, as the plug-in does, must fail rather than find the system's
 * own DNS-SD library further down the search. */
#include <dlfcn.h>
#include <stdio.h>

int main()
{
    void *library = dlopen("libdns_sd.so.1", RTLD_NOW | RTLD_LOCAL);
    if (library) {
        fprintf(stderr, "libdns_sd.so.1 loaded: the unloadable folder did not hide it\n");
        return 1;
    }
    printf("libdns_sd.so.1 refused: %s\n", dlerror());
    return 0;
}
