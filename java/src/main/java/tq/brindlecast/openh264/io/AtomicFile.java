package tq.brindlecast.openh264.io;

import java.io.Closeable;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.channels.Channels;
import java.nio.channels.FileChannel;
import java.nio.file.AccessDeniedException;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileSystemException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.util.Objects;
import java.util.concurrent.ThreadLocalRandom;

/**
 * An output file written whole or not at all: the data goes to a hidden temporary file beside
 * the target, and {@link #commit()} moves it into place (atomically where the file system
 * allows), so until then a file already at the target stays as it was. {@link #abort()}, or
 * {@link #close()} without a commit, removes the temporary file, as does the JVM's shutdown on
 * SIGTERM or SIGINT.
 *
 * <ul>
 *   <li>The file gets the permissions of any new file under the process's umask, whether or not
 *       one existed before.
 *   <li>A target that is a symbolic link is followed: the file it names is replaced and the link
 *       stays.
 *   <li>Errors name the target as the caller gave it, never the temporary file.
 * </ul>
 */
public final class AtomicFile implements Closeable {
  private static final int MAX_LINKS = 40;

  private final String name;
  private final Path destination;
  private final Path temporary;
  private final FileChannel channel;
  private boolean done;

  private AtomicFile(String name, Path destination, Path temporary, FileChannel channel) {
    this.name = name;
    this.destination = destination;
    this.temporary = temporary;
    this.channel = channel;
  }

  /**
   * Starts writing a file.
   *
   * @param target the file to create or replace once complete
   * @return the file being written
   * @throws IOException naming {@code target} if its folder is missing or takes no new file, or
   *     it is a folder
   */
  public static AtomicFile create(Path target) throws IOException {
    Objects.requireNonNull(target, "target must not be null");
    String name = target.toString();
    Path destination = followLinks(target, name);
    if (Files.isDirectory(destination)) {
      throw new FileSystemException(name, null, "is a folder, not a file");
    }
    Path folder = destination.toAbsolutePath().getParent();
    if (!Files.isDirectory(folder)) {
      throw new NoSuchFileException(name, null, "no such folder " + folder);
    }
    while (true) {
      Path temporary = folder.resolve("." + destination.getFileName() + "."
          + Long.toHexString(ThreadLocalRandom.current().nextLong() >>> 16) + ".part");
      TemporaryFiles.deleteOnExit(temporary);
      try {
        // No attributes: the file gets 0666 less the umask, as any new file.
        FileChannel channel = FileChannel.open(temporary, StandardOpenOption.CREATE_NEW,
            StandardOpenOption.WRITE, StandardOpenOption.READ);
        return new AtomicFile(name, destination, temporary, channel);
      } catch (FileAlreadyExistsException taken) {
        continue;
      } catch (AccessDeniedException denied) {
        TemporaryFiles.forget(temporary);
        throw new AccessDeniedException(name, null,
            "permission denied: cannot write in the folder " + folder);
      } catch (FileSystemException refused) {
        TemporaryFiles.forget(temporary);
        throw new FileSystemException(name, null, "cannot write in the folder " + folder + ": "
            + (refused.getReason() != null
                ? refused.getReason()
                : refused instanceof NoSuchFileException ? "it takes no new files" : "refused"));
      } catch (IOException | RuntimeException failure) {
        TemporaryFiles.forget(temporary);
        throw failure;
      }
    }
  }

  /** The file a chain of symbolic links ends at, which need not exist yet. */
  private static Path followLinks(Path target, String name) throws IOException {
    Path path = target.toAbsolutePath();
    for (int links = 0; Files.isSymbolicLink(path); links++) {
      if (links == MAX_LINKS) {
        throw new FileSystemException(name, null, "too many levels of symbolic links");
      }
      path = path.getParent().resolve(Files.readSymbolicLink(path)).normalize();
    }
    return path;
  }

  /**
   * {@return the channel to write (and, e.g. to move data within the file, read) the content
   * with}
   */
  public FileChannel channel() {
    return channel;
  }

  /** {@return a stream onto {@link #channel()}, unbuffered; closing it closes the channel} */
  public OutputStream stream() {
    return Channels.newOutputStream(channel);
  }

  /** {@return the target as the caller named it, for messages} */
  public String name() {
    return name;
  }

  /**
   * Completes the file: closes the channel and moves the temporary file over the target.
   *
   * @throws IOException naming the target if the move fails; the temporary file is gone then
   * @throws IllegalStateException if the file was committed or aborted already
   */
  public void commit() throws IOException {
    if (done) {
      throw new IllegalStateException(name + " was committed or aborted already");
    }
    try {
      channel.close();
      try {
        Files.move(temporary, destination, StandardCopyOption.REPLACE_EXISTING,
            StandardCopyOption.ATOMIC_MOVE);
      } catch (AtomicMoveNotSupportedException notAtomic) {
        Files.move(temporary, destination, StandardCopyOption.REPLACE_EXISTING);
      }
      done = true;
      TemporaryFiles.forget(temporary);
    } catch (IOException failure) {
      abort();
      throw failure instanceof FileSystemException fs && temporary.toString().equals(fs.getFile())
          ? new FileSystemException(name, null, fs.getReason() != null ? fs.getReason()
              : "cannot be written: " + failure)
          : failure;
    }
  }

  /** Gives up: closes the channel and removes the temporary file. Does nothing once done. */
  public void abort() {
    if (done) {
      return;
    }
    done = true;
    try {
      channel.close();
    } catch (IOException ignored) {
      // The file goes either way.
    }
    TemporaryFiles.delete(temporary);
  }

  /** {@link #abort()} unless {@link #commit()} came first. */
  @Override
  public void close() {
    abort();
  }
}
