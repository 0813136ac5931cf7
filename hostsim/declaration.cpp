#include "declaration.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace hostsim {

namespace {

std::string Lower(std::string text)
{
    for (char &c : text)
        c = (char)std::tolower((unsigned char)c);
    return text;
}

struct Scanner {
    const std::string &text;
    size_t at = 0;

    void SkipBlanks()
    {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            at++;
    }
    bool AtEnd()
    {
        SkipBlanks();
        return at == text.size();
    }
    bool Take(char c)
    {
        SkipBlanks();
        if (at < text.size() && text[at] == c) {
            at++;
            return true;
        }
        return false;
    }
    std::string Word()
    {
        SkipBlanks();
        size_t start = at;
        while (at < text.size() && (std::isalnum((unsigned char)text[at]) || text[at] == '_'))
            at++;
        if (start < at && std::isdigit((unsigned char)text[start])) {
            at = start;
            return "";
        }
        return text.substr(start, at - start);
    }
    bool TakeKeyword(const char *keyword)
    {
        size_t saved = at;
        if (Lower(Word()) == keyword)
            return true;
        at = saved;
        return false;
    }
};

bool ParseTypeAfterAs(Scanner &in, Type &type, std::string &error)
{
    if (!in.TakeKeyword("as")) {
        error = "expected 'as' at column " + std::to_string(in.at + 1);
        return false;
    }
    std::string name = in.Word();
    auto parsed = ParseTypeName(name);
    if (!parsed || *parsed == Type::Void) {
        error = "unknown type '" + name + "'";
        return false;
    }
    type = *parsed;
    return true;
}

}  // namespace

const char *TypeName(Type type)
{
    switch (type) {
    case Type::Void: return "nothing";
    case Type::Integer: return "integer";
    case Type::String: return "string";
    case Type::Boolean: return "boolean";
    }
    return "?";
}

std::optional<Type> ParseTypeName(const std::string &name)
{
    std::string lower = Lower(name);
    if (lower == "integer")
        return Type::Integer;
    if (lower == "string")
        return Type::String;
    if (lower == "boolean")
        return Type::Boolean;
    return std::nullopt;
}

std::optional<Signature> ParseSignature(const std::string &text, std::string &error)
{
    Scanner in{text};
    Signature signature;
    signature.name = in.Word();
    if (signature.name.empty()) {
        error = "expected a name";
        return std::nullopt;
    }
    if (in.Take('(')) {
        if (!in.Take(')')) {
            do {
                in.TakeKeyword("byval");
                Parameter parameter;
                parameter.name = in.Word();
                if (parameter.name.empty()) {
                    error = "expected a parameter name at column " + std::to_string(in.at + 1);
                    return std::nullopt;
                }
                if (!ParseTypeAfterAs(in, parameter.type, error))
                    return std::nullopt;
                signature.parameters.push_back(parameter);
            } while (in.Take(','));
            if (!in.Take(')')) {
                error = "expected ')' at column " + std::to_string(in.at + 1);
                return std::nullopt;
            }
        }
    }
    if (!in.AtEnd() && !ParseTypeAfterAs(in, signature.result, error))
        return std::nullopt;
    if (!in.AtEnd()) {
        error = "unexpected text at column " + std::to_string(in.at + 1);
        return std::nullopt;
    }
    return signature;
}

std::optional<ConstantValue> ParseConstant(const std::string &text, std::string &error)
{
    Scanner in{text};
    ConstantValue constant;
    constant.name = in.Word();
    if (constant.name.empty() || !in.Take('=')) {
        error = "expected 'Name = value'";
        return std::nullopt;
    }
    in.SkipBlanks();
    std::string rest = text.substr(in.at);
    while (!rest.empty() && rest.back() == ' ')
        rest.pop_back();
    int base = 10;
    std::string digits = rest;
    if (Lower(rest.substr(0, 2)) == "&h") {
        base = 16;
        digits = rest.substr(2);
    }
    char *end = nullptr;
    errno = 0;
    constant.value = std::strtoll(digits.c_str(), &end, base);
    /* A value past 64 bits is refused, not read as the nearest one. */
    if (digits.empty() || *end != '\0' || errno == ERANGE ||
        (base == 16 && !std::isxdigit((unsigned char)digits[0]))) {
        error = "bad constant value '" + rest + "'";
        return std::nullopt;
    }
    return constant;
}

}  // namespace hostsim
