// Reading what EncodeFrame wrote into SFrameBSInfo, in the layout of the
// release that wrote it. The record handed to EncodeFrame is always the
// largest layout's (2.6.0's), zero-filled.
#ifndef TQ_OPENH264_FRAME_INFO_H
#define TQ_OPENH264_FRAME_INFO_H

#include <codec_api.h>

#ifdef __cplusplus
extern "C" {
#endif

// The members of one layer record that every release has.
typedef struct EncodedLayer {
  int nalCount;
  const int* nalLengths;
  const unsigned char* bitstream;
} EncodedLayer;

int EncodedLayerCount(const SFrameBSInfo* info);
// Layer `index` (0 <= index < EncodedLayerCount, at most MAX_LAYER_NUM_OF_FRAME - 1).
EncodedLayer EncodedLayerAt(const SFrameBSInfo* info, int index);
EVideoFrameType EncodedFrameType(const SFrameBSInfo* info);
int EncodedFrameSize(const SFrameBSInfo* info);

#ifdef __cplusplus
}
#endif

#endif
