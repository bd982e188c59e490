#include "bridge/getter_reader.h"

#include "bridge/java_getters.h"
#include "bridge/java_status.h"

namespace tq {

void GetterReader::Int(int32_t* field, const char* getter) {
  if (!ok) return;
  *field = GetIntValue(env, cls, object, getter);
  ok = !JavaExceptionPending(env);
}

void GetterReader::Float(float* field, const char* getter) {
  if (!ok) return;
  *field = GetFloatValue(env, cls, object, getter);
  ok = !JavaExceptionPending(env);
}

void GetterReader::Char(uint16_t* field, const char* getter) {
  if (!ok) return;
  *field = GetCharValue(env, cls, object, getter);
  ok = !JavaExceptionPending(env);
}

void GetterReader::String(char** field, const char* getter) {
  if (!ok) return;
  *field = GetStringValue(env, cls, object, getter);
  ok = !JavaExceptionPending(env);
}

void GetterReader::IntArray(int32_t* field, int byteCount, const char* getter) {
  if (!ok) return;
  GetIntArrayValues(env, cls, field, byteCount, object, getter);
  ok = !JavaExceptionPending(env);
}

}  // namespace tq
