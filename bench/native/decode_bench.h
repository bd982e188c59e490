// Decoding straight through OpenH264, set up the way the library sets up its
// decoder for a default DecoderConfig.
#ifndef TQ_BENCH_NATIVE_DECODE_BENCH_H
#define TQ_BENCH_NATIVE_DECODE_BENCH_H

#include <codec_api.h>
#include <codec_ver.h>
#include <stdint.h>

#include <vector>

// Creates and initialises the decoder; null when OpenH264 refuses.
ISVCDecoder* OpenBenchDecoder();
void CloseBenchDecoder(ISVCDecoder* decoder);

// Where the decoded pictures go. With `pictures` set, every picture is
// appended cut to its width and packed (Y, U, V), to be written out.
// Otherwise each picture is copied as the library copies it for Java (every
// plane as one block at the decoder's stride) into `reused`, one buffer for
// all pictures: the copy any caller pays, without the allocation.
struct PictureSink {
  std::vector<uint8_t>* pictures;
  std::vector<uint8_t>* reused;
};

// Decodes each access unit with one DecodeFrameNoDelay call, then drains the
// way H264Decoder.drain() does, handing every picture to `sink`. Returns the
// number of pictures, or -1 when a call reported an error.
int DecodeUnits(ISVCDecoder* decoder, const std::vector<std::vector<uint8_t>>& units,
                const PictureSink& sink);

#endif
