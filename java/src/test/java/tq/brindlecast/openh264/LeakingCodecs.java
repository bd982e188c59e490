package tq.brindlecast.openh264;

/**
 * A program that leaves an encoder and a decoder to the cleaner (and closes a third codec
 * properly), then waits until the cleaner has freed them: what a leaking application does, in a
 * JVM of its own so that the once-per-process warning is its own.
 */
public final class LeakingCodecs {
  private LeakingCodecs() {}

  public static void main(String[] args) throws InterruptedException {
    new H264Encoder(new EncoderConfig()).close();
    makeAndForget();
    for (int attempt = 0; attempt < 200 && NativeContext.LIVE.get() > 0; attempt++) {
      System.gc();
      Thread.sleep(50);
    }
    System.out.println("live contexts: " + NativeContext.LIVE.get());
  }

  private static void makeAndForget() {
    new H264Encoder(new EncoderConfig()).encode(H264EncoderTest.picture(64, 64, 0));
    new H264Decoder();
  }
}
