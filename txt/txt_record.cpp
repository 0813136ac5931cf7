#include "txt_record.h"

#include <string.h>

#include "../dnssd/dnssd_table.h"
#include "../host/class_data.h"
#include "../host/host_string.h"

/* The instance's data is the DNS-SD library's TXT record object itself. */
static TXTRecordRef *TxtObjectOf(HostObject instance)
{
    return static_cast<TXTRecordRef *>(HostClassData(instance, &gTxtRecordClass));
}

/* The TXT bytes one call works on, taken once at its start. */
typedef struct TxtBytes {
    uint16_t length;
    const void *bytes;
} TxtBytes;

static bool InstanceBytes(HostObject self, TxtBytes *out)
{
    if (!gDnsSd.TXTRecordGetLength || !gDnsSd.TXTRecordGetBytesPtr)
        return false;
    TXTRecordRef *object = TxtObjectOf(self);
    out->length = gDnsSd.TXTRecordGetLength(object);
    out->bytes = gDnsSd.TXTRecordGetBytesPtr(object);
    return true;
}

enum { kMaxTxtLength = 0xFFFF, kMaxTxtKeyLength = 0xFF, kMaxTxtValueLength = 0xFF, kKeyBufferSize = 300 };

/* A record longer than DNS-SD's 16-bit length would be read as another
 * record: refused. */
static bool SharedBytes(HostString txtRecord, TxtBytes *out)
{
    HostText text = HostStringText(txtRecord);
    if (text.length > kMaxTxtLength)
        return false;
    out->length = (uint16_t)text.length;
    out->bytes = text.bytes;
    return true;
}

/* A key no TXT record can hold: longer than one item, or with a NUL inside
 * (which would make the library see a different, shorter key).  Such a key
 * never reaches the library, some of whose checks stop the process. */
static bool TxtKey(HostString key, const char **text)
{
    HostText bytes = HostStringText(key);
    if (bytes.length > kMaxTxtKeyLength || strlen(bytes.bytes) != bytes.length)
        return false;
    *text = bytes.bytes;
    return true;
}

static bool ReadContainsKey(TxtBytes txt, HostString key)
{
    const char *text;
    if (!gDnsSd.TXTRecordContainsKey || !TxtKey(key, &text))
        return false;
    return gDnsSd.TXTRecordContainsKey(txt.length, txt.bytes, text) != 0;
}

/* Nil for an absent key, a key without a value and an empty value alike. */
static HostString ReadValue(TxtBytes txt, HostString key)
{
    const char *text;
    if (!gDnsSd.TXTRecordGetValuePtr || !TxtKey(key, &text))
        return nullptr;
    uint8_t valueLength = 0;
    const void *value = gDnsSd.TXTRecordGetValuePtr(txt.length, txt.bytes, text, &valueLength);
    return BuildHostString(value, valueLength, kHostEncodingASCII);
}

static HostInteger ReadCount(TxtBytes txt)
{
    if (!gDnsSd.TXTRecordGetCount)
        return 0;
    return gDnsSd.TXTRecordGetCount(txt.length, txt.bytes);
}

static HostString ReadItem(TxtBytes txt, HostInteger index, bool wantKey)
{
    if (!gDnsSd.TXTRecordGetItemAtIndex || !gDnsSd.TXTRecordGetCount || index < 0 ||
        index >= gDnsSd.TXTRecordGetCount(txt.length, txt.bytes))
        return nullptr;
    char key[kKeyBufferSize] = {0};
    uint8_t valueLength = 0;
    const void *value = nullptr;
    if (gDnsSd.TXTRecordGetItemAtIndex(txt.length, txt.bytes, (uint16_t)index, kKeyBufferSize, key, &valueLength,
                                       &value) != kDNSServiceErr_NoError)
        return nullptr;
    if (!wantKey)
        return BuildHostString(value, valueLength, kHostEncodingASCII);
    key[kKeyBufferSize - 1] = '\0';
    return BuildHostCString(key, kHostEncodingASCII);
}

/* ---- construction ---- */

static void Constructor(HostObject self)
{
    /* No buffer of ours: the library manages the storage. */
    if (gDnsSd.TXTRecordCreate)
        gDnsSd.TXTRecordCreate(TxtObjectOf(self), 0, nullptr);
}

static void Destructor(HostObject self)
{
    if (gDnsSd.TXTRecordDeallocate)
        gDnsSd.TXTRecordDeallocate(TxtObjectOf(self));
}

/* ---- building ---- */

/* A nil value stores the key alone.  DNS-SD counts a value's length in 8 bits:
 * a longer value is refused rather than stored cut short. */
static HostInteger SetValue(HostObject self, HostString key, HostString value)
{
    if (!gDnsSd.TXTRecordSetValue)
        return -1;
    HostText bytes = HostStringValue(value);
    const char *text;
    if (bytes.length > kMaxTxtValueLength || !TxtKey(key, &text))
        return kDNSServiceErr_Invalid;
    return gDnsSd.TXTRecordSetValue(TxtObjectOf(self), text, (uint8_t)bytes.length, bytes.bytes);
}

static void RemoveValue(HostObject self, HostString key)
{
    const char *text;
    if (gDnsSd.TXTRecordRemoveValue && TxtKey(key, &text))
        gDnsSd.TXTRecordRemoveValue(TxtObjectOf(self), text);
}

static HostInteger Length(HostObject self)
{
    if (!gDnsSd.TXTRecordGetLength)
        return 0;
    return gDnsSd.TXTRecordGetLength(TxtObjectOf(self));
}

/* The raw record, nil while it is empty. */
static HostString Bytes(HostObject self)
{
    TxtBytes txt;
    if (!InstanceBytes(self, &txt))
        return nullptr;
    return BuildHostString(txt.bytes, txt.length, kHostEncodingRaw);
}

/* ---- reading an instance ---- */

static bool ContainsKey(HostObject self, HostString key)
{
    TxtBytes txt;
    return InstanceBytes(self, &txt) && ReadContainsKey(txt, key);
}

static HostString Value(HostObject self, HostString key)
{
    TxtBytes txt;
    return InstanceBytes(self, &txt) ? ReadValue(txt, key) : nullptr;
}

static HostInteger Count(HostObject self)
{
    TxtBytes txt;
    return InstanceBytes(self, &txt) ? ReadCount(txt) : 0;
}

static HostString ValueAtIndex(HostObject self, HostInteger index)
{
    TxtBytes txt;
    return InstanceBytes(self, &txt) ? ReadItem(txt, index, false) : nullptr;
}

static HostString KeyAtIndex(HostObject self, HostInteger index)
{
    TxtBytes txt;
    return InstanceBytes(self, &txt) ? ReadItem(txt, index, true) : nullptr;
}

/* ---- reading a record given as a string ---- */

static bool SharedContainsKey(HostString txtRecord, HostString key)
{
    TxtBytes txt;
    return SharedBytes(txtRecord, &txt) && ReadContainsKey(txt, key);
}

static HostString SharedValue(HostString txtRecord, HostString key)
{
    TxtBytes txt;
    return SharedBytes(txtRecord, &txt) ? ReadValue(txt, key) : nullptr;
}

static HostInteger SharedCount(HostString txtRecord)
{
    TxtBytes txt;
    return SharedBytes(txtRecord, &txt) ? ReadCount(txt) : 0;
}

static HostString SharedValueAtIndex(HostString txtRecord, HostInteger index)
{
    TxtBytes txt;
    return SharedBytes(txtRecord, &txt) ? ReadItem(txt, index, false) : nullptr;
}

static HostString SharedKeyAtIndex(HostString txtRecord, HostInteger index)
{
    TxtBytes txt;
    return SharedBytes(txtRecord, &txt) ? ReadItem(txt, index, true) : nullptr;
}

static const HostMethodDefinition kMethods[] = {
    {(HostRoutine)&ContainsKey, nullptr, "ContainsKey(key as string) as boolean", kHostMethodFlags},
    {(HostRoutine)&Value, nullptr, "Value(key as string) as string", kHostMethodFlags},
    {(HostRoutine)&Count, nullptr, "Count as integer", kHostMethodFlags},
    {(HostRoutine)&ValueAtIndex, nullptr, "ValueAtIndex(index as integer) as string", kHostMethodFlags},
    {(HostRoutine)&KeyAtIndex, nullptr, "KeyAtIndex(index as integer) as string", kHostMethodFlags},
    {(HostRoutine)&Bytes, nullptr, "Bytes as string", kHostMethodFlags},
    {(HostRoutine)&Length, nullptr, "Length as integer", kHostMethodFlags},
    {(HostRoutine)&RemoveValue, nullptr, "RemoveValue(key as string)", kHostMethodFlags},
    {(HostRoutine)&SetValue, nullptr, "SetValue(key as string, value as string) as integer", kHostMethodFlags},
};

static const HostMethodDefinition kSharedMethods[] = {
    {(HostRoutine)&SharedContainsKey, nullptr, "ContainsKey(txtRecord as string, key as string) as boolean",
     kHostMethodFlags},
    {(HostRoutine)&SharedValue, nullptr, "Value(txtRecord as string, key as string) as string", kHostMethodFlags},
    {(HostRoutine)&SharedCount, nullptr, "Count(txtRecord as string) as integer", kHostMethodFlags},
    {(HostRoutine)&SharedValueAtIndex, nullptr, "ValueAtIndex(txtRecord as string, index as integer) as string",
     kHostMethodFlags},
    {(HostRoutine)&SharedKeyAtIndex, nullptr, "KeyAtIndex(txtRecord as string, index as integer) as string",
     kHostMethodFlags},
};

static_assert(sizeof(TXTRecordRef) == 16, "the TXT record object is 16 bytes");

HostClassDefinition gTxtRecordClass = {
    kHostClassVersion, "TXTRecordZRK", nullptr, sizeof(TXTRecordRef), 0,
    (HostRoutine)&Constructor, (HostRoutine)&Destructor,
    nullptr, 0, kMethods, 9, nullptr, 0, nullptr, 0, kHostClassFlags, kSharedMethods, 5,
};
