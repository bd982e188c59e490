package tq.brindlecast.openh264.video;

/** What a {@link FrameGrabber} did, for tests in other packages. */
public final class GrabberCounts {
  private GrabberCounts() {}

  /** {@return how many samples the grabber has decoded} */
  public static long samplesDecoded(FrameGrabber grabber) {
    return grabber.samplesDecoded();
  }

  /** {@return how many pictures asked for one by one the grabber had grabbed ahead} */
  public static long picturesTakenAhead(FrameGrabber grabber) {
    return grabber.picturesTakenAhead();
  }
}
