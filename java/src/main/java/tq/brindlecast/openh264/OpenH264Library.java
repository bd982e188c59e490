package tq.brindlecast.openh264;

/**
 * The OpenH264 library the codecs run with. It is loaded at run time with the native library:
 * the file named by the system property {@value #FILE_PROPERTY} or, when that is not set, the
 * environment variable {@value #FILE_ENVIRONMENT_VARIABLE}; otherwise the newest supported release
 * found under OpenH264's own binary names beside the native library and on the library search
 * path, then the distributions' names ({@code libopenh264.so.8} down to {@code .so.4}). Releases
 * 1.7.0 to 2.6.x are supported.
 */
public final class OpenH264Library {
  /** System property naming the OpenH264 library file to load; it wins over the variable. */
  public static final String FILE_PROPERTY = "tq.brindlecast.openh264.openh264.library";

  /** Environment variable naming the OpenH264 library file to load. */
  public static final String FILE_ENVIRONMENT_VARIABLE = "TQ_OPENH264_LIBRARY";

  private OpenH264Library() {}

  /**
   * The release loaded.
   *
   * @return the release, e.g. "2.6.0"
   * @throws UnsatisfiedLinkError if no OpenH264 could be loaded
   */
  public static String release() {
    return Native.OpenH264TQLibraryRelease();
  }

  /**
   * The file the loaded OpenH264 came from.
   *
   * @return the file's path as the platform's loader reports it
   * @throws UnsatisfiedLinkError if no OpenH264 could be loaded
   */
  public static String file() {
    return Native.OpenH264TQLibraryFile();
  }
}
