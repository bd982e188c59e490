#include "decode_bench.h"

#include <string.h>

namespace {

// What the library builds from a default DecoderConfig.
void SetLibraryEquivalentParams(SDecodingParam* param) {
  memset(param, 0, sizeof *param);
  param->pFileNameRestructed = nullptr;
  param->uiCpuLoad = 0;
  param->uiTargetDqLayer = 255;
  param->eEcActiveIdc = ERROR_CON_DISABLE;
  param->bParseOnly = false;
  param->sVideoProperty.size = 8;
  param->sVideoProperty.eVideoBsType = VIDEO_BITSTREAM_SVC;
}

void AppendCropped(const uint8_t* plane, int stride, int width, int rows,
                   std::vector<uint8_t>* out) {
  for (int row = 0; row < rows; ++row) {
    const uint8_t* start = plane + static_cast<size_t>(row) * stride;
    out->insert(out->end(), start, start + width);
  }
}

void AppendPicture(unsigned char* const planes[3], const SBufferInfo& info,
                   std::vector<uint8_t>* out) {
  const SSysMEMBuffer& buffer = info.UsrData.sSystemBuffer;
  AppendCropped(planes[0], buffer.iStride[0], buffer.iWidth, buffer.iHeight, out);
  AppendCropped(planes[1], buffer.iStride[1], (buffer.iWidth + 1) / 2, buffer.iHeight / 2, out);
  AppendCropped(planes[2], buffer.iStride[1], (buffer.iWidth + 1) / 2, buffer.iHeight / 2, out);
}

// Y, U and V back to back, each as one block of whole rows at its stride.
void CopyAtStrides(unsigned char* const planes[3], const SBufferInfo& info,
                   std::vector<uint8_t>* buffer) {
  const SSysMEMBuffer& picture = info.UsrData.sSystemBuffer;
  size_t ySize = static_cast<size_t>(picture.iStride[0]) * picture.iHeight;
  size_t cSize = static_cast<size_t>(picture.iStride[1]) * (picture.iHeight / 2);
  if (buffer->size() < ySize + 2 * cSize) buffer->resize(ySize + 2 * cSize);
  memcpy(buffer->data(), planes[0], ySize);
  memcpy(buffer->data() + ySize, planes[1], cSize);
  memcpy(buffer->data() + ySize + cSize, planes[2], cSize);
}

// One call; returns 1 for a picture, 0 for none, -1 for an error state.
int TakePicture(DECODING_STATE state, unsigned char* const planes[3], const SBufferInfo& info,
                const PictureSink& sink) {
  if (state != dsErrorFree) return -1;
  if (info.iBufferStatus != 1) return 0;
  if (sink.pictures != nullptr) {
    AppendPicture(planes, info, sink.pictures);
  } else {
    CopyAtStrides(planes, info, sink.reused);
  }
  return 1;
}

void ClearOutputs(unsigned char* planes[3], SBufferInfo* info) {
  memset(planes, 0, 3 * sizeof planes[0]);
  memset(info, 0, sizeof *info);
}

// One H264Decoder.drain(): a null buffer, then (OpenH264 2.x) FlushFrame when
// that gave no picture. Returns 1 for a picture, 0 for none, -1 for an error state.
int DrainOnce(ISVCDecoder* decoder, const PictureSink& sink) {
  unsigned char* planes[3];
  SBufferInfo info;
  ClearOutputs(planes, &info);
  int taken =
      TakePicture(decoder->DecodeFrameNoDelay(nullptr, 0, planes, &info), planes, info, sink);
#if OPENH264_MAJOR >= 2
  if (taken != 0) return taken;
  ClearOutputs(planes, &info);
  taken = TakePicture(decoder->FlushFrame(planes, &info), planes, info, sink);
#endif
  return taken;
}

}  // namespace

ISVCDecoder* OpenBenchDecoder() {
  ISVCDecoder* decoder = nullptr;
  if (WelsCreateDecoder(&decoder) != 0 || decoder == nullptr) return nullptr;
  SDecodingParam param;
  SetLibraryEquivalentParams(&param);
  if (decoder->Initialize(&param) != 0) {
    WelsDestroyDecoder(decoder);
    return nullptr;
  }
  return decoder;
}

void CloseBenchDecoder(ISVCDecoder* decoder) {
  decoder->Uninitialize();
  WelsDestroyDecoder(decoder);
}

int DecodeUnits(ISVCDecoder* decoder, const std::vector<std::vector<uint8_t>>& units,
                const PictureSink& sink) {
  int decoded = 0;
  unsigned char* planes[3];
  SBufferInfo info;
  for (const std::vector<uint8_t>& unit : units) {
    ClearOutputs(planes, &info);
    DECODING_STATE state =
        decoder->DecodeFrameNoDelay(unit.data(), static_cast<int>(unit.size()), planes, &info);
    int taken = TakePicture(state, planes, info, sink);
    if (taken < 0) return -1;
    decoded += taken;
  }
  int drained;
  while ((drained = DrainOnce(decoder, sink)) == 1) ++decoded;
  return drained < 0 ? -1 : decoded;
}
