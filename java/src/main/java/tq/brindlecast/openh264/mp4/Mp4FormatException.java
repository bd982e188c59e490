package tq.brindlecast.openh264.mp4;

import java.io.IOException;

/**
 * An MP4 file could not be read: it is not an ISO base media file, it holds no H.264 video track
 * (its video is another codec, or encrypted), it was cut short, or its boxes contradict
 * themselves. The message says which, naming the box and its offset where there is one.
 */
public class Mp4FormatException extends IOException {
  private static final long serialVersionUID = 1L;

  /**
   * Creates the exception.
   *
   * @param message what was wrong with the file
   */
  public Mp4FormatException(String message) {
    super(message);
  }
}
