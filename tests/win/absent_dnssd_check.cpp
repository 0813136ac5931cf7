/* Run where the absent-library test runs: loading dnssd.dll by file name, as
 * the plug-in does, must find nothing, so that test really has no DNS-SD
 * library.  A fresh Wine prefix has none. */
#include <windows.h>

#include <stdio.h>

int main()
{
    HMODULE library = LoadLibraryA("dnssd.dll");
    if (library) {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(library, path, sizeof path);
        fprintf(stderr, "dnssd.dll loaded from %s: the absent-library test would see it\n", path);
        return 1;
    }
    printf("dnssd.dll not found (error %lu)\n", GetLastError());
    return 0;
}
