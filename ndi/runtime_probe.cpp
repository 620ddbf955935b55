#include "ndi/runtime_probe.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>

namespace {

bool LeftToTheLinker(const NdiRuntimePlace& place) {
    return place.variable.empty();
}

bool FileMissing(const std::string& path) {
    struct stat info = {};
    return ::stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

// The loader ends the text for an unfound name with strerror(ENOENT), in the locale's
// language; the name must lead it, or it is a dependency of the library that is missing.
bool LinkerFoundNothing(const std::string& name, const std::string& error) {
    const std::string notFound = std::strerror(ENOENT);
    return error.rfind(name + ": ", 0) == 0 && error.size() >= notFound.size() &&
           error.compare(error.size() - notFound.size(), notFound.size(), notFound) == 0;
}

void Probe(NdiPlaceProbe& probe) {
    const std::string& file = probe.place.file;
    if (file.empty()) {
        probe.outcome = NdiProbeOutcome::NotSet;
        return;
    }
    if (!LeftToTheLinker(probe.place) && FileMissing(file)) {
        probe.outcome = NdiProbeOutcome::NotThere;
        return;
    }
    const NdiLibraryLookup lookup = LookUpNdiLibrary(file);
    if (!lookup.opened) {
        const bool unfound =
            LeftToTheLinker(probe.place) && LinkerFoundNothing(file, lookup.openError);
        probe.outcome = unfound ? NdiProbeOutcome::NotThere : NdiProbeOutcome::LoadError;
        probe.detail = unfound ? "" : lookup.openError;
        return;
    }
    if (!lookup.Complete()) {
        probe.outcome = NdiProbeOutcome::MissingSymbols;
        probe.detail = lookup.missing;
        return;
    }
    probe.outcome = NdiProbeOutcome::Loaded;
    Dl_info info = {};
    const bool found = ::dladdr(reinterpret_cast<void*>(lookup.api.version), &info) != 0 &&
                       info.dli_fname != nullptr;
    probe.location = found ? info.dli_fname : file;
    const char* version = lookup.api.version();
    probe.detail = version != nullptr ? version : "";
}

} // namespace

std::vector<NdiPlaceProbe> ProbeNdiRuntime(const std::vector<NdiRuntimePlace>& places) {
    std::vector<NdiPlaceProbe> probes;
    probes.reserve(places.size());
    for (const NdiRuntimePlace& place : places) {
        probes.push_back({place, NdiProbeOutcome::NotSet, "", ""});
    }
    // A library that stays loaded answers every later dlopen of its SONAME, so a name
    // left to the linker would seem found once a folder's runtime had loaded. Those names
    // are tried first, while nothing of the kind is loaded.
    for (NdiPlaceProbe& probe : probes) {
        if (LeftToTheLinker(probe.place)) {
            Probe(probe);
        }
    }
    for (NdiPlaceProbe& probe : probes) {
        if (!LeftToTheLinker(probe.place)) {
            Probe(probe);
        }
    }
    return probes;
}

const NdiPlaceProbe* ChosenNdiRuntime(const std::vector<NdiPlaceProbe>& probes) {
    for (const NdiPlaceProbe& probe : probes) {
        if (probe.outcome == NdiProbeOutcome::Loaded) {
            return &probe;
        }
    }
    return nullptr;
}

std::string DescribeNdiPlaceProbe(const NdiPlaceProbe& probe) {
    const NdiRuntimePlace& place = probe.place;
    std::string line;
    if (LeftToTheLinker(place)) {
        line = place.file + " (dynamic linker" +
               (probe.location.empty() ? "" : ", " + probe.location) + ")";
    } else if (probe.outcome == NdiProbeOutcome::NotSet) {
        line = "$" + place.variable;
    } else {
        const std::string name = place.file.substr(place.file.rfind('/') + 1);
        line = "$" + place.variable + "/" + name + " (" + place.file + ")";
    }
    switch (probe.outcome) {
    case NdiProbeOutcome::NotSet:
        return line + ": not set";
    case NdiProbeOutcome::NotThere:
        return line + ": not there";
    case NdiProbeOutcome::LoadError:
        return line + ": cannot be loaded: " + probe.detail;
    case NdiProbeOutcome::MissingSymbols:
        return line + ": missing " + probe.detail;
    case NdiProbeOutcome::Loaded:
        return line + ": loaded, " + (probe.detail.empty() ? "no version text" : probe.detail);
    }
    return line;
}
