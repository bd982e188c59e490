/* Stands in for an OpenH264 release this library does not know (3.0.0): it
 * has the functions the library looks for, and only its version is ever
 * asked. Built as libopenh264.so.9 for the loader's refusal tests. */
typedef struct {
  unsigned int uMajor, uMinor, uRevision, uReserved;
} FutureVersion;

void WelsGetCodecVersionEx(FutureVersion* version) {
  version->uMajor = 3;
  version->uMinor = 0;
  version->uRevision = 0;
  version->uReserved = 0;
}

int WelsCreateSVCEncoder(void** encoder) {
  *encoder = 0;
  return 1;
}

void WelsDestroySVCEncoder(void* encoder) {
  (void)encoder;
}

long WelsCreateDecoder(void** decoder) {
  *decoder = 0;
  return 1;
}

void WelsDestroyDecoder(void* decoder) {
  (void)decoder;
}
