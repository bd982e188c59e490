// Decoding straight through OpenH264, set up the way the library sets up its
// decoder for a default DecoderConfig.
#ifndef TQ_BENCH_NATIVE_DECODE_BENCH_H
#define TQ_BENCH_NATIVE_DECODE_BENCH_H

#include <codec_api.h>
#include <stdint.h>

#include <vector>

// Creates and initialises the decoder; null when OpenH264 refuses.
ISVCDecoder* OpenBenchDecoder();
void CloseBenchDecoder(ISVCDecoder* decoder);

// Decodes each access unit with one DecodeFrameNoDelay call, then drains the
// way H264Decoder.drain() does. With `pictures`, appends every picture cut to
// its width and packed (Y, U, V). Returns the number of pictures, or -1 when
// a call reported an error.
int DecodeUnits(ISVCDecoder* decoder, const std::vector<std::vector<uint8_t>>& units,
                std::vector<uint8_t>* pictures);

#endif
