#include "openh264/release_binding.h"

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <mutex>

namespace {

// Two slots, so that a new binding never overwrites the one readers may be
// looking at; the published pointer says which is current.
OpenH264Binding bindingSlots[2];
std::atomic<const OpenH264Binding*> currentBinding{nullptr};
std::mutex bindingMutex;

bool IsBefore(OpenH264Version version, unsigned major, unsigned minor) {
  return version.uMajor < major || (version.uMajor == major && version.uMinor < minor);
}

// SLayerBSInfo before 2.6.0 ends with pBsBuf; 2.6.0 appends rPsnr[3]. The
// record keeps its alignment, so the older size is where rPsnr starts,
// rounded up to that alignment.
size_t LayerRecordSize(OpenH264Version release) {
  if (!IsBefore(release, 2, 6)) return sizeof(SLayerBSInfo);
  size_t alignment = alignof(SLayerBSInfo);
  return (offsetof(SLayerBSInfo, rPsnr) + alignment - 1) / alignment * alignment;
}

// Everything after sLayerInfo[] moves by the size difference of its 128
// entries.
FrameInfoLayout FrameInfoLayoutOf(OpenH264Version release) {
  size_t stride = LayerRecordSize(release);
  size_t shrink = (sizeof(SLayerBSInfo) - stride) * MAX_LAYER_NUM_OF_FRAME;
  FrameInfoLayout layout;
  layout.layerStride = stride;
  layout.frameTypeOffset = offsetof(SFrameBSInfo, eFrameType) - shrink;
  layout.frameSizeOffset = offsetof(SFrameBSInfo, iFrameSizeInBytes) - shrink;
  return layout;
}

void CopyText(char* target, size_t size, const char* text) {
  snprintf(target, size, "%s", text == nullptr ? "" : text);
}

}  // namespace

extern "C" bool OpenH264ReleaseIsSupported(OpenH264Version release) {
  return !IsBefore(release, 1, 7) && IsBefore(release, 2, 7);
}

extern "C" bool BindOpenH264(const OpenH264Functions* functions, const char* file, char* reason,
                             size_t reasonSize) {
  OpenH264Version release;
  memset(&release, 0, sizeof release);
  functions->getVersion(&release);
  if (!OpenH264ReleaseIsSupported(release)) {
    snprintf(reason, reasonSize,
             "it is OpenH264 %u.%u.%u, and only releases 1.7.0 to 2.6.x are supported",
             release.uMajor, release.uMinor, release.uRevision);
    return false;
  }
  std::lock_guard<std::mutex> lock(bindingMutex);
  const OpenH264Binding* current = currentBinding.load();
  OpenH264Binding* next = current == &bindingSlots[0] ? &bindingSlots[1] : &bindingSlots[0];
  next->functions = *functions;
  next->release = release;
  next->frameInfo = FrameInfoLayoutOf(release);
  next->hasFlushFrame = !IsBefore(release, 2, 0);
  CopyText(next->file, sizeof next->file, file);
  snprintf(next->releaseText, sizeof next->releaseText, "%u.%u.%u", release.uMajor, release.uMinor,
           release.uRevision);
  currentBinding.store(next);
  return true;
}

extern "C" void UnbindOpenH264(void) {
  std::lock_guard<std::mutex> lock(bindingMutex);
  currentBinding.store(nullptr);
}

extern "C" const OpenH264Binding* BoundOpenH264(void) {
  return currentBinding.load();
}

extern "C" int CreateOpenH264Encoder(ISVCEncoder** encoder) {
  const OpenH264Binding* binding = BoundOpenH264();
  if (binding == nullptr) return -1;
  return binding->functions.createEncoder(encoder);
}

extern "C" void DestroyOpenH264Encoder(ISVCEncoder* encoder) {
  const OpenH264Binding* binding = BoundOpenH264();
  if (binding != nullptr && encoder != nullptr) binding->functions.destroyEncoder(encoder);
}

extern "C" long CreateOpenH264Decoder(ISVCDecoder** decoder) {
  const OpenH264Binding* binding = BoundOpenH264();
  if (binding == nullptr) return -1;
  return binding->functions.createDecoder(decoder);
}

extern "C" void DestroyOpenH264Decoder(ISVCDecoder* decoder) {
  const OpenH264Binding* binding = BoundOpenH264();
  if (binding != nullptr && decoder != nullptr) binding->functions.destroyDecoder(decoder);
}

extern "C" bool OpenH264HasFlushFrame(void) {
  const OpenH264Binding* binding = BoundOpenH264();
  return binding != nullptr && binding->hasFlushFrame;
}
