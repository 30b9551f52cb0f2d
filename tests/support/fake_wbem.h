// A stand-in for the management service: registered as the locator's class object, it serves scripted
// classes and failures, and counts the objects it hands out so tests can prove each one is released.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <wbemcli.h>

#include <map>
#include <string>
#include <vector>

namespace fake_wbem {

// One property as the service returns it: text (VT_BSTR), null, a number, or an array that has no text form.
struct Value
{
    VARTYPE vt;
    std::string text;
    LONG number;

    static Value Text(const std::string& s) { return Value{ VT_BSTR, s, 0 }; }
    static Value Null() { return Value{ VT_NULL, std::string(), 0 }; }
    static Value Empty() { return Value{ VT_EMPTY, std::string(), 0 }; }
    static Value Number(LONG n) { return Value{ VT_I4, std::string(), n }; }
    static Value Array() { return Value{ VT_ARRAY | VT_I4, std::string(), 0 }; }
};

typedef std::map<std::string, Value> Instance;

// What the service holds and how it misbehaves; reset by Install().
struct Service
{
    std::map<std::string, std::vector<Instance> > classes;
    HRESULT hrCreateLocator = S_OK;
    HRESULT hrConnect = S_OK;
    std::map<std::string, HRESULT> hrEnumerate;  // per class; classes not listed enumerate fine
    // How long a call takes before it answers, in milliseconds: the connection, and per class the enumeration
    // and its Next, which answers WBEM_S_TIMEDOUT at the time-out it is given, as Windows' does.
    DWORD connectDelay = 0;
    std::map<std::string, DWORD> enumerateDelay, nextDelay;

    // What the client asked for.
    std::vector<std::string> namespaces;
    std::vector<std::string> enumerated;
    std::vector<std::string> propertiesRead;
    std::vector<LONG> nextTimeouts;
    bool credentialsPassed = false;
    LONG connectFlags = -1;
    std::vector<LONG> enumerateFlags;
    // The levels each proxy was given, "services" or "enumerator" with the authentication and impersonation
    // levels: "services 6 3".
    std::vector<std::string> blankets;

    // Fails the next BSTR allocation once the locator is created, so the namespace cannot be made.
    bool failAllocAfterLocator = false;

    void Set(const std::string& cls, const std::string& prop, const Value& value, size_t index = 0);
};

// Initialises COM on this thread as the program does (an apartment through OleInitialize), registers the
// stand-in in place of the real locator, and clears the scripted state.
Service& Install();
void Uninstall();
Service& Current();

// Live objects handed out by the stand-in, of every interface.
long LiveObjects();

// The machine a healthy service reports: every class the program reads, with plain text values.
void FillTypicalMachine(Service& service);

// Counts live task-allocator blocks (where BSTRs live) and can make the n-th allocation from now fail.
class AllocationSpy
{
public:
    static void Install();
    static long Live();
    static void FailNth(int n);
};

} // namespace fake_wbem
