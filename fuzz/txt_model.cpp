#include "txt_model.h"

#include <algorithm>

namespace txtmodel {

namespace {

/* How close to the 16-bit limit the library may already refuse an item for
 * want of room: it grows its buffer with some spare bytes, and refuses a
 * growth past the limit. */
constexpr size_t kSpareRoom = 0x100;

Text NilIfEmpty(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    return std::string(text);
}

}  // namespace

std::string_view KeyOf(std::string_view item)
{
    return item.substr(0, item.find('='));
}

bool HasKey(std::string_view item, std::string_view key)
{
    return item.substr(0, key.size()) == key && (item.size() == key.size() || item[key.size()] == '=') &&
           key.find('=') == std::string_view::npos;
}

std::optional<std::string_view> ValueOf(std::string_view item)
{
    size_t equals = item.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return item.substr(equals + 1);
}

bool IsKey(std::string_view key)
{
    return !key.empty() && key.size() <= kMaxItem && key.find('\0') == std::string_view::npos &&
           key.find('=') == std::string_view::npos;
}

bool PassedToLibrary(std::string_view key)
{
    return key.size() <= kMaxItem && key.find('\0') == std::string_view::npos;
}

/* A reader sees the items up to the first whose length runs past the end. */
Reading::Reading(std::string record) : record_(std::move(record)), tooLong_(record_.size() > kMaxRecord)
{
    if (tooLong_)
        return;
    std::string_view bytes(record_);
    size_t at = 0;
    while (at < bytes.size()) {
        size_t length = (unsigned char)bytes[at];
        if (length > bytes.size() - at - 1)
            break;
        items_.push_back(bytes.substr(at + 1, length));
        at += 1 + length;
    }
}

bool Reading::ContainsKey(std::string_view key) const
{
    if (!IsKey(key))
        return false;
    return std::any_of(items_.begin(), items_.end(), [&](std::string_view item) { return HasKey(item, key); });
}

bool Reading::ItemTextStartsWith(std::string_view text) const
{
    if (!PassedToLibrary(text))
        return false;
    return std::any_of(items_.begin(), items_.end(), [&](std::string_view item) {
        return item.substr(0, text.size()) == text && (item.size() == text.size() || item[text.size()] == '=');
    });
}

/* The first item with the key decides, as a reader of the format takes the
 * first of repeated keys. */
Text Reading::Value(std::string_view key) const
{
    if (!IsKey(key))
        return std::nullopt;
    for (std::string_view item : items_)
        if (HasKey(item, key)) {
            auto value = ValueOf(item);
            return value ? NilIfEmpty(*value) : std::nullopt;
        }
    return std::nullopt;
}

Text Reading::KeyAtIndex(int64_t index) const
{
    if (index < 0 || index >= Count())
        return std::nullopt;
    std::string_view key = KeyOf(items_[(size_t)index]);
    return NilIfEmpty(key.substr(0, key.find('\0')));
}

Text Reading::ValueAtIndex(int64_t index) const
{
    if (index < 0 || index >= Count())
        return std::nullopt;
    auto value = ValueOf(items_[(size_t)index]);
    return value ? NilIfEmpty(*value) : std::nullopt;
}

Builder::SetAnswer Builder::ExpectSet(const std::string &key, const Text &value) const
{
    if (!IsKey(key) || (value && value->size() > kMaxItem))
        return {kInvalid, false};
    size_t item = key.size() + (value ? 1 + value->size() : 0);
    if (item > kMaxItem)
        return {kInvalid, false};
    /* Room is looked for before the key's earlier item is taken out. */
    size_t needed = size_ + 1 + item;
    if (needed > kMaxRecord)
        return {kNoMemory, false};
    return {kNoError, needed + kSpareRoom > kMaxRecord};
}

/* A new value goes to the end, after the key's earlier item is removed. */
void Builder::Set(const std::string &key, const Text &value)
{
    Remove(key);
    items_.push_back(value ? key + "=" + *value : key);
    size_ += 1 + items_.back().size();
}

void Builder::Remove(const std::string &key)
{
    if (!IsKey(key))
        return;
    std::vector<std::string> kept;
    for (std::string &item : items_)
        if (HasKey(item, key))
            size_ -= 1 + item.size();
        else
            kept.push_back(std::move(item));
    items_ = std::move(kept);
}

std::string Builder::Bytes() const
{
    std::string record;
    record.reserve(size_);
    for (const std::string &item : items_) {
        record += (char)(unsigned char)item.size();
        record += item;
    }
    return record;
}

}  // namespace txtmodel
