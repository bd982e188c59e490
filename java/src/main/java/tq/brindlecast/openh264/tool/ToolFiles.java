package tq.brindlecast.openh264.tool;

import java.io.BufferedInputStream;
import java.io.FilterOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileSystemException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.NotDirectoryException;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.util.concurrent.ThreadLocalRandom;

/**
 * The tool's files: inputs ({@code -} for standard input) and outputs ({@code -} for standard
 * output). A file output is written to a temporary file in the target's folder and moved into
 * place only by {@link Output#commit()}, so a failed run leaves no file under the output name
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
   * Opens an output. Standard output takes the data at once (and the summary moves to standard
   * error); a device or pipe given by name is written directly; a file gets a temporary file
   * that {@link Output#commit()} moves into place.
   */
  static Output openOutput(String name, ToolOutput output) throws IOException {
    if (isStdout(name)) {
      OutputStream stdout = output.claimStdout();
      return new Output(name, null, new FilterOutputStream(stdout) {
        @Override
        public void write(byte[] b, int off, int len) throws IOException {
          out.write(b, off, len);
        }

        @Override
        public void close() throws IOException {
          flush(); // standard output stays open
        }
      });
    }
    Path target = Path.of(name);
    if (Files.isDirectory(target)) {
      throw new FileSystemException(name, null, "is a folder, not a file");
    }
    if (Files.exists(target) && !Files.isRegularFile(target)) {
      return new Output(name, null, Files.newOutputStream(target)); // e.g. /dev/null, a FIFO
    }
    Path folder = target.toAbsolutePath().getParent();
    if (!Files.isDirectory(folder)) {
      throw new NoSuchFileException(name, null, "no such folder " + folder);
    }
    while (true) {
      Path temporary = folder.resolve("." + target.getFileName() + "."
          + Long.toHexString(ThreadLocalRandom.current().nextLong() >>> 16) + ".part");
      try {
        return new Output(name, temporary, Files.newOutputStream(temporary,
            StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE));
      } catch (FileAlreadyExistsException taken) {
        continue;
      } catch (AccessDeniedException denied) {
        throw new AccessDeniedException(name, null,
            "permission denied: cannot write in the folder " + folder);
      } catch (FileSystemException refused) {
        throw new FileSystemException(name, null, "cannot write in the folder " + folder + ": "
            + (refused.getReason() != null
                ? refused.getReason()
                : refused instanceof NoSuchFileException ? "it takes no new files" : "refused"));
      }
    }
  }

  /** An output being written; closing it without a commit throws the partial data away. */
  static final class Output implements AutoCloseable {
    private final String name;
    private final Path temporary;
    private final OutputStream stream;
    private boolean done;

    private Output(String name, Path temporary, OutputStream stream) {
      this.name = name;
      this.temporary = temporary;
      this.stream = stream;
    }

    OutputStream stream() {
      return stream;
    }

    String name() {
      return name;
    }

    /**
     * The temporary file that {@link #commit()} moves into place, or null when the output is
     * written directly (standard output, a device, a pipe): a writer that must seek or replace
     * the file writes here instead of to {@link #stream()}.
     */
    Path temporary() {
      return temporary;
    }

    /** Finishes the output: flushes it and moves the complete file into place. */
    void commit() throws IOException {
      stream.close();
      done = true;
      if (temporary != null) {
        Files.move(temporary, Path.of(name), StandardCopyOption.REPLACE_EXISTING,
            StandardCopyOption.ATOMIC_MOVE);
      }
    }

    @Override
    public void close() throws IOException {
      if (done) {
        return;
      }
      done = true;
      try {
        stream.close();
      } finally {
        if (temporary != null) {
          Files.deleteIfExists(temporary);
        }
      }
    }
  }

  /** A failure with a file, in plain words: the path and what was wrong with it. */
  static String describe(IOException failure) {
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
