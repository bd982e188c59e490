package tq.brindlecast.openh264.tool;

/**
 * What a picture source gives: the picture size, the frame rate, how many pictures there are,
 * and their sample range.
 *
 * @param width the picture width in pixels
 * @param height the picture height in pixels
 * @param fps the frame rate in pictures per second
 * @param count the number of pictures, or -1 when not known in advance
 * @param fullRange true when the samples use 0 to 255 rather than 16 to 235
 */
record PictureFormat(int width, int height, double fps, int count, boolean fullRange) {
  /** A limited-range format. */
  PictureFormat(int width, int height, double fps, int count) {
    this(width, height, fps, count, false);
  }

  /** The same format at another frame rate. */
  PictureFormat withFps(double newFps) {
    return new PictureFormat(width, height, newFps, count, fullRange);
  }
}
