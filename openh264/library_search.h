// Finding and loading OpenH264 at run time, in this order:
//   1. the file the caller names, alone, when one is named;
//   2. the name the builds of this library have always linked on Windows
//      and macOS (openh264-1.7.0.dll, libopenh264-1.7.0.dylib);
//   3. OpenH264's own binary names for every release known here, newest
//      first, beside this library and then on the library search path;
//   4. the names distributions give it (libopenh264.so.8 down to .so.4).
#ifndef TQ_OPENH264_LIBRARY_SEARCH_H
#define TQ_OPENH264_LIBRARY_SEARCH_H

#include <string>
#include <vector>

namespace tq {

// One name to try, and where it comes from, for the report.
struct LibraryCandidate {
  std::string name;
  std::string origin;
};

// The names of steps 2 to 4 for this platform, in order. `besideThisLibrary`
// is the directory of libtqh264bridge (empty when unknown).
std::vector<LibraryCandidate> OpenH264Candidates(const std::string& besideThisLibrary);

// Loads and binds OpenH264: `requestedFile` alone when it is not empty,
// otherwise the first candidate that loads and is a supported release.
// Returns false with `report` listing every attempt and its reason, and
// what to do about it.
bool LoadOpenH264(const std::string& requestedFile, std::string* report);

}  // namespace tq

#endif
