#include "openh264/shared_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <stdio.h>
#endif

namespace tq {

#if defined(_WIN32)

namespace {

std::wstring Widen(const std::string& text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], length);
  wide.resize(static_cast<size_t>(length - 1));
  return wide;
}

std::string Narrow(const wchar_t* text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &narrow[0], length, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(length - 1));
  return narrow;
}

std::string ModuleFile(HMODULE module) {
  wchar_t path[MAX_PATH * 4];
  DWORD length = GetModuleFileNameW(module, path, sizeof path / sizeof path[0]);
  if (length == 0 || length >= sizeof path / sizeof path[0]) return std::string();
  return Narrow(path);
}

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message + " (error " + std::to_string(code) + ")";
}

}  // namespace

void* OpenSharedLibrary(const std::string& name, std::string* reason) {
  bool isPath = name.find_first_of("\\/") != std::string::npos;
  // A path's own dependencies are looked for beside it.
  DWORD flags = isPath ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
  UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryExW(Widen(name).c_str(), nullptr, flags);
  DWORD error = GetLastError();
  SetErrorMode(previous);
  if (module == nullptr) *reason = SystemMessage(error);
  return reinterpret_cast<void*>(module);
}

void* FindSharedLibrarySymbol(void* library, const char* symbol) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), symbol));
}

void CloseSharedLibrary(void* library) {
  FreeLibrary(static_cast<HMODULE>(library));
}

std::string SharedLibraryFile(void* library, void*) {
  return ModuleFile(static_cast<HMODULE>(library));
}

std::string DirectoryOfThisLibrary() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&DirectoryOfThisLibrary), &self)) {
    return std::string();
  }
  std::string file = ModuleFile(self);
  size_t slash = file.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

char DirectorySeparator() {
  return '\\';
}

#else

namespace {

const char* MachineName(unsigned machine) {
  switch (machine) {
    case 3:
      return "x86 (32-bit)";
    case 40:
      return "32-bit ARM";
    case 62:
      return "x86_64";
    case 183:
      return "arm64";
    case 243:
      return "RISC-V";
    default:
      return "another machine";
  }
}

#if defined(__x86_64__)
const unsigned kThisMachine = 62;
#elif defined(__aarch64__)
const unsigned kThisMachine = 183;
#elif defined(__i386__)
const unsigned kThisMachine = 3;
#elif defined(__arm__)
const unsigned kThisMachine = 40;
#else
const unsigned kThisMachine = 0;
#endif

// glibc reports a library built for another machine as "No such file or
// directory"; the file's own header says what it is.
std::string WhatTheFileIs(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return std::string();
  unsigned char header[20];
  size_t read = fread(header, 1, sizeof header, file);
  fclose(file);
  if (read < sizeof header || header[0] != 0x7f || header[1] != 'E' || header[2] != 'L' ||
      header[3] != 'F') {
    return " (the file exists, but it is not a shared library)";
  }
  // e_machine, in the file's own byte order.
  unsigned machine =
      header[5] == 2 ? (header[18] << 8 | header[19]) : (header[19] << 8 | header[18]);
  if (kThisMachine == 0 || machine == kThisMachine) return std::string();
  return std::string(" (the file exists: it is a library for ") + MachineName(machine) +
         ", and this process runs on " + MachineName(kThisMachine) + ")";
}

}  // namespace

void* OpenSharedLibrary(const std::string& name, std::string* reason) {
  void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = dlerror();
    *reason = error == nullptr ? "could not be loaded" : error;
    if (name.find('/') != std::string::npos) *reason += WhatTheFileIs(name);
  }
  return library;
}

void* FindSharedLibrarySymbol(void* library, const char* symbol) {
  return dlsym(library, symbol);
}

void CloseSharedLibrary(void* library) {
  dlclose(library);
}

std::string SharedLibraryFile(void*, void* symbol) {
  Dl_info info;
  if (symbol == nullptr || dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) {
    return std::string();
  }
  return info.dli_fname;
}

std::string DirectoryOfThisLibrary() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&DirectoryOfThisLibrary), &info) == 0 ||
      info.dli_fname == nullptr) {
    return std::string();
  }
  std::string file = info.dli_fname;
  size_t slash = file.find_last_of('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

char DirectorySeparator() {
  return '/';
}

#endif

}  // namespace tq
