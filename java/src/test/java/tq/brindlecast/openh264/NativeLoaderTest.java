package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayInputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;

class NativeLoaderTest {
  /** Records what it is asked to load and fails on request. */
  private static final class FakeLoader implements NativeLoader.Loader {
    final List<String> attempts = new ArrayList<>();
    boolean fileFails;
    boolean libraryFails;

    @Override
    public void loadFile(String absolutePath) {
      attempts.add("file " + absolutePath);
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
  void jarCopyIsExtractedToAPrivateFileWhenNoPropertyIsSet() throws Exception {
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
            "linux-x86_64");
    assertEquals("jar resource /native/linux-x86_64/libtqh264bridge.so", used);
    assertEquals(List.of("/native/linux-x86_64/libtqh264bridge.so"), opened);
    Path extracted = Path.of(loader.attempts.get(0).substring("file ".length()));
    assertEquals(3, Files.size(extracted));
    assertTrue(
        Files.getPosixFilePermissions(extracted).stream()
            .allMatch(permission -> permission.name().startsWith("OWNER")),
        "only the owner may read the extracted library");
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
    assertEquals(
        List.of("file /missing/lib.so", "library tqh264bridge"), loader.attempts);
  }

  @Test
  void platformNamesFollowTheOsAndArchitecture() {
    assertEquals("linux-x86_64", NativeLoader.platform("Linux", "amd64"));
    assertEquals("windows-x86_64", NativeLoader.platform("Windows 10", "amd64"));
    assertEquals("macos-x86_64", NativeLoader.platform("Mac OS X", "x86_64"));
    assertEquals("macos-aarch64", NativeLoader.platform("Mac OS X", "aarch64"));
  }
}
