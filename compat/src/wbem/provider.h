// The provider table behind the management service: each class with its columns and the fill of its one row.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace compat_wbem {

// One property's value: text, or null where the host has no source for it.
struct Value
{
    bool bNull = true;
    std::string text;  // UTF-8

    static Value Null() { return Value(); }
    static Value Text(std::string s) { Value v; v.bNull = false; v.text = std::move(s); return v; }
};

// Property name to value; a property of the class that the fill leaves out reads as null. Names are looked
// up as they are, without making strings of them.
typedef std::map<std::string, Value, std::less<>> Row;

struct ClassDef
{
    const char* pszName;
    std::vector<const char*> columns;
    // Appends the class's instances, read from the host below the provider's root directory.
    void (*pfnFill)(const std::string& strRoot, std::vector<Row>& rows);
};

// The classes this host provides; names compare without regard to case, as the service's do.
const std::vector<ClassDef>& Classes();

} // namespace compat_wbem
