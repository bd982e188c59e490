// Inputs and outputs of the native benchmark driver: raw pictures and
// encoded streams read whole into memory before any timing, outputs written
// after the untimed first pass, and the result lines run.sh reads.
#ifndef TQ_BENCH_NATIVE_BENCH_IO_H
#define TQ_BENCH_NATIVE_BENCH_IO_H

#include <stdint.h>

#include <string>
#include <vector>

// The whole file, or false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);

// One decimal number per line, e.g. the byte count of each encoded picture.
bool ReadSizes(const std::string& path, std::vector<int>* sizes);

// Splits `stream` into consecutive pieces of the given sizes; false when the
// sizes do not add up to the stream.
bool SplitBySizes(const std::vector<uint8_t>& stream, const std::vector<int>& sizes,
                  std::vector<std::vector<uint8_t>>* pieces);

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteSizes(const std::string& path, const std::vector<int>& sizes);

// Monotonic seconds.
double NowSeconds();

// The CPU time of the whole process (user and system), in seconds.
double ProcessCpuSeconds();

// Prints one timed pass in the form run.sh parses: wall and CPU seconds.
void PrintPass(const char* op, int width, int height, int pass, int pictures, double seconds,
               double cpuSeconds);

#endif
