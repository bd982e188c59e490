package tq.brindlecast.openh264.video;

import tq.brindlecast.openh264.DecodedPicture;

/** A decoded picture of a video, with its place and time in display order. */
public final class Picture {
  private final DecodedPicture decoded;
  private final int index;
  private final long presentationTimeMicros;

  Picture(DecodedPicture decoded, int index, long presentationTimeMicros) {
    this.decoded = decoded;
    this.index = index;
    this.presentationTimeMicros = presentationTimeMicros;
  }

  /** {@return the decoded planes} */
  public DecodedPicture decoded() {
    return decoded;
  }

  /** {@return the picture's place in display order, from 0} */
  public int index() {
    return index;
  }

  /** {@return when the picture is shown, in microseconds from the start of the video} */
  public long presentationTimeMicros() {
    return presentationTimeMicros;
  }

  /** {@return the width in pixels} */
  public int width() {
    return decoded.width();
  }

  /** {@return the height in pixels} */
  public int height() {
    return decoded.height();
  }

  @Override
  public String toString() {
    return "Picture[" + index + ", " + width() + "x" + height() + ", at " + presentationTimeMicros
        + " µs]";
  }
}
