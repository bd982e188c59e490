#include "turns.h"

namespace {

bool Receive(Turns* turns) {
  return fgetc(turns->in) != EOF;
}

bool Send(Turns* turns) {
  return fputc('t', turns->out) != EOF && fflush(turns->out) == 0;
}

}  // namespace

bool OpenTurns(const char* inPath, const char* outPath, bool first, Turns* turns) {
  turns->first = first;
  turns->in = fopen(inPath, "rb");
  turns->out = turns->in == nullptr ? nullptr : fopen(outPath, "wb");
  if (turns->out == nullptr) {
    CloseTurns(turns);
    return false;
  }
  return true;
}

bool BeforePass(Turns* turns) {
  return turns->first || Receive(turns);
}

bool AfterPass(Turns* turns) {
  return Send(turns) && (!turns->first || Receive(turns));
}

void CloseTurns(Turns* turns) {
  if (turns->in != nullptr) fclose(turns->in);
  if (turns->out != nullptr) fclose(turns->out);
  turns->in = nullptr;
  turns->out = nullptr;
}
