package tq.brindlecast.openh264.tool;

import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;

/**
 * The parsed arguments of one command: {@code --name value} (or {@code --name=value}) options,
 * {@code --flag} switches and positional arguments. Every accessor checks the value it reads and
 * throws {@link UsageException} naming the option and the rule.
 */
final class Options {
  /** A picture size given as {@code WxH}. */
  record Size(int width, int height) {
    @Override
    public String toString() {
      return width + "x" + height;
    }
  }

  private final Map<String, String> values;
  private final Set<String> flags;
  private final List<String> positional;

  private Options(Map<String, String> values, Set<String> flags, List<String> positional) {
    this.values = values;
    this.flags = flags;
    this.positional = positional;
  }

  /**
   * Parses arguments.
   *
   * @param args the arguments after the command name
   * @param valueNames the options that take a value, without the leading dashes
   * @param flagNames the switches, without the leading dashes
   * @param maxPositional how many positional arguments are allowed
   */
  static Options parse(String[] args, Set<String> valueNames, Set<String> flagNames,
      int maxPositional) throws UsageException {
    Map<String, String> values = new HashMap<>();
    Set<String> flags = new java.util.HashSet<>();
    List<String> positional = new ArrayList<>();
    for (int i = 0; i < args.length; i++) {
      String arg = args[i];
      if (!arg.startsWith("--") || arg.equals("--")) {
        if (arg.startsWith("-") && arg.length() > 1) {
          throw new UsageException("unknown option " + arg);
        }
        positional.add(arg);
        continue;
      }
      String name = arg.substring(2);
      String value = null;
      int equals = name.indexOf('=');
      if (equals >= 0) {
        value = name.substring(equals + 1);
        name = name.substring(0, equals);
      }
      if (flagNames.contains(name)) {
        if (value != null) {
          throw new UsageException("--" + name + " takes no value");
        }
        flags.add(name);
      } else if (valueNames.contains(name)) {
        if (value == null) {
          if (i + 1 >= args.length) {
            throw new UsageException("--" + name + " needs a value");
          }
          value = args[++i];
        }
        if (values.put(name, value) != null) {
          throw new UsageException("--" + name + " is given more than once");
        }
      } else {
        throw new UsageException("unknown option --" + name);
      }
    }
    if (positional.size() > maxPositional) {
      throw new UsageException(
          maxPositional == 0
              ? "unexpected argument " + positional.get(0)
              : "too many arguments: " + String.join(" ", positional));
    }
    return new Options(values, flags, positional);
  }

  /** Returns true when the switch was given. */
  boolean flag(String name) {
    return flags.contains(name);
  }

  /** Returns true when the option was given. */
  boolean has(String name) {
    return values.containsKey(name);
  }

  /** Returns the option's value, or null. */
  String string(String name) {
    return values.get(name);
  }

  /** Returns positional argument {@code index}, or null. */
  String positional(int index) {
    return index < positional.size() ? positional.get(index) : null;
  }

  /** Returns a whole number from {@code min} to {@code max}, or {@code fallback} when absent. */
  int integer(String name, int fallback, int min, int max) throws UsageException {
    String text = values.get(name);
    if (text == null) {
      return fallback;
    }
    try {
      int value = Integer.parseInt(text.trim());
      if (value >= min && value <= max) {
        return value;
      }
    } catch (NumberFormatException notANumber) {
      // reported below
    }
    throw new UsageException(
        "--" + name + " must be a whole number from " + min + " to " + max + ", was '" + text
            + "'");
  }

  /**
   * The smallest value {@link #positive} takes: one picture in 1000 s. Below it, times and rates
   * derived from the value no longer fit what streams and files can carry.
   */
  static final double MIN_POSITIVE = 0.001;

  /**
   * Returns a number from {@link #MIN_POSITIVE} to {@code max}, or {@code fallback} when absent.
   */
  double positive(String name, double fallback, double max) throws UsageException {
    String text = values.get(name);
    if (text == null) {
      return fallback;
    }
    try {
      double value = Double.parseDouble(text.trim());
      if (value >= MIN_POSITIVE && value <= max) {
        return value;
      }
    } catch (NumberFormatException notANumber) {
      // reported below
    }
    throw new UsageException(
        "--" + name + " must be a number above 0, from " + MIN_POSITIVE + " to " + (int) max
            + ", was '" + text + "'");
  }

  /**
   * Returns a frame rate from {@link #MIN_POSITIVE} to {@code max}, or {@code fallback} when absent: a
   * number or a fraction such as {@code 30000/1001}. A decimal that rounds an NTSC rate ({@code
   * 29.97}, {@code 23.976}, {@code 59.94}) means that rate exactly, n000/1001.
   */
  double rate(String name, double fallback, double max) throws UsageException {
    String text = values.get(name);
    if (text == null) {
      return fallback;
    }
    try {
      String[] parts = text.trim().split("/", -1);
      double value =
          parts.length == 2
              ? Double.parseDouble(parts[0].trim()) / Double.parseDouble(parts[1].trim())
              : parts.length == 1 ? ntscIfRounded(Double.parseDouble(parts[0])) : Double.NaN;
      if (value >= MIN_POSITIVE && value <= max) {
        return value;
      }
    } catch (NumberFormatException notANumber) {
      // reported below
    }
    throw new UsageException(
        "--" + name + " must be a number above 0, from " + MIN_POSITIVE + " to " + (int) max
            + ", was '" + text + "' (a fraction such as 30000/1001 works too)");
  }

  /** {@code 29.97} as 30000/1001: the NTSC rate n000/1001 within 0.005 of it, else the value. */
  static double ntscIfRounded(double value) {
    long whole = Math.round(value * 1.001);
    double ntsc = whole * 1000 / 1001.0;
    boolean isWhole = value == Math.rint(value);
    return !isWhole && whole > 0 && Math.abs(value - ntsc) < 0.005 ? ntsc : value;
  }

  /**
   * Returns a {@code WxH} size with both sides even and from {@code min} to 16384, or null when
   * absent.
   */
  Size size(String name, int min) throws UsageException {
    String text = values.get(name);
    if (text == null) {
      return null;
    }
    String[] parts = text.toLowerCase(Locale.ROOT).split("x", -1);
    if (parts.length == 2) {
      try {
        int width = Integer.parseInt(parts[0].trim());
        int height = Integer.parseInt(parts[1].trim());
        if (width >= min && height >= min && width <= 16384 && height <= 16384
            && width % 2 == 0 && height % 2 == 0) {
          return new Size(width, height);
        }
      } catch (NumberFormatException notANumber) {
        // reported below
      }
    }
    throw new UsageException(
        "--" + name + " must be WIDTHxHEIGHT with each side even and from " + min
            + " to 16384, was '" + text + "'");
  }

  /** Returns the choice named by the option's value, or {@code fallback} when absent. */
  <T> T choice(String name, Map<String, T> choices, T fallback) throws UsageException {
    String text = values.get(name);
    if (text == null) {
      return fallback;
    }
    T value = choices.get(text.toLowerCase(Locale.ROOT));
    if (value == null) {
      throw new UsageException(
          "--" + name + " must be one of " + String.join(", ", new java.util.TreeSet<>(choices.keySet()))
              + ", was '" + text + "'");
    }
    return value;
  }
}
