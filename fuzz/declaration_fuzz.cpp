/*
 * The stand-in host's parser of the declarations a plug-in registers:
 * methods, events and constants.  Any text is either refused with a reason or
 * accepted as a declaration that means what it says: names are words, the
 * types known ones, and the declaration written back out parses to the same
 * thing.  Constants keep their value exactly.
 */
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../hostsim/declaration.h"

namespace {

using hostsim::ConstantValue;
using hostsim::Signature;
using hostsim::Type;

[[noreturn]] void Wrong(const std::string &text, const std::string &what)
{
    std::fprintf(stderr, "declaration_fuzz: '%s': %s\n", text.c_str(), what.c_str());
    std::abort();
}

bool IsWord(const std::string &name)
{
    if (name.empty() || std::isdigit((unsigned char)name[0]))
        return false;
    for (char c : name)
        if (!std::isalnum((unsigned char)c) && c != '_')
            return false;
    return true;
}

std::string Written(const Signature &signature)
{
    std::string text = signature.name;
    if (!signature.parameters.empty()) {
        text += "(";
        for (size_t i = 0; i < signature.parameters.size(); i++)
            text += (i ? ", " : "") + signature.parameters[i].name + " as " +
                    hostsim::TypeName(signature.parameters[i].type);
        text += ")";
    }
    if (signature.result != Type::Void)
        text += std::string(" as ") + hostsim::TypeName(signature.result);
    return text;
}

bool Same(const Signature &a, const Signature &b)
{
    if (a.name != b.name || a.result != b.result || a.parameters.size() != b.parameters.size())
        return false;
    for (size_t i = 0; i < a.parameters.size(); i++)
        if (a.parameters[i].name != b.parameters[i].name || a.parameters[i].type != b.parameters[i].type)
            return false;
    return true;
}

void CheckSignature(const std::string &text)
{
    std::string error;
    auto signature = hostsim::ParseSignature(text, error);
    if (!signature) {
        if (error.empty())
            Wrong(text, "refused without a reason");
        return;
    }
    if (!IsWord(signature->name))
        Wrong(text, "accepted with the name '" + signature->name + "'");
    for (const hostsim::Parameter &parameter : signature->parameters)
        if (!IsWord(parameter.name) || parameter.type == Type::Void)
            Wrong(text, "accepted with the parameter '" + parameter.name + "'");
    std::string again = Written(*signature);
    auto reparsed = hostsim::ParseSignature(again, error);
    if (!reparsed || !Same(*signature, *reparsed))
        Wrong(text, "read as '" + again + "', which reads differently");
}

/* The value the digits of a constant stand for, when they are a number;
 * wider than 64 bits, so that one out of range shows. */
bool ExactValue(std::string digits, __int128 *value)
{
    int base = 10;
    if (digits.size() >= 2 && digits[0] == '&' && (digits[1] == 'h' || digits[1] == 'H')) {
        base = 16;
        digits = digits.substr(2);
    }
    /* The host reads numbers as C's strtoll does: white space and a sign
     * may lead, and a hexadecimal number may start with 0x. */
    size_t at = 0;
    while (at < digits.size() && std::isspace((unsigned char)digits[at]))
        at++;
    bool negative = false;
    if (at < digits.size() && (digits[at] == '-' || digits[at] == '+'))
        negative = digits[at++] == '-';
    if (base == 16 && digits.size() > at + 2 && digits[at] == '0' && (digits[at + 1] == 'x' || digits[at + 1] == 'X') &&
        std::isxdigit((unsigned char)digits[at + 2]))
        at += 2;
    if (at == digits.size())
        return false;
    unsigned __int128 magnitude = 0;
    for (; at < digits.size(); at++) {
        int digit = std::isdigit((unsigned char)digits[at]) ? digits[at] - '0'
                    : std::isxdigit((unsigned char)digits[at]) ? std::tolower((unsigned char)digits[at]) - 'a' + 10
                                                               : 99;
        if (digit >= base)
            return false;
        magnitude = magnitude * (unsigned)base + (unsigned)digit;
        if (magnitude > ((unsigned __int128)1 << 100))
            magnitude = (unsigned __int128)1 << 100; /* far out of range is out of range */
    }
    *value = negative ? -(__int128)magnitude : (__int128)magnitude;
    return true;
}

void CheckConstant(const std::string &text)
{
    std::string error;
    auto constant = hostsim::ParseConstant(text, error);
    if (!constant) {
        if (error.empty())
            Wrong(text, "refused without a reason");
        return;
    }
    if (!IsWord(constant->name))
        Wrong(text, "accepted with the name '" + constant->name + "'");
    std::string digits = text.substr(text.find('=') + 1);
    while (!digits.empty() && (digits.front() == ' ' || digits.front() == '\t'))
        digits.erase(0, 1);
    while (!digits.empty() && digits.back() == ' ')
        digits.pop_back();
    __int128 exact;
    if (!ExactValue(digits, &exact))
        Wrong(text, "accepted the value '" + digits + "' as " + std::to_string(constant->value));
    if (exact != constant->value)
        Wrong(text, "read as " + std::to_string(constant->value) + ", not as written");
    auto again = hostsim::ParseConstant(constant->name + " = " + std::to_string(constant->value), error);
    if (!again || again->name != constant->name || again->value != constant->value)
        Wrong(text, "does not read back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    /* A declaration reaches the host as a C string. */
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.substr(0, text.find('\0'));
    CheckSignature(text);
    CheckConstant(text);
    return 0;
}
