// Turn taking between the native driver and the Java driver, so that their
// timed passes alternate one by one while neither runs at the same time as
// the other. Two FIFOs carry a one-byte token: the side that goes first runs
// a pass, hands the token over and waits for it back; the other side waits,
// runs, and hands it back. Opening the FIFOs waits until the other side has
// opened them too, i.e. until both have finished their untimed first pass.
#ifndef TQ_BENCH_NATIVE_TURNS_H
#define TQ_BENCH_NATIVE_TURNS_H

#include <stdio.h>

struct Turns {
  FILE* in;    // the token arrives here
  FILE* out;   // and leaves here
  bool first;  // this side runs the first pass
};

// Opens `inPath` for reading, then `outPath` for writing (the Java driver
// opens them in the opposite order, so neither waits for the other forever).
bool OpenTurns(const char* inPath, const char* outPath, bool first, Turns* turns);

// Before a pass: waits for the token unless this side goes first. False when
// the other side has gone away.
bool BeforePass(Turns* turns);

// After a pass: hands the token over; the side that went first then waits
// for it to come back.
bool AfterPass(Turns* turns);

void CloseTurns(Turns* turns);

#endif
