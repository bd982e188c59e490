#include "openh264/library_search.h"

#include "openh264/release_binding.h"
#include "openh264/shared_library.h"

namespace tq {

namespace {

// Every release OpenH264 has published since 1.7.0, newest first, with the
// number in its Linux and macOS file names.
struct KnownRelease {
  const char* version;
  const char* soname;
};
const KnownRelease kKnownReleases[] = {
    {"2.6.0", "8"}, {"2.5.0", "7"}, {"2.4.1", "7"}, {"2.4.0", "7"}, {"2.3.1", "7"}, {"2.3.0", "6"},
    {"2.2.0", "6"}, {"2.1.1", "6"}, {"2.1.0", "5"}, {"2.0.0", "5"}, {"1.8.0", "4"}, {"1.7.0", "4"},
};
const char* const kDistributionSonames[] = {"8", "7", "6", "5", "4"};

// OpenH264's own binary for a release on this platform, e.g.
// libopenh264-2.6.0-linux64.8.so; empty where it publishes none.
std::string OwnBinaryName(const KnownRelease& release) {
  std::string version = release.version;
#if defined(_WIN32) && defined(_WIN64)
  return "openh264-" + version + "-win64.dll";
#elif defined(_WIN32)
  return "openh264-" + version + "-win32.dll";
#elif defined(__APPLE__) && defined(__aarch64__)
  return "libopenh264-" + version + "-mac-arm64." + release.soname + ".dylib";
#elif defined(__APPLE__)
  return "libopenh264-" + version + "-mac-x64." + release.soname + ".dylib";
#elif defined(__linux__) && defined(__aarch64__)
  return "libopenh264-" + version + "-linux-arm64." + release.soname + ".so";
#elif defined(__linux__) && defined(__x86_64__)
  return "libopenh264-" + version + "-linux64." + release.soname + ".so";
#elif defined(__linux__) && defined(__i386__)
  return "libopenh264-" + version + "-linux32." + release.soname + ".so";
#else
  (void)release;
  return std::string();
#endif
}

// The file name earlier builds of this library linked by name; empty where
// they linked a distribution's name.
std::string LinkedName() {
#if defined(_WIN32)
  return "openh264-1.7.0.dll";
#elif defined(__APPLE__)
  return "libopenh264-1.7.0.dylib";
#else
  return std::string();
#endif
}

std::string DistributionName(const char* soname) {
#if defined(__APPLE__)
  return std::string("libopenh264.") + soname + ".dylib";
#elif defined(_WIN32)
  (void)soname;
  return std::string();
#else
  return std::string("libopenh264.so.") + soname;
#endif
}

// The name beside this library, then on the search path.
void AddBothPlaces(const std::string& name, const std::string& beside,
                   std::vector<LibraryCandidate>* candidates) {
  if (name.empty()) return;
  if (!beside.empty()) {
    candidates->push_back({beside + DirectorySeparator() + name, "beside libtqh264bridge"});
  }
  candidates->push_back({name, "library search path"});
}

struct Attempt {
  std::string name;
  std::string outcome;
};

const char* const kSymbols[] = {"WelsCreateSVCEncoder", "WelsDestroySVCEncoder",
                                "WelsCreateDecoder", "WelsDestroyDecoder", "WelsGetCodecVersionEx"};

// Finds the five functions; the name of the first one missing otherwise.
bool ResolveFunctions(void* library, OpenH264Functions* functions, std::string* missing) {
  void* found[5];
  for (int i = 0; i < 5; ++i) {
    found[i] = FindSharedLibrarySymbol(library, kSymbols[i]);
    if (found[i] == nullptr) {
      *missing = kSymbols[i];
      return false;
    }
  }
  functions->createEncoder = reinterpret_cast<CreateEncoderFunction>(found[0]);
  functions->destroyEncoder = reinterpret_cast<DestroyEncoderFunction>(found[1]);
  functions->createDecoder = reinterpret_cast<CreateDecoderFunction>(found[2]);
  functions->destroyDecoder = reinterpret_cast<DestroyDecoderFunction>(found[3]);
  functions->getVersion = reinterpret_cast<GetCodecVersionFunction>(found[4]);
  return true;
}

// Loads one candidate and binds it; the library stays loaded for the life
// of the process once bound, and is closed again otherwise.
bool TryCandidate(const std::string& name, std::string* outcome) {
  void* library = OpenSharedLibrary(name, outcome);
  if (library == nullptr) return false;
  OpenH264Functions functions;
  std::string missing;
  if (!ResolveFunctions(library, &functions, &missing)) {
    *outcome = "loaded, but it is not OpenH264: it has no function " + missing;
    CloseSharedLibrary(library);
    return false;
  }
  std::string file = SharedLibraryFile(library, reinterpret_cast<void*>(functions.getVersion));
  char reason[160];
  if (!BindOpenH264(&functions, file.empty() ? name.c_str() : file.c_str(), reason,
                    sizeof reason)) {
    *outcome = std::string("refused: ") + reason;
    CloseSharedLibrary(library);
    return false;
  }
  return true;
}

std::string Report(const std::vector<Attempt>& attempts) {
  std::string report = "No usable OpenH264 library was found. Tried:";
  for (size_t i = 0; i < attempts.size(); ++i) {
    report += "\n  " + std::to_string(i + 1) + ". " + attempts[i].name + ": " + attempts[i].outcome;
  }
  report +=
      "\nThis library runs with OpenH264 releases 1.7.0 to 2.6.x; decode untrusted video with "
      "2.6.0 or a distribution build patched for CVE-2025-27091. Get OpenH264's own binary for "
      "this platform from https://github.com/cisco/openh264/releases (its licence asks that you "
      "download it yourself) and keep its file name, or install your distribution's package "
      "(Debian and Ubuntu: libopenh264-7; Fedora: openh264). To use a particular file, name it "
      "with the system property tq.brindlecast.openh264.openh264.library or the environment "
      "variable TQ_OPENH264_LIBRARY.";
  return report;
}

}  // namespace

std::vector<LibraryCandidate> OpenH264Candidates(const std::string& besideThisLibrary) {
  std::vector<LibraryCandidate> candidates;
  AddBothPlaces(LinkedName(), besideThisLibrary, &candidates);
  for (const KnownRelease& release : kKnownReleases) {
    AddBothPlaces(OwnBinaryName(release), besideThisLibrary, &candidates);
  }
  for (const char* soname : kDistributionSonames) {
    std::string name = DistributionName(soname);
    if (!name.empty()) candidates.push_back({name, "library search path"});
  }
  return candidates;
}

bool LoadOpenH264(const std::string& requestedFile, std::string* report) {
  std::vector<Attempt> attempts;
  std::string outcome;
  if (!requestedFile.empty()) {
    // A file the user names is the one to use: another release found
    // instead could lack the fixes the user chose that file for.
    if (TryCandidate(requestedFile, &outcome)) return true;
    attempts.push_back({requestedFile + " (the file named)", outcome});
    *report = Report(attempts);
    return false;
  }
  for (const LibraryCandidate& candidate : OpenH264Candidates(DirectoryOfThisLibrary())) {
    if (TryCandidate(candidate.name, &outcome)) return true;
    attempts.push_back({candidate.name + " (" + candidate.origin + ")", outcome});
  }
  *report = Report(attempts);
  return false;
}

}  // namespace tq
