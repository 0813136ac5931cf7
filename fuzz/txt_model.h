/*
 * A small reference model of the DNS-SD TXT record format, written from the
 * format itself, against which the fuzz target checks every answer of
 * TXTRecordZRK.
 *
 * A record is a sequence of items, each a length byte and that many bytes.
 * A reader sees the items up to the first whose length runs past the end of
 * the record.  An item's key is its text up to the first "=", its value what
 * follows that "="; an item without "=" is a key alone.  Values are bytes.
 *
 * Two choices are the library's, not the format's, and are taken here as
 * Avahi's library (the one loaded on Linux) makes them: keys compare byte for
 * byte, case included; and a key may hold any byte but NUL and "=".
 */
#ifndef ZRK_FUZZ_TXT_MODEL_H
#define ZRK_FUZZ_TXT_MODEL_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace txtmodel {

using Text = std::optional<std::string>; /* nullopt: nil */

/* The longest record DNS-SD's 16-bit lengths can carry, and the longest
 * item. */
constexpr size_t kMaxRecord = 0xFFFF;
constexpr size_t kMaxItem = 0xFF;

/* DNS-SD's codes the TXT methods answer with. */
constexpr int64_t kNoError = 0;
constexpr int64_t kNoMemory = -65539;
constexpr int64_t kInvalid = -65549;

std::string_view KeyOf(std::string_view item);
/* KeyOf(item) == key, for a key without "=". */
bool HasKey(std::string_view item, std::string_view key);
/* Nil for an item without "=". */
std::optional<std::string_view> ValueOf(std::string_view item);

/* A key some item can hold: 1 to 255 bytes, none of them NUL or "=". */
bool IsKey(std::string_view key);
/* A key the plug-in hands to DNS-SD at all: no longer than an item and
 * without NUL.  Any other gets false, nil or kInvalid without DNS-SD. */
bool PassedToLibrary(std::string_view key);

/* What the reading methods answer for a record given as bytes (the shared
 * methods) or held by an instance (its Bytes).  Strings are nil when empty,
 * as the host has no empty strings from a plug-in. */
class Reading {
public:
    explicit Reading(std::string record);
    /* The items are views of the record held here. */
    Reading(const Reading &) = delete;
    Reading &operator=(const Reading &) = delete;

    bool ContainsKey(std::string_view key) const;
    /* DNS-SD's own search, which also matches a text that is not a key (empty,
     * or holding "=") against the start of an item: what ContainsKey may answer
     * for such a text besides false. */
    bool ItemTextStartsWith(std::string_view text) const;
    Text Value(std::string_view key) const;
    int64_t Count() const { return (int64_t)items_.size(); }
    /* Keys are C strings to the host: a key read from a received record ends
     * at its first NUL byte. */
    Text KeyAtIndex(int64_t index) const;
    Text ValueAtIndex(int64_t index) const;

    std::string_view Item(size_t index) const { return items_[index]; }

private:
    std::string record_;
    bool tooLong_; /* longer than any record: every answer empty */
    std::vector<std::string_view> items_; /* into record_ */
};

/* A record built key by key, as TXTRecordZRK's SetValue and RemoveValue build
 * one. */
class Builder {
public:
    struct SetAnswer {
        int64_t code;
        /* The record is close to its limit: the library may also answer
         * kNoMemory, depending on the spare room it keeps (unspecified). */
        bool mayBeFull;
    };
    /* What SetValue(key, value) answers; value nil stores the key alone. */
    SetAnswer ExpectSet(const std::string &key, const Text &value) const;
    /* Applies a SetValue the library accepted. */
    void Set(const std::string &key, const Text &value);
    /* RemoveValue: removes every item with the key. */
    void Remove(const std::string &key);
    std::string Bytes() const;
    size_t Size() const { return size_; }

private:
    std::vector<std::string> items_;
    size_t size_ = 0; /* of Bytes() */
};

}  // namespace txtmodel

#endif
