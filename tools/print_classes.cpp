#include "print_classes.h"

std::string DescribeClasses(const hostsim::Host &host)
{
    std::string out;
    for (const auto &cls : host.Classes()) {
        const HostClassDefinition &r = *cls->record;
        out += std::string("class ") + r.name + " super " + (r.superName ? r.superName : "-") + " size " +
               std::to_string(r.dataSize) + " flags " + std::to_string(r.flags) + "\n";
        for (size_t i = 0; i < r.propertyCount; i++) {
            const HostPropertyDefinition &p = r.properties[i];
            out += std::string("  property ") + p.name + " as " + p.type + " offset " + std::to_string(p.param) +
                   (p.setter ? "" : " readonly") + "\n";
        }
        for (size_t i = 0; i < r.methodCount; i++)
            out += std::string("  method ") + r.methods[i].declaration + "\n";
        for (size_t i = 0; i < r.sharedMethodCount; i++)
            out += std::string("  shared ") + r.sharedMethods[i].declaration + "\n";
        for (size_t i = 0; i < r.eventCount; i++)
            out += std::string("  event ") + r.events[i].declaration + "\n";
        for (size_t i = 0; i < r.constantCount; i++)
            out += std::string("  const ") + r.constants[i].declaration + "\n";
    }
    return out;
}
