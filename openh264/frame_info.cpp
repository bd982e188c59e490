#include "openh264/frame_info.h"

#include <stddef.h>
#include <string.h>

#include "openh264/release_binding.h"

namespace {

// The layout of the bound release; 2.6.0's when none is bound.
FrameInfoLayout CurrentLayout() {
  const OpenH264Binding* binding = BoundOpenH264();
  if (binding != nullptr) return binding->frameInfo;
  FrameInfoLayout layout = {sizeof(SLayerBSInfo), offsetof(SFrameBSInfo, eFrameType),
                            offsetof(SFrameBSInfo, iFrameSizeInBytes)};
  return layout;
}

template <typename T>
T ReadAt(const SFrameBSInfo* info, size_t offset) {
  T value;
  memcpy(&value, reinterpret_cast<const unsigned char*>(info) + offset, sizeof value);
  return value;
}

}  // namespace

extern "C" int EncodedLayerCount(const SFrameBSInfo* info) {
  int count = info->iLayerNum;
  if (count < 0) return 0;
  return count > MAX_LAYER_NUM_OF_FRAME ? MAX_LAYER_NUM_OF_FRAME : count;
}

extern "C" EncodedLayer EncodedLayerAt(const SFrameBSInfo* info, int index) {
  size_t layer = offsetof(SFrameBSInfo, sLayerInfo) + CurrentLayout().layerStride * index;
  EncodedLayer read;
  read.nalCount = ReadAt<int>(info, layer + offsetof(SLayerBSInfo, iNalCount));
  read.nalLengths = ReadAt<int*>(info, layer + offsetof(SLayerBSInfo, pNalLengthInByte));
  read.bitstream = ReadAt<unsigned char*>(info, layer + offsetof(SLayerBSInfo, pBsBuf));
  return read;
}

extern "C" EVideoFrameType EncodedFrameType(const SFrameBSInfo* info) {
  return ReadAt<EVideoFrameType>(info, CurrentLayout().frameTypeOffset);
}

extern "C" int EncodedFrameSize(const SFrameBSInfo* info) {
  return ReadAt<int>(info, CurrentLayout().frameSizeOffset);
}
