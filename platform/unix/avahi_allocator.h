#ifndef ZRK_AVAHI_ALLOCATOR_H
#define ZRK_AVAHI_ALLOCATOR_H

/* When the DNS-SD library just loaded is Avahi's, makes every allocation of
 * Avahi's zero-filled and returns true; otherwise does nothing. */
bool InstallZeroFillingAvahiAllocator(void *library);

#endif
