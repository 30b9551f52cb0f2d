// What tests may ask of the stand-in management service: where its provider reads, and what is still alive.
#pragma once

// Every file the provider reads is looked up below this directory: "/" unless a test points it at a fixture tree.
void compat_wbem_set_root(const char* pszRoot);

// Locators, services, enumerators and class objects not yet released.
long compat_wbem_live_objects();
