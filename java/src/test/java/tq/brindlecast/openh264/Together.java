package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.concurrent.CyclicBarrier;

/** Runs a piece of work on several threads that start at the same moment. */
final class Together {
  /** The work of one thread. */
  interface Work {
    void run(int thread) throws Exception;
  }

  private Together() {}

  /** Runs {@code work} on {@code threads} threads, waits for all, and fails if any threw. */
  static void run(int threads, Work work) throws InterruptedException {
    List<Throwable> failures = Collections.synchronizedList(new ArrayList<>());
    CyclicBarrier start = new CyclicBarrier(threads);
    List<Thread> started = new ArrayList<>();
    for (int t = 0; t < threads; t++) {
      int thread = t;
      Thread runner =
          new Thread(
              () -> {
                try {
                  start.await();
                  work.run(thread);
                } catch (Throwable failure) {
                  failures.add(failure);
                }
              });
      runner.start();
      started.add(runner);
    }
    for (Thread runner : started) {
      runner.join();
    }
    assertEquals(List.of(), failures);
  }
}
