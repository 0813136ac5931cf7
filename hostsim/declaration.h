/*
 * Parsing the host language's declarations as the host would: methods,
 * events, properties' types and constants.
 */
#ifndef HOSTSIM_DECLARATION_H
#define HOSTSIM_DECLARATION_H

#include <optional>
#include <string>
#include <vector>

namespace hostsim {

enum class Type { Void, Integer, String, Boolean };

const char *TypeName(Type type);
std::optional<Type> ParseTypeName(const std::string &name);

struct Parameter {
    std::string name;
    Type type;
};

struct Signature {
    std::string name;
    std::vector<Parameter> parameters;
    Type result = Type::Void;
};

struct ConstantValue {
    std::string name;
    long long value;
};

/* `Name(a as integer, b as string) as boolean`, `Name as integer`, `Name`.
 * Sets error and returns nothing when the text is not a declaration. */
std::optional<Signature> ParseSignature(const std::string &text, std::string &error);
/* `kName = 1`, `kName = -65537`, `kName = &h10`. */
std::optional<ConstantValue> ParseConstant(const std::string &text, std::string &error);

}  // namespace hostsim

#endif
