#include "decoder/frame_decoding.h"

#include <stdint.h>
#include <string.h>

#include "bridge/java_arrays.h"
#include "bridge/message_channel.h"
#include "bridge/plane_extent.h"
#include "bridge/scoped_java.h"
#include "decoder/decoder_context.h"
#include "decoder/decoder_params.h"
#include "image/conversion_codes.h"
#include "image/i420_to_rgb.h"
#include "openh264/release_binding.h"

namespace {

struct OutArrays {
  jintArray width;
  jintArray height;
  jintArray strides;
  jintArray planeSizes;
  jintArray planeCount;
};

// What one decoding call reported: OpenH264's plane pointers and buffer
// information.
struct DecoderOutput {
  unsigned char* planes[3];
  SBufferInfo info;
};

// Sizes in the array handed to Java: Y, then U and V of cSize bytes each.
struct ReturnedPlaneSizes {
  jint ySize;
  jint cSize;
  jint total;
};

bool HoldsAtLeast(JNIEnv* env, jclass cls, jintArray array, jint count) {
  return ArrayLength(env, cls, array) >= count;  // -1 for a null array
}

// The out-arrays are written without further checks once a picture is
// returned, so they are measured before anything else happens.
bool OutArraysFit(JNIEnv* env, jclass cls, const OutArrays& out) {
  return HoldsAtLeast(env, cls, out.width, 1) && HoldsAtLeast(env, cls, out.height, 1) &&
         HoldsAtLeast(env, cls, out.strides, 3) && HoldsAtLeast(env, cls, out.planeSizes, 3) &&
         HoldsAtLeast(env, cls, out.planeCount, 1);
}

// Creates and initialises the context's decoder from the stored
// configuration. A decoder that was created stays even when it could not be
// configured or initialised; only SetConfig or Destroy discards it.
bool BringUpDecoder(JNIEnv* env, jclass cls, DecoderContext* context) {
  long created = CreateOpenH264Decoder(&context->decoder);
  if (created != 0) {
    context->decoder = nullptr;
    SendMessage(env, cls, context->errorChannel,
                "openh264 decode: Could not create decoder. Error %ld", created);
    return false;
  }
  SDecodingParam param;
  memset(&param, 0, sizeof param);
  int32_t configured = OpenH264TQDecoderUpdateCodecConfig(env, cls, context, &param);
  if (configured != 0) {
    SendMessage(env, cls, context->errorChannel,
                "openh264 decode: Could not configure decoder. Error %ld",
                static_cast<long>(configured));
    return false;
  }
  long initialized = context->decoder->Initialize(&param);
  if (initialized != 0) {
    SendMessage(env, cls, context->errorChannel,
                "openh264 decode: Could not initialize decoder. Error %ld", initialized);
    return false;
  }
  return true;
}

// The number of bytes OpenH264 may read: the requested length, limited to
// what the array holds; none for a null array or a negative length.
jint ReadableLength(JNIEnv* env, jclass cls, jbyteArray bitstream, jint bitstreamLength) {
  if (bitstream == nullptr || bitstreamLength <= 0) return 0;
  jint held = ArrayLength(env, cls, bitstream);
  return bitstreamLength < held ? bitstreamLength : held;
}

void ClearPicture(DecoderOutput* picture) {
  memset(picture->planes, 0, sizeof picture->planes);
  memset(&picture->info, 0, sizeof picture->info);
}

// One DecodeFrameNoDelay call on the bytes of `bitstream`. A null array
// reaches OpenH264 as a null pointer with no JNI array call. Returns false
// only when the array could not be pinned (an exception is then pending).
bool DecodeBuffer(JNIEnv* env, jclass cls, DecoderContext* context, jbyteArray bitstream,
                  jint bitstreamLength, DecoderOutput* picture, DECODING_STATE* state) {
  ClearPicture(picture);
  jint length = ReadableLength(env, cls, bitstream, bitstreamLength);
  tq::ScopedBytes bytes(env, cls, bitstream);
  if (bytes.get() == nullptr && bitstream != nullptr) return false;
  *state = context->decoder->DecodeFrameNoDelay(reinterpret_cast<const unsigned char*>(bytes.get()),
                                                length, picture->planes, &picture->info);
  return true;
}

// Any non-zero state is a failure that asks for a key frame; a good call
// clears the request. Returns whether a picture can be handed out.
bool TakeOutcome(DecoderContext* context, DECODING_STATE state, const DecoderOutput& picture) {
  if (state != dsErrorFree) {
    context->needsKeyFrame = 1;
    return false;
  }
  context->needsKeyFrame = 0;
  return picture.info.iBufferStatus == 1;
}

// Sizes of the returned array: every plane keeps the decoder's stride, and
// a chroma plane has half the rows (rounded down). False for a geometry no
// array can hold or a missing plane.
bool ComputePlaneSizes(const DecoderOutput& picture, ReturnedPlaneSizes* sizes) {
  const SSysMEMBuffer& buffer = picture.info.UsrData.sSystemBuffer;
  int64_t rows = buffer.iHeight;
  int64_t lumaStride = buffer.iStride[0];
  int64_t chromaStride = buffer.iStride[1];
  if (rows < 0 || lumaStride < 0 || chromaStride < 0) return false;
  // Whole rows are copied, padding included.
  int64_t ySize = tq::PlaneEnd(0, lumaStride, rows, lumaStride);
  int64_t cSize = tq::PlaneEnd(0, chromaStride, rows / 2, chromaStride);
  int64_t total = ySize + 2 * cSize;
  if (total > INT32_MAX) return false;
  if ((ySize > 0 && picture.planes[0] == nullptr) ||
      (cSize > 0 && (picture.planes[1] == nullptr || picture.planes[2] == nullptr))) {
    return false;
  }
  sizes->ySize = static_cast<jint>(ySize);
  sizes->cSize = static_cast<jint>(cSize);
  sizes->total = static_cast<jint>(total);
  return true;
}

// Copies the three planes into a new array from AllocCallback and writes the
// geometry into the out-arrays. Null, with nothing written, when the layout
// is impossible or AllocCallback gives no usable array.
jbyteArray ReturnPicture(JNIEnv* env, jclass cls, DecoderContext* context,
                         const DecoderOutput& picture, const OutArrays& out) {
  ReturnedPlaneSizes sizes;
  if (!ComputePlaneSizes(picture, &sizes)) return nullptr;
  tq::ScopedOutputArray array(env, cls, context->allocCallbackRef, sizes.total);
  jbyte* view = array.view();
  if (view == nullptr) return nullptr;
  const SSysMEMBuffer& buffer = picture.info.UsrData.sSystemBuffer;
  SetOutVariables(env, cls, out.planeSizes, 3, sizes.ySize, sizes.cSize, sizes.cSize);
  SetOutVariables(env, cls, out.width, 1, buffer.iWidth);
  SetOutVariables(env, cls, out.height, 1, buffer.iHeight);
  SetOutVariables(env, cls, out.planeCount, 1, 3);
  SetOutVariables(env, cls, out.strides, 3, buffer.iStride[0], buffer.iStride[1],
                  buffer.iStride[1]);
  memcpy(view, picture.planes[0], static_cast<size_t>(sizes.ySize));
  memcpy(view + sizes.ySize, picture.planes[1], static_cast<size_t>(sizes.cSize));
  memcpy(view + sizes.ySize + sizes.cSize, picture.planes[2], static_cast<size_t>(sizes.cSize));
  return array.Return(context->returnCallbackRef);
}

// At the end of the stream, asks for a picture the decoder still holds back
// (OpenH264 2.x keeps the latest picture of Main and High profile streams;
// 1.x has no FlushFrame, and its virtual table no slot for it).
bool FlushHeldPicture(DecoderContext* context, DecoderOutput* picture) {
  ClearPicture(picture);
  DECODING_STATE state = context->decoder->FlushFrame(picture->planes, &picture->info);
  return TakeOutcome(context, state, *picture);
}

// One decoding step, the decoder brought up first when there is none: true
// when a finished picture is in `picture`.
bool DecodeStep(JNIEnv* env, jclass cls, DecoderContext* context, jbyteArray bitstream,
                jint bitstreamLength, DecoderOutput* picture) {
  if (context->decoder == nullptr && !BringUpDecoder(env, cls, context)) return false;
  DECODING_STATE state = dsErrorFree;
  if (!DecodeBuffer(env, cls, context, bitstream, bitstreamLength, picture, &state)) {
    return false;
  }
  bool ready = TakeOutcome(context, state, *picture);
  if (!ready && bitstream == nullptr && OpenH264HasFlushFrame()) {
    ready = FlushHeldPicture(context, picture);
  }
  return ready;
}

// Where the caller wants the pixels of a picture that fits.
struct RgbOutput {
  jintArray pixels;
  jint offset;
  jint stride;
  jint matrix;
  jint fullRange;
};

bool RgbOutputValid(JNIEnv* env, jclass cls, const RgbOutput& rgb) {
  return tq::ColourMatrixKnown(rgb.matrix) && (rgb.fullRange == 0 || rgb.fullRange == 1) &&
         rgb.offset >= 0 && rgb.stride >= 1 && ArrayLength(env, cls, rgb.pixels) >= 0;
}

enum class PixelsOutcome { kConverted, kDoesNotFit, kPinFailed };

// Converts the picture into the caller's pixels when its rows fit there
// (geometry written, no planes: a plane count of 0).
PixelsOutcome ConvertIntoPixels(JNIEnv* env, jclass cls, const DecoderOutput& picture,
                                const RgbOutput& rgb, const OutArrays& out) {
  const SSysMEMBuffer& buffer = picture.info.UsrData.sSystemBuffer;
  int width = buffer.iWidth, height = buffer.iHeight;
  // An odd size would need a chroma row or column past those handed out
  // (chroma planes have half the rows, rounded down): such a picture goes
  // out as planes.
  if (width < 2 || height < 2 || width % 2 != 0 || height % 2 != 0 || buffer.iStride[0] < width ||
      buffer.iStride[1] < (width + 1) / 2 || picture.planes[0] == nullptr ||
      picture.planes[1] == nullptr || picture.planes[2] == nullptr ||
      !tq::PlaneFits(ArrayLength(env, cls, rgb.pixels), rgb.offset, rgb.stride, height, width)) {
    return PixelsOutcome::kDoesNotFit;
  }
  {
    tq::ScopedCriticalArray target(env, cls, rgb.pixels, tq::ScopedCriticalArray::kWrite);
    // A failed pin leaves an exception pending: no further JNI call then.
    if (target.get() == nullptr) return PixelsOutcome::kPinFailed;
    I420Source source = {picture.planes[0],
                         picture.planes[1],
                         picture.planes[2],
                         buffer.iStride[0],
                         buffer.iStride[1],
                         width,
                         height};
    RgbTarget pixels = {static_cast<uint32_t*>(target.get()) + rgb.offset, rgb.stride};
    ConvertI420ToRgbFast(&source, rgb.matrix, rgb.fullRange, &pixels);
  }
  SetOutVariables(env, cls, out.width, 1, width);
  SetOutVariables(env, cls, out.height, 1, height);
  SetOutVariables(env, cls, out.planeCount, 1, 0);
  return PixelsOutcome::kConverted;
}

}  // namespace

extern "C" JNIEXPORT jbyteArray JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDecode(
    JNIEnv* env, jclass cls, jlong decoderHandle, jbyteArray bitstream, jint bitstreamLength,
    jintArray outWidth, jintArray outHeight, jintArray outStrides, jintArray outPlaneSizes,
    jintArray outPlaneCount) {
  DecoderContext* context = DecoderFromHandle(decoderHandle);
  if (context == nullptr) return nullptr;
  OutArrays out = {outWidth, outHeight, outStrides, outPlaneSizes, outPlaneCount};
  if (!OutArraysFit(env, cls, out)) return nullptr;
  DecoderOutput picture;
  if (!DecodeStep(env, cls, context, bitstream, bitstreamLength, &picture)) return nullptr;
  return ReturnPicture(env, cls, context, picture, out);
}

extern "C" JNIEXPORT jbyteArray JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDecodeToRgb(
    JNIEnv* env, jclass cls, jlong decoderHandle, jbyteArray bitstream, jint bitstreamLength,
    jintArray outWidth, jintArray outHeight, jintArray outStrides, jintArray outPlaneSizes,
    jintArray outPlaneCount, jintArray rgb, jint rgbOffset, jint rgbStride, jint matrix,
    jint fullRange) {
  DecoderContext* context = DecoderFromHandle(decoderHandle);
  if (context == nullptr) return nullptr;
  OutArrays out = {outWidth, outHeight, outStrides, outPlaneSizes, outPlaneCount};
  RgbOutput pixels = {rgb, rgbOffset, rgbStride, matrix, fullRange};
  if (!OutArraysFit(env, cls, out) || !RgbOutputValid(env, cls, pixels)) return nullptr;
  DecoderOutput picture;
  if (!DecodeStep(env, cls, context, bitstream, bitstreamLength, &picture)) return nullptr;
  PixelsOutcome outcome = ConvertIntoPixels(env, cls, picture, pixels, out);
  if (outcome != PixelsOutcome::kDoesNotFit) return nullptr;
  return ReturnPicture(env, cls, context, picture, out);
}
