package tq.brindlecast.openh264.tool;

/**
 * What a picture source gives: the picture size, the frame rate, and how many pictures there are.
 *
 * @param width the picture width in pixels
 * @param height the picture height in pixels
 * @param fps the frame rate in pictures per second
 * @param count the number of pictures, or -1 when not known in advance
 */
record PictureFormat(int width, int height, double fps, int count) {
  /** The same format at another frame rate. */
  PictureFormat withFps(double newFps) {
    return new PictureFormat(width, height, newFps, count);
  }
}
