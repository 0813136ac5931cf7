#include "host_string.h"

#include <string.h>

#include "host_entries.h"

HostText HostStringText(HostString string)
{
    if (!string)
        return HostText{"", 0};
    return HostText{string->bytes, (size_t)string->length};
}

HostText HostStringValue(HostString string)
{
    if (!string)
        return HostText{nullptr, 0};
    return HostStringText(string);
}

HostString BuildHostString(const void *bytes, HostInteger length, uint32_t encoding)
{
    if (!bytes || length <= 0)
        return nullptr;
    HostString string = HostBuildString(static_cast<const char *>(bytes), length);
    if (!string)
        return nullptr;
    HostSetStringEncoding(string, encoding);
    return string;
}

HostString BuildHostCString(const char *text, uint32_t encoding)
{
    return BuildHostString(text, text ? (HostInteger)strlen(text) : 0, encoding);
}
