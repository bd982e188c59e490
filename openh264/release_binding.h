// The OpenH264 library this process runs with: its five C functions, its
// release, and what that release's binary interface looks like. One build
// of this library serves every release from 1.7.0 to 2.6.x; what differs
// between them is decided here, at run time, from the release the loaded
// library reports.
#ifndef TQ_OPENH264_RELEASE_BINDING_H
#define TQ_OPENH264_RELEASE_BINDING_H

#include <codec_api.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int (*CreateEncoderFunction)(ISVCEncoder** encoder);
typedef void (*DestroyEncoderFunction)(ISVCEncoder* encoder);
typedef long (*CreateDecoderFunction)(ISVCDecoder** decoder);
typedef void (*DestroyDecoderFunction)(ISVCDecoder* decoder);
typedef void (*GetCodecVersionFunction)(OpenH264Version* version);

typedef struct OpenH264Functions {
  CreateEncoderFunction createEncoder;    // WelsCreateSVCEncoder
  DestroyEncoderFunction destroyEncoder;  // WelsDestroySVCEncoder
  CreateDecoderFunction createDecoder;    // WelsCreateDecoder
  DestroyDecoderFunction destroyDecoder;  // WelsDestroyDecoder
  GetCodecVersionFunction getVersion;     // WelsGetCodecVersionEx
} OpenH264Functions;

enum { kOpenH264FileCapacity = 4096 };

// Where SFrameBSInfo's members sit in the release's layout. The headers this
// library is built with are 2.6.0's, the largest layout: records handed to
// an older release are that release's record with room to spare, but the
// per-layer record grew inside SFrameBSInfo, moving everything after it.
typedef struct FrameInfoLayout {
  size_t layerStride;      // bytes from one sLayerInfo entry to the next
  size_t frameTypeOffset;  // eFrameType
  size_t frameSizeOffset;  // iFrameSizeInBytes
} FrameInfoLayout;

typedef struct OpenH264Binding {
  OpenH264Functions functions;
  OpenH264Version release;
  FrameInfoLayout frameInfo;
  bool hasFlushFrame;                // ISVCDecoder::FlushFrame, from 2.0.0 on
  char file[kOpenH264FileCapacity];  // the file it was loaded from, UTF-8
  char releaseText[32];              // e.g. "2.6.0"
} OpenH264Binding;

// Whether this library knows the binary interface of `release`.
bool OpenH264ReleaseIsSupported(OpenH264Version release);

// Asks the library for its release and binds it when that release is
// supported. Otherwise nothing changes and `reason` (of `reasonSize` bytes)
// says what was found. Binding again replaces the earlier binding; only
// tests do that, with no codec alive.
bool BindOpenH264(const OpenH264Functions* functions, const char* file, char* reason,
                  size_t reasonSize);

// Forgets the binding (tests only).
void UnbindOpenH264(void);

// The bound library, or null before one was bound.
const OpenH264Binding* BoundOpenH264(void);

// The factory functions of the bound library. Without one, creating fails
// (-1) and destroying does nothing.
int CreateOpenH264Encoder(ISVCEncoder** encoder);
void DestroyOpenH264Encoder(ISVCEncoder* encoder);
long CreateOpenH264Decoder(ISVCDecoder** decoder);
void DestroyOpenH264Decoder(ISVCDecoder* decoder);

// Whether the bound release's decoder has FlushFrame.
bool OpenH264HasFlushFrame(void);

#ifdef __cplusplus
}
#endif

#endif
