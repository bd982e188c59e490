package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.Locale;
import tq.brindlecast.openh264.CodecException;
import tq.brindlecast.openh264.OpenH264Library;

/**
 * The command-line tool: {@code java -jar tqh264bridge.jar encode|decode|roundtrip|grab|info
 * [OPTIONS]}.
 * Exit status 0 on success, 2 on bad arguments (and an output that is an input), 1 on a failure
 * (an unreadable file, a stream that gives no picture, a codec failure). {@code -} names standard
 * input or standard output.
 */
public final class Main {
  /** Exit status of a run that did its job. */
  public static final int OK = 0;

  /** Exit status of a run that failed: an unreadable file, a codec failure. */
  public static final int FAILURE = 1;

  /** Exit status of a run with bad arguments. */
  public static final int USAGE = 2;

  static final String TOOL_USAGE =
      """
      Usage: java -jar tqh264bridge.jar COMMAND [OPTIONS]

      Options:
        --version  print the tool's version and the OpenH264 release and file it runs with

      Commands:
        encode     encode a Y4M or raw I420 file, or the built-in test pattern, to H.264
                   (Annex B) or MP4
        decode     decode an H.264 (Annex B) file or an MP4 file to a Y4M file
        roundtrip  encode, decode and report the PSNR against the source
        grab       write the picture an MP4 file shows at a time, or its n-th, as a PNG image,
                   or one every so many seconds as numbered PNG images
        info       describe an H.264 or MP4 file: codec, size, pictures, duration, frame rate

      Without an input file, encode and roundtrip use a moving test pattern (--size, --frames).
      '-' as INPUT reads standard input, as --output FILE writes standard output.
      Exit status: 0 success, 1 failure, 2 bad arguments.
      Run 'java -jar tqh264bridge.jar COMMAND --help' for the options of a command.
      """;

  private Main() {}

  /**
   * Runs the tool and exits with its status.
   *
   * @param args the command and its options
   */
  public static void main(String[] args) {
    System.exit(run(args, System.in, System.out, System.err, stderrIsTerminal()));
  }

  /**
   * Runs the tool without exiting, with standard input from {@link System#in}.
   *
   * @param args the command and its options
   * @param out where the summary goes (and the data, for {@code --output -})
   * @param err where progress, errors and usage go
   * @param progress whether to draw a progress line on {@code err}
   * @return the exit status: {@link #OK}, {@link #FAILURE} or {@link #USAGE}
   */
  public static int run(String[] args, PrintStream out, PrintStream err, boolean progress) {
    return run(args, System.in, out, err, progress);
  }

  /**
   * Runs the tool without exiting.
   *
   * @param args the command and its options
   * @param in where an input named {@code -} is read from
   * @param out where the summary goes; when the data goes to standard output ({@code --output
   *     -}), the data, and the summary goes to {@code err}
   * @param err where progress, warnings, errors and usage go
   * @param progress whether to draw a progress line on {@code err}
   * @return the exit status: {@link #OK}, {@link #FAILURE} or {@link #USAGE}
   */
  public static int run(
      String[] args, InputStream in, PrintStream out, PrintStream err, boolean progress) {
    ToolOutput output = new ToolOutput(in, out, err, progress);
    if (args.length == 0) {
      err.println("tqh264bridge: no command given");
      err.print(TOOL_USAGE);
      return USAGE;
    }
    String command = args[0];
    String[] rest = Arrays.copyOfRange(args, 1, args.length);
    if (command.equals("--version")) {
      return version(out, err);
    }
    String usage =
        switch (command) {
          case "encode" -> EncodeCommand.USAGE;
          case "decode" -> DecodeCommand.USAGE;
          case "roundtrip" -> RoundtripCommand.USAGE;
          case "grab" -> GrabCommand.USAGE;
          case "info" -> InfoCommand.USAGE;
          case "--help", "-h", "help" -> {
            out.print(TOOL_USAGE);
            yield null;
          }
          default -> "";
        };
    if (usage == null) {
      return OK;
    }
    if (usage.isEmpty()) {
      err.println("tqh264bridge: unknown command '" + command + "'");
      err.print(TOOL_USAGE);
      return USAGE;
    }
    if (Arrays.asList(rest).contains("--help") || Arrays.asList(rest).contains("-h")) {
      out.print(usage);
      return OK;
    }
    try {
      return switch (command) {
        case "encode" -> EncodeCommand.run(rest, output);
        case "decode" -> DecodeCommand.run(rest, output);
        case "grab" -> GrabCommand.run(rest, output);
        case "info" -> InfoCommand.run(rest, output);
        default -> RoundtripCommand.run(rest, output);
      };
    } catch (UsageException badArguments) {
      err.println("tqh264bridge " + command + ": " + badArguments.getMessage());
      err.print(usage);
      return USAGE;
    } catch (IOException failure) {
      err.println("error: " + ToolFiles.describe(failure));
      return FAILURE;
    } catch (UncheckedIOException failure) {
      err.println("error: " + ToolFiles.describe(failure.getCause()));
      return FAILURE;
    } catch (CodecException failure) {
      err.println("error: " + failure.getMessage());
      return FAILURE;
    } catch (IllegalArgumentException | IllegalStateException refused) {
      // The API refused what the input holds, e.g. a picture smaller than the encoder takes.
      err.println("error: " + refused.getMessage());
      return FAILURE;
    } catch (UnsatisfiedLinkError noLibrary) {
      err.println("error: " + noLibrary.getMessage());
      return FAILURE;
    } catch (OutOfMemoryError exhausted) {
      // The readers bound what a file can make them hold; this is the last line, not the rule.
      err.println("error: the input needs more memory than Java was given (" + (Runtime.getRuntime()
          .maxMemory() >> 20) + " MiB); give more with -Xmx, or check the input is not damaged");
      return FAILURE;
    }
  }

  /** {@code --version}: this tool, and the OpenH264 it runs with or why none loads. */
  private static int version(PrintStream out, PrintStream err) {
    String version = Main.class.getPackage().getImplementationVersion();
    out.println("tqh264bridge" + (version == null ? "" : " " + version));
    try {
      out.println(openH264());
      return OK;
    } catch (LinkageError noLibrary) {
      err.println("error: " + noLibrary.getMessage());
      return FAILURE;
    }
  }

  /**
   * The OpenH264 the codecs run with, e.g. "OpenH264 2.6.0 from /usr/lib/libopenh264.so.8".
   *
   * @throws LinkageError when the native library or OpenH264 cannot be loaded
   */
  static String openH264() {
    return "OpenH264 " + OpenH264Library.release() + " from " + OpenH264Library.file();
  }

  /** A time for the summary and messages, always one way: "2.500 s". */
  static String seconds(double value) {
    return String.format(Locale.ROOT, "%.3f s", value);
  }

  /** A frame rate for the summary: whole numbers without decimals. */
  static String number(double value) {
    return value == Math.rint(value)
        ? Long.toString((long) value)
        : String.format(Locale.ROOT, "%.3f", value);
  }

  /** Tells whether standard error is a terminal (on Linux through /proc; else by the console). */
  static boolean stderrIsTerminal() {
    try {
      String target = Files.readSymbolicLink(Path.of("/proc/self/fd/2")).toString();
      return target.startsWith("/dev/pts/") || target.startsWith("/dev/tty");
    } catch (IOException | UnsupportedOperationException | SecurityException notLinux) {
      return System.console() != null;
    }
  }
}
