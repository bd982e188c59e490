// Opening a shared library at run time, the platform's way (dlopen on Linux
// and macOS, LoadLibrary on Windows). Paths and reasons are UTF-8.
#ifndef TQ_OPENH264_SHARED_LIBRARY_H
#define TQ_OPENH264_SHARED_LIBRARY_H

#include <string>

namespace tq {

// Opens `name`: a path when it holds a directory separator, otherwise a
// file name looked up on the platform's library search path. Null on
// failure, with `reason` saying why.
void* OpenSharedLibrary(const std::string& name, std::string* reason);
void* FindSharedLibrarySymbol(void* library, const char* symbol);
void CloseSharedLibrary(void* library);

// The file an opened library was loaded from, found through one of its
// symbols; empty when the platform cannot tell.
std::string SharedLibraryFile(void* library, void* symbol);

// The directory holding this library (libtqh264bridge itself); empty when
// the platform cannot tell.
std::string DirectoryOfThisLibrary();

// The separator between a directory and a file name.
char DirectorySeparator();

}  // namespace tq

#endif
