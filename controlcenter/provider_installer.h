// ProviderInstaller: switches filtering on by entering the layered provider vtlsp into the Winsock
// catalog, and off by taking it out again.
#pragma once

class ProviderInstaller {
public:
    // Installs when the provider key is absent, removes when it is present. Progress goes to
    // standard output; the outcome is read from the provider key afterwards (IsFilteringOn).
    void Toggle();
};
