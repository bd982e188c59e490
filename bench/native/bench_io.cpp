#include "bench_io.h"

#include <stdio.h>
#include <time.h>

#include <chrono>

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes->clear();
  uint8_t chunk[1 << 16];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
    bytes->insert(bytes->end(), chunk, chunk + got);
  bool ok = ferror(file) == 0;
  fclose(file);
  return ok;
}

bool ReadSizes(const std::string& path, std::vector<int>* sizes) {
  FILE* file = fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  sizes->clear();
  int size;
  while (fscanf(file, "%d", &size) == 1) sizes->push_back(size);
  bool ok = feof(file) != 0;
  fclose(file);
  return ok;
}

bool SplitBySizes(const std::vector<uint8_t>& stream, const std::vector<int>& sizes,
                  std::vector<std::vector<uint8_t>>* pieces) {
  pieces->clear();
  size_t position = 0;
  for (int size : sizes) {
    if (size <= 0 || position + static_cast<size_t>(size) > stream.size()) return false;
    pieces->emplace_back(stream.begin() + position, stream.begin() + position + size);
    position += static_cast<size_t>(size);
  }
  return position == stream.size();
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

bool WriteSizes(const std::string& path, const std::vector<int>& sizes) {
  FILE* file = fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  bool ok = true;
  for (int size : sizes) ok = ok && fprintf(file, "%d\n", size) > 0;
  return fclose(file) == 0 && ok;
}

double NowSeconds() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration<double>(now).count();
}

double ProcessCpuSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

void PrintPass(const char* op, int width, int height, int pass, int pictures, double seconds,
               double cpuSeconds) {
  printf("pass side=native op=%s size=%dx%d pass=%d pictures=%d seconds=%.6f fps=%.3f cpu=%.6f\n",
         op, width, height, pass, pictures, seconds, pictures / seconds, cpuSeconds);
  fflush(stdout);
}
