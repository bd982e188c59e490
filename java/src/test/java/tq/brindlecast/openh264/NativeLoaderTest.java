package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayInputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.FileTime;
import java.time.Duration;
import java.time.Instant;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

@Tag("release-matrix")
class NativeLoaderTest {
  /** Records what it is asked to load and fails on request. */
  private static final class FakeLoader implements NativeLoader.Loader {
    final List<String> attempts = new ArrayList<>();
    final List<String> seenAtLoad = new ArrayList<>();
    boolean fileFails;
    boolean libraryFails;

    @Override
    public void loadFile(String absolutePath) {
      attempts.add("file " + absolutePath);
      Path file = Path.of(absolutePath);
      try {
        boolean ownerOnly =
            Files.exists(file)
                && Files.getPosixFilePermissions(file).stream()
                    .allMatch(permission -> permission.name().startsWith("OWNER"));
        seenAtLoad.add(
            Files.exists(file) ? Files.size(file) + " bytes, owner only " + ownerOnly : "missing");
      } catch (java.io.IOException e) {
        throw new AssertionError(e);
      }
      if (fileFails) {
        throw new UnsatisfiedLinkError("cannot open " + absolutePath);
      }
    }

    @Override
    public void loadLibrary(String name) {
      attempts.add("library " + name);
      if (libraryFails) {
        throw new UnsatisfiedLinkError("no " + name + " in java.library.path");
      }
    }
  }

  @Test
  void propertyPathComesFirst() {
    FakeLoader loader = new FakeLoader();
    String used =
        NativeLoader.load(
            "/opt/lib/libtqh264bridge.so", loader, path -> null, "linux-x86_64");
    assertEquals("file /opt/lib/libtqh264bridge.so", used);
    assertEquals(List.of("file /opt/lib/libtqh264bridge.so"), loader.attempts);
  }

  @Test
  void jarCopyIsExtractedToAPrivateFileAndLeavesNothingBehindWhereThePlatformAllows()
      throws Exception {
    // Windows cannot delete a loaded DLL: its copy stays, for a later run to remove.
    for (String platform : List.of("linux-x86_64", "macos-aarch64", "windows-x86_64")) {
      FakeLoader loader = new FakeLoader();
      List<String> opened = new ArrayList<>();
      String used =
          NativeLoader.load(
              null,
              loader,
              path -> {
                opened.add(path);
                return new ByteArrayInputStream(new byte[] {1, 2, 3});
              },
              platform);
      String resource = NativeLoader.resourcePath(platform);
      assertEquals("jar resource " + resource, used);
      assertEquals(List.of(resource), opened);
      assertEquals(List.of("3 bytes, owner only true"), loader.seenAtLoad,
          "only the owner may read the extracted library, " + platform);
      Path extracted = Path.of(loader.attempts.get(0).substring("file ".length()));
      assertEquals(platform.startsWith("windows"), Files.exists(extracted), platform);
      Files.deleteIfExists(extracted);
    }
  }

  @Test
  void staleCopiesOfFinishedRunsAreRemovedAndRecentOnesKept(@TempDir Path folder)
      throws Exception {
    String suffix = "-" + System.mapLibraryName("x");
    Instant now = Instant.now();
    Path stale = Files.createFile(folder.resolve("tqh264bridge-1" + suffix));
    Files.setLastModifiedTime(stale, FileTime.from(now.minus(Duration.ofHours(2))));
    Path recent = Files.createFile(folder.resolve("tqh264bridge-2" + suffix));
    Path other = Files.createFile(folder.resolve("other-3" + suffix));
    Files.setLastModifiedTime(other, FileTime.from(now.minus(Duration.ofHours(2))));
    assertEquals(1, NativeLoader.removeStaleCopies(folder, now));
    assertEquals(List.of(false, true, true),
        List.of(Files.exists(stale), Files.exists(recent), Files.exists(other)));
  }

  @Test
  void failureListsEveryAttemptAndNamesTheOpenH264Runtime() {
    FakeLoader loader = new FakeLoader();
    loader.fileFails = true;
    loader.libraryFails = true;
    UnsatisfiedLinkError error =
        assertThrows(
            UnsatisfiedLinkError.class,
            () -> NativeLoader.load("/missing/lib.so", loader, path -> null, "linux-x86_64"));
    String text = error.getMessage();
    assertTrue(text.contains("1. property tq.brindlecast.openh264.library=/missing/lib.so"), text);
    assertTrue(text.contains("cannot open /missing/lib.so"), text);
    assertTrue(text.contains("2. jar resource /native/linux-x86_64/libtqh264bridge.so"), text);
    assertTrue(text.contains("3. System.loadLibrary(\"tqh264bridge\")"), text);
    assertTrue(text.contains("libopenh264-7"), text);
    assertTrue(text.contains(OpenH264Library.FILE_PROPERTY), text);
    assertEquals(
        List.of("file /missing/lib.so", "library tqh264bridge"), loader.attempts);
  }

  @Test
  void theOpenH264TheUserNamesIsTheOneLoaded() throws Exception {
    String property = System.getProperty(OpenH264Library.FILE_PROPERTY);
    String variable = System.getenv(OpenH264Library.FILE_ENVIRONMENT_VARIABLE);
    String named = property != null && !property.isEmpty() ? property : variable;
    Path loaded = Path.of(OpenH264Library.file()).toRealPath();
    if (named != null && !named.isEmpty()) {
      assertEquals(Path.of(named).toRealPath(), loaded);
    }
    assertTrue(OpenH264Library.release().matches("(1\\.[78]|2\\.[0-6])\\.\\d+"),
        OpenH264Library.release() + " from " + loaded);
  }

  @Test
  void platformNamesFollowTheOsAndArchitecture() {
    assertEquals("linux-x86_64", NativeLoader.platform("Linux", "amd64"));
    assertEquals("windows-x86_64", NativeLoader.platform("Windows 10", "amd64"));
    assertEquals("macos-x86_64", NativeLoader.platform("Mac OS X", "x86_64"));
    assertEquals("macos-aarch64", NativeLoader.platform("Mac OS X", "aarch64"));
  }
}
