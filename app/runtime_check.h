#pragma once

// Prints, one fact a line on standard output, every place the NDI runtime is looked for
// and what is there, which runtime Skyfill will use, whether an mDNS responder is
// reachable and whether an NDI configuration file is present. Returns 0 when a vendor
// runtime loads, 1 otherwise. Starts nothing: the runtime's only call is for its version.
// Needs a QCoreApplication, for the system bus.
int RunRuntimeCheck();
