package tq.brindlecast.openh264;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.FileTime;
import java.time.Duration;
import java.time.Instant;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.stream.Stream;

/**
 * Finds and loads the native library, trying in order: the file named by the system property
 * {@value #PATH_PROPERTY}, the copy packed in the jar for this platform, then {@code
 * System.loadLibrary("tqh264bridge")}; then has it load OpenH264 (see {@link OpenH264Library}).
 *
 * <p>A copy extracted from the jar is deleted as soon as it is loaded where the platform allows
 * that (Linux, macOS); on Windows, where a loaded DLL cannot be deleted, copies left by earlier
 * runs are removed before a new one is extracted.
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
    loadOpenH264(
        System.getProperty(OpenH264Library.FILE_PROPERTY),
        System.getenv(OpenH264Library.FILE_ENVIRONMENT_VARIABLE));
    loaded = true;
  }

  /** Has the native library load OpenH264: the file the property or else the variable names. */
  static void loadOpenH264(String propertyFile, String environmentFile) {
    String named = null;
    String namedBy = null;
    if (propertyFile != null && !propertyFile.isEmpty()) {
      named = propertyFile;
      namedBy = "the system property " + OpenH264Library.FILE_PROPERTY;
    } else if (environmentFile != null && !environmentFile.isEmpty()) {
      named = environmentFile;
      namedBy = "the environment variable " + OpenH264Library.FILE_ENVIRONMENT_VARIABLE;
    }
    String report = Native.OpenH264TQLibraryLoad(named);
    if (report != null) {
      throw new UnsatisfiedLinkError(
          namedBy == null ? report : report + "\nThe file was named by " + namedBy + ".");
    }
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
    if (isWindows(platform)) {
      removeStaleCopies(tempFolder(), Instant.now());
    }
    try {
      Path extracted = extract(resources, resource);
      if (extracted == null) {
        attempts.add("jar resource " + resource + ": not in the jar");
      } else {
        try {
          loader.loadFile(extracted.toString());
        } finally {
          if (!isWindows(platform)) {
            // Loaded (or not loadable): the process keeps its mapping, the folder keeps nothing.
            deleteQuietly(extracted);
          }
        }
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

  private static void deleteQuietly(Path file) {
    try {
      Files.deleteIfExists(file);
    } catch (IOException leftForLater) {
      // Not worth failing a load that worked.
    }
  }

  private static boolean isWindows(String platform) {
    return platform.startsWith("windows-");
  }

  private static Path tempFolder() {
    return Path.of(System.getProperty("java.io.tmpdir"));
  }

  /** How old an extracted copy must be before it counts as left behind by a finished run. */
  static final Duration STALE_AFTER = Duration.ofMinutes(1);

  /**
   * Deletes copies of the library that earlier runs extracted into {@code folder} and could not
   * delete. A copy that a running process has loaded cannot be deleted on Windows and stays; one
   * younger than {@link #STALE_AFTER} may be about to be loaded by another process and stays too.
   *
   * @return how many copies were deleted
   */
  static int removeStaleCopies(Path folder, Instant now) {
    String suffix = "-" + System.mapLibraryName("x");
    int removed = 0;
    try (Stream<Path> files = Files.list(folder)) {
      for (Path file : (Iterable<Path>) files::iterator) {
        String name = file.getFileName().toString();
        if (!name.startsWith(LIBRARY_NAME + "-") || !name.endsWith(suffix)) {
          continue;
        }
        try {
          FileTime modified = Files.getLastModifiedTime(file);
          if (modified.toInstant().isBefore(now.minus(STALE_AFTER)) && Files.deleteIfExists(file)) {
            removed++;
          }
        } catch (IOException inUseOrGone) {
          // Loaded by a running process, or removed by another one meanwhile.
        }
      }
    } catch (IOException | RuntimeException unreadable) {
      // Cleaning up is a courtesy; loading goes on without it.
    }
    return removed;
  }

  static String failureText(List<String> attempts) {
    StringBuilder text = new StringBuilder("Could not load the native library " + LIBRARY_NAME);
    text.append(". Tried:");
    for (int i = 0; i < attempts.size(); i++) {
      text.append("\n  ").append(i + 1).append(". ").append(attempts.get(i));
    }
    text.append(
        "\nThe library then loads OpenH264, any release from 1.7.0 to 2.6.x (on Debian: the"
            + " package libopenh264-7; elsewhere OpenH264's own binary, named with the system"
            + " property "
            + OpenH264Library.FILE_PROPERTY
            + " or found beside the library).");
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
