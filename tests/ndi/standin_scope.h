#pragma once

#include <cstdlib>
#include <string>
#include <unistd.h>

// Gives this test process, and the programs it starts, stand-in sources of their own:
// suites running side by side all publish "Kova Gradient 1", and a listing must show
// each suite only its own (see SegmentPrefix in ndi_standin/standin_segment.h).
inline void ScopeStandInSourcesToThisProcess() {
    setenv("SKYFILL_STANDIN_SCOPE", ("test" + std::to_string(getpid())).c_str(), 1);
}
