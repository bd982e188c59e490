package tq.brindlecast.openh264;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/**
 * Finds and loads the native library, trying in order: the file named by the system property
 * {@value #PATH_PROPERTY}, the copy packed in the jar for this platform, then {@code
 * System.loadLibrary("tqh264bridge")}.
 */
final class NativeLoader {
  /** System property naming the native library file to load. */
  static final String PATH_PROPERTY = "tq.brindlecast.openh264.library";

  static final String LIBRARY_NAME = "tqh264bridge";

  /** How a library file or name is loaded; replaced in tests. */
  interface Loader {
    void loadFile(String absolutePath);

    void loadLibrary(String name);
  }

  /** Where packed resources come from; replaced in tests. */
  interface Resources {
    InputStream open(String path);
  }

  private static final Loader SYSTEM_LOADER =
      new Loader() {
        @Override
        public void loadFile(String absolutePath) {
          System.load(absolutePath);
        }

        @Override
        public void loadLibrary(String name) {
          System.loadLibrary(name);
        }
      };

  private static boolean loaded;

  private NativeLoader() {}

  static synchronized void load() {
    if (loaded) {
      return;
    }
    load(
        System.getProperty(PATH_PROPERTY),
        SYSTEM_LOADER,
        path -> NativeLoader.class.getResourceAsStream(path),
        platform(System.getProperty("os.name"), System.getProperty("os.arch")));
    loaded = true;
  }

  /** Tries each source in turn; returns a description of the one that worked. */
  static String load(String overridePath, Loader loader, Resources resources, String platform) {
    List<String> attempts = new ArrayList<>();
    if (overridePath != null && !overridePath.isEmpty()) {
      String absolute = new File(overridePath).getAbsolutePath();
      try {
        loader.loadFile(absolute);
        return "file " + absolute;
      } catch (Throwable failure) {
        attempts.add("property " + PATH_PROPERTY + "=" + absolute + ": " + reason(failure));
      }
    } else {
      attempts.add("property " + PATH_PROPERTY + ": not set");
    }
    String resource = resourcePath(platform);
    try {
      Path extracted = extract(resources, resource);
      if (extracted == null) {
        attempts.add("jar resource " + resource + ": not in the jar");
      } else {
        loader.loadFile(extracted.toString());
        return "jar resource " + resource;
      }
    } catch (Throwable failure) {
      attempts.add("jar resource " + resource + ": " + reason(failure));
    }
    try {
      loader.loadLibrary(LIBRARY_NAME);
      return "library path";
    } catch (Throwable failure) {
      attempts.add(
          "System.loadLibrary(\"" + LIBRARY_NAME + "\") on java.library.path: " + reason(failure));
    }
    throw new UnsatisfiedLinkError(failureText(attempts));
  }

  static String failureText(List<String> attempts) {
    StringBuilder text = new StringBuilder("Could not load the native library " + LIBRARY_NAME);
    text.append(". Tried:");
    for (int i = 0; i < attempts.size(); i++) {
      text.append("\n  ").append(i + 1).append(". ").append(attempts.get(i));
    }
    text.append(
        "\nThe library also needs the OpenH264 runtime (on Debian: the package libopenh264-7;"
            + " on Windows and macOS: openh264-1.7.0 next to the library).");
    return text.toString();
  }

  /** The resource path of the packed library, e.g. native/linux-x86_64/libtqh264bridge.so. */
  static String resourcePath(String platform) {
    return "/native/" + platform + "/" + System.mapLibraryName(LIBRARY_NAME);
  }

  /** The platform folder name for an os.name and os.arch pair, e.g. linux-x86_64. */
  static String platform(String osName, String osArch) {
    String os = osName == null ? "" : osName.toLowerCase(Locale.ROOT);
    String osPart;
    if (os.startsWith("windows")) {
      osPart = "windows";
    } else if (os.startsWith("mac") || os.startsWith("darwin")) {
      osPart = "macos";
    } else if (os.startsWith("linux")) {
      osPart = "linux";
    } else {
      osPart = os.replaceAll("[^a-z0-9]", "");
    }
    String arch = osArch == null ? "" : osArch.toLowerCase(Locale.ROOT);
    String archPart;
    if (arch.equals("amd64") || arch.equals("x86_64") || arch.equals("x64")) {
      archPart = "x86_64";
    } else if (arch.equals("aarch64") || arch.equals("arm64")) {
      archPart = "aarch64";
    } else {
      archPart = arch.replaceAll("[^a-z0-9_]", "");
    }
    return osPart + "-" + archPart;
  }

  private static Path extract(Resources resources, String resource) throws IOException {
    try (InputStream in = resources.open(resource)) {
      if (in == null) {
        return null;
      }
      // createTempFile makes the file readable by its owner only.
      Path file = Files.createTempFile(LIBRARY_NAME + "-", "-" + System.mapLibraryName("x"));
      file.toFile().deleteOnExit();
      // Written in place: replacing the file would lose its permissions.
      try (OutputStream out = Files.newOutputStream(file)) {
        in.transferTo(out);
      }
      return file;
    }
  }

  private static String reason(Throwable failure) {
    String message = failure.getMessage();
    return failure.getClass().getSimpleName() + (message == null ? "" : ": " + message);
  }
}
