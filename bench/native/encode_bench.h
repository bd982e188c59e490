// Encoding straight through OpenH264, set up the way the library sets up its
// encoder for the same settings.
#ifndef TQ_BENCH_NATIVE_ENCODE_BENCH_H
#define TQ_BENCH_NATIVE_ENCODE_BENCH_H

#include <codec_api.h>
#include <stdint.h>

#include <vector>

struct EncodeSettings {
  int width;
  int height;
  int bitrateUnits;  // units of 1024 bit/s, as Native.OpenH264TQEncoderSetBitrate takes them
  // What VideoWriter.defaultConfig changes at 30 pictures/s: an IDR picture
  // every 2 seconds, the same SPS and PPS ids throughout.
  bool videoWriterDefaults;
};

// The parameters the library builds for a default EncoderConfig with
// RateControlMode.BITRATE and frame skip off, a default SpatialLayerConfig
// for layer 0, and the given size and bit rate (and VideoWriter's defaults
// when asked for).
int BuildLibraryEquivalentParams(ISVCEncoder* encoder, const EncodeSettings& settings,
                                 SEncParamExt* params);

// Creates and initialises the encoder; null when OpenH264 refuses.
ISVCEncoder* OpenBenchEncoder(const EncodeSettings& settings);
void CloseBenchEncoder(ISVCEncoder* encoder);

// Encodes every packed I420 picture once. With `stream` and `sizes`, appends
// each picture's Annex B bytes and byte count. Returns the number of
// pictures that produced bytes, or -1 when EncodeFrame failed.
int EncodePictures(ISVCEncoder* encoder, const EncodeSettings& settings,
                   const std::vector<std::vector<uint8_t>>& pictures, std::vector<uint8_t>* stream,
                   std::vector<int>* sizes);

#endif
