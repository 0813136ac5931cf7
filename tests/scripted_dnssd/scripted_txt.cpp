/* TXT record reading and building for the scripted DNS-SD library. */
#include "scripted_txt.h"

#include <stdlib.h>
#include <string.h>

enum {
    kTxtNoMemory = -65539,
    kTxtNoSuchKey = -65556,
    kTxtMaxItem = 255,
    kTxtMaxRecord = 0xFFFF
};

/* What the caller's 16-byte TXTRecordRef holds.  It is copied in and out
 * with memcpy: the caller's storage is a char array. */
struct TxtBuilder {
    uint8_t *buffer;
    uint16_t length;
    uint16_t capacity;
    uint8_t owned; /* buffer came from malloc, not from the caller */
};

static_assert(sizeof(TxtBuilder) <= sizeof(TXTRecordRef), "TXTRecordRef too small");

static TxtBuilder Load(const TXTRecordRef *record)
{
    TxtBuilder b;
    memcpy(&b, record->privateData, sizeof b);
    return b;
}

static void Store(TXTRecordRef *record, const TxtBuilder &b)
{
    memcpy(record->privateData, &b, sizeof b);
}

/* Locale-free: keys are ASCII. */
static int Lower(int c)
{
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

static bool SameKey(const uint8_t *a, size_t aLen, const char *b, size_t bLen)
{
    if (aLen != bLen)
        return false;
    for (size_t i = 0; i < aLen; i++)
        if (Lower(a[i]) != Lower((unsigned char)b[i]))
            return false;
    return true;
}

/* Fills item from the item at offset; false at the end of the record or when
 * the length byte promises more than is there. */
static bool ItemAtOffset(const uint8_t *bytes, size_t len, size_t offset, TxtItem *item)
{
    if (!bytes || offset >= len)
        return false;
    size_t itemLen = bytes[offset];
    if (itemLen > len - offset - 1)
        return false;
    const uint8_t *text = bytes + offset + 1;
    const uint8_t *eq = (const uint8_t *)memchr(text, '=', itemLen);
    item->offset = offset;
    item->size = 1 + itemLen;
    item->key = text;
    item->keyLen = eq ? (size_t)(eq - text) : itemLen;
    item->value = eq ? eq + 1 : nullptr;
    item->valueLen = eq ? itemLen - item->keyLen - 1 : 0;
    return true;
}

uint16_t TxtCount(const void *txt, size_t txtLen)
{
    TxtItem item;
    size_t count = 0;
    for (size_t offset = 0; ItemAtOffset((const uint8_t *)txt, txtLen, offset, &item); offset += item.size)
        count++;
    return (uint16_t)count;
}

bool TxtItemAt(const void *txt, size_t txtLen, size_t index, TxtItem *item)
{
    size_t offset = 0;
    for (size_t i = 0; ItemAtOffset((const uint8_t *)txt, txtLen, offset, item); i++) {
        if (i == index)
            return true;
        offset += item->size;
    }
    return false;
}

bool TxtFind(const void *txt, size_t txtLen, const char *key, TxtItem *item)
{
    if (!key)
        return false;
    size_t keyLen = strlen(key);
    for (size_t offset = 0; ItemAtOffset((const uint8_t *)txt, txtLen, offset, item); offset += item->size)
        if (SameKey(item->key, item->keyLen, key, keyLen))
            return true;
    return false;
}

void TxtCreate(TXTRecordRef *record, uint16_t bufferLen, void *buffer)
{
    TxtBuilder b = {};
    if (buffer && bufferLen > 0) {
        b.buffer = (uint8_t *)buffer;
        b.capacity = bufferLen;
    }
    Store(record, b);
}

void TxtDeallocate(TXTRecordRef *record)
{
    TxtBuilder b = Load(record);
    if (b.owned)
        free(b.buffer);
    Store(record, TxtBuilder{});
}

static bool ValidKey(const char *key, size_t *keyLen)
{
    if (!key || !*key || strchr(key, '='))
        return false;
    *keyLen = strlen(key);
    return true;
}

/* The existing item for the key is dropped first, so a replacement moves to
 * the end as with the real library. */
DNSServiceErrorType TxtSetValue(TXTRecordRef *record, const char *key, uint8_t valueSize, const void *value)
{
    size_t keyLen;
    if (!ValidKey(key, &keyLen))
        return kDNSServiceErr_Invalid;
    size_t itemLen = keyLen + (value ? 1 + (size_t)valueSize : 0);
    if (itemLen > kTxtMaxItem)
        return kDNSServiceErr_Invalid;

    TxtBuilder b = Load(record);
    TxtItem old;
    bool found = TxtFind(b.buffer, b.length, key, &old);
    size_t cut = found ? old.offset : b.length;
    size_t cutSize = found ? old.size : 0;
    size_t kept = b.length - cutSize;
    size_t needed = kept + 1 + itemLen;
    if (needed > kTxtMaxRecord)
        return kTxtNoMemory;

    uint8_t *dest = b.buffer;
    if (needed > b.capacity) {
        size_t capacity = needed < 2 * (size_t)b.capacity ? 2 * (size_t)b.capacity : needed;
        if (capacity > kTxtMaxRecord)
            capacity = kTxtMaxRecord;
        dest = (uint8_t *)malloc(capacity);
        if (!dest)
            return kTxtNoMemory;
        if (cut > 0)
            memcpy(dest, b.buffer, cut);
        if (kept > cut)
            memcpy(dest + cut, b.buffer + cut + cutSize, kept - cut);
        if (b.owned)
            free(b.buffer);
        b.buffer = dest;
        b.capacity = (uint16_t)capacity;
        b.owned = 1;
    } else if (found) {
        memmove(dest + cut, dest + cut + cutSize, kept - cut);
    }

    uint8_t *p = dest + kept;
    *p++ = (uint8_t)itemLen;
    memcpy(p, key, keyLen);
    p += keyLen;
    if (value) {
        *p++ = '=';
        if (valueSize > 0)
            memcpy(p, value, valueSize);
    }
    b.length = (uint16_t)needed;
    Store(record, b);
    return kDNSServiceErr_NoError;
}

DNSServiceErrorType TxtRemoveValue(TXTRecordRef *record, const char *key)
{
    TxtBuilder b = Load(record);
    TxtItem item;
    if (!TxtFind(b.buffer, b.length, key, &item))
        return kTxtNoSuchKey;
    size_t after = item.offset + item.size;
    memmove(b.buffer + item.offset, b.buffer + after, b.length - after);
    b.length = (uint16_t)(b.length - item.size);
    Store(record, b);
    return kDNSServiceErr_NoError;
}

uint16_t TxtLength(const TXTRecordRef *record)
{
    return Load(record).length;
}

const void *TxtBytes(const TXTRecordRef *record)
{
    return Load(record).buffer;
}
