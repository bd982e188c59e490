package tq.brindlecast.openh264.tool;

import java.io.BufferedInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileSystemException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.NotDirectoryException;
import java.nio.file.Path;
import tq.brindlecast.openh264.io.AtomicFile;

/**
 * The tool's files: inputs ({@code -} for standard input) and outputs ({@code -} for standard
 * output). A file output is an {@link AtomicFile}, moved into place only by {@link
 * Output#commit()}, so a failed run leaves no file under the output name
 * and an existing file there untouched. An output that is the same file as an input is refused.
 */
final class ToolFiles {
  /** The name that stands for standard input or standard output. */
  static final String STDIO = "-";

  private ToolFiles() {}

  /** Opens an input for reading, buffered and with mark support. */
  static InputStream openInput(String name, ToolOutput output) throws IOException {
    if (name.equals(STDIO)) {
      return new BufferedInputStream(output.in(), 1 << 16);
    }
    Path file = Path.of(name);
    if (Files.isDirectory(file)) {
      throw new FileSystemException(name, null, "is a folder, not a file");
    }
    return new BufferedInputStream(Files.newInputStream(file), 1 << 16);
  }

  /**
   * Refuses an output that is the same file as one of the inputs (links count too).
   *
   * @throws UsageException if it is
   */
  static void checkDistinct(String outputName, String... inputNames) throws UsageException {
    if (outputName == null || outputName.equals(STDIO)) {
      return;
    }
    Path target = Path.of(outputName);
    boolean exists = Files.exists(target);
    for (String input : inputNames) {
      if (input == null) {
        continue;
      }
      Path source = Path.of(input.equals(STDIO) ? "/dev/stdin" : input);
      try {
        // Two outputs of one run may both be new files: compare their names too.
        boolean sameName = !input.equals(STDIO)
            && source.toAbsolutePath().normalize().equals(target.toAbsolutePath().normalize());
        if (sameName
            || (exists && Files.exists(source) && Files.isSameFile(target, source))) {
          throw new UsageException(
              "--output " + outputName + " is the same file as the input "
                  + (input.equals(STDIO) ? "(standard input)" : input)
                  + "; writing it would destroy the input");
        }
      } catch (IOException cannotTell) {
        // Unreadable paths are reported when they are opened.
      }
    }
  }

  /** Tells whether writing to this name sends the data to the tool's standard output. */
  static boolean isStdout(String name) {
    if (name.equals(STDIO) || name.equals("/dev/stdout")) {
      return true;
    }
    try {
      Path target = Path.of(name);
      return Files.exists(target) && !Files.isRegularFile(target)
          && Files.isSameFile(target, Path.of("/dev/stdout"));
    } catch (IOException | UnsupportedOperationException cannotTell) {
      return false;
    }
  }

  /**
   * Tells whether an output of this name is written as it comes: standard output, or an existing
   * device or pipe. Any other name is a file, completed beside its target and moved into place.
   */
  static boolean isDirect(String name) {
    if (isStdout(name)) {
      return true;
    }
    Path target = Path.of(name);
    return Files.exists(target) && !Files.isRegularFile(target) && !Files.isDirectory(target);
  }

  /**
   * Opens an output. Standard output takes the data at once (and the summary moves to standard
   * error); a device or pipe given by name is written directly; a file is an {@link AtomicFile}
   * that {@link Output#commit()} moves into place.
   */
  static Output openOutput(String name, ToolOutput output) throws IOException {
    if (isStdout(name)) {
      return new Output(null, output.claimStdout()); // closing it leaves stdout open
    }
    if (isDirect(name)) {
      return new Output(null, Files.newOutputStream(Path.of(name))); // e.g. /dev/null, a FIFO
    }
    AtomicFile file = AtomicFile.create(Path.of(name));
    return new Output(file, file.stream());
  }

  /** An output being written; closing it without a commit throws the partial data away. */
  static final class Output implements AutoCloseable {
    private final AtomicFile file;
    private final OutputStream stream;
    private boolean done;

    private Output(AtomicFile file, OutputStream stream) {
      this.file = file;
      this.stream = stream;
    }

    OutputStream stream() {
      return stream;
    }

    /** Finishes the output: flushes it and moves a file into place. */
    void commit() throws IOException {
      done = true;
      if (file == null) {
        stream.close();
        return;
      }
      try {
        stream.close();
      } catch (IOException failure) {
        file.abort();
        throw failure;
      }
      file.commit();
    }

    @Override
    public void close() throws IOException {
      if (done) {
        return;
      }
      done = true;
      if (file != null) {
        file.abort();
      } else {
        stream.close();
      }
    }
  }

  /** A failure with a file, in plain words: the path and what was wrong with it. */
  static String describe(IOException failure) {
    // ImageIO's "I/O error writing PNG file!" hides the reason. By name: java.desktop is
    // optional, and the other commands run without it.
    if (failure.getClass().getName().equals("javax.imageio.IIOException")
        && failure.getCause() instanceof IOException cause) {
      return describe(cause);
    }
    if (failure instanceof NoSuchFileException missing) {
      String reason = missing.getReason();
      if (reason != null && reason.startsWith("no such folder")) {
        return missing.getFile() + ": " + reason;
      }
      Path path = Path.of(missing.getFile()).toAbsolutePath().getParent();
      return missing.getFile() + ": "
          + (path != null && !Files.isDirectory(path) ? "no such folder " + path : "no such file");
    }
    if (failure instanceof AccessDeniedException denied) {
      return denied.getFile() + ": "
          + (denied.getReason() != null ? denied.getReason() : "permission denied");
    }
    if (failure instanceof NotDirectoryException notFolder) {
      return notFolder.getFile() + ": a part of the path is not a folder";
    }
    if (failure instanceof FileSystemException other && other.getFile() != null) {
      String reason = other.getReason();
      if (reason != null && reason.equalsIgnoreCase("Is a directory")) {
        reason = "is a folder, not a file";
      }
      return other.getFile() + ": " + (reason != null ? reason : other.getClass().getSimpleName());
    }
    return failure.getMessage();
  }
}
