/*
 * TXT records in the DNS-SD format: a sequence of items, each a length byte
 * followed by "key" or "key=value".  The scripted library's TXT functions do
 * this work unless a test sets their result.
 */
#ifndef ZRK_SCRIPTED_TXT_H
#define ZRK_SCRIPTED_TXT_H

#include <stddef.h>
#include <stdint.h>

#include "../../dnssd/dnssd_api.h"

/* One item found in TXT bytes. */
struct TxtItem {
    size_t offset;        /* of its length byte */
    size_t size;          /* length byte included */
    const uint8_t *key;
    size_t keyLen;
    const uint8_t *value; /* null when the item has no '=' */
    size_t valueLen;
};

/* Reading.  An item whose length byte runs past txtLen ends the record
 * there; null bytes read as an empty record. */
uint16_t TxtCount(const void *txt, size_t txtLen);
bool TxtItemAt(const void *txt, size_t txtLen, size_t index, TxtItem *item);
/* Keys compare case-insensitively. */
bool TxtFind(const void *txt, size_t txtLen, const char *key, TxtItem *item);

/* Building in a TXTRecordRef. */
void TxtCreate(TXTRecordRef *record, uint16_t bufferLen, void *buffer);
void TxtDeallocate(TXTRecordRef *record);
DNSServiceErrorType TxtSetValue(TXTRecordRef *record, const char *key, uint8_t valueSize, const void *value);
DNSServiceErrorType TxtRemoveValue(TXTRecordRef *record, const char *key);
uint16_t TxtLength(const TXTRecordRef *record);
const void *TxtBytes(const TXTRecordRef *record);

#endif
