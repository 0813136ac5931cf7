/*
 * What LoadLibraryA's result means.  Values up to 32 are the error codes of
 * the 16-bit loader (HINSTANCE_ERROR and below), and compatibility layers can
 * still hand them back, so they count as failure as well as null does.
 */
#ifndef ZRK_PLATFORM_WIN_LIBRARY_HANDLE_H
#define ZRK_PLATFORM_WIN_LIBRARY_HANDLE_H

#include <stdint.h>

bool LibraryHandleLoaded(uintptr_t handle);

#endif
