// Reading one configuration object through its getters into a record. The
// chain of reads stops at the first getter that leaves a Java exception
// pending; `ok` then says the record is incomplete.
#ifndef TQ_BRIDGE_GETTER_READER_H
#define TQ_BRIDGE_GETTER_READER_H

#include <jni.h>
#include <stdint.h>

namespace tq {

struct GetterReader {
  JNIEnv* env;
  jclass cls;
  jobject object;
  bool ok;

  void Int(int32_t* field, const char* getter);
  void Float(float* field, const char* getter);
  void Char(uint16_t* field, const char* getter);
  // A malloc'ed copy (or null) that the field's owner frees.
  void String(char** field, const char* getter);
  void IntArray(int32_t* field, int byteCount, const char* getter);
};

}  // namespace tq

#endif
