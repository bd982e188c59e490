import java.io.IOException;
import java.io.PrintWriter;
import java.io.StringWriter;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;
import java.util.TreeSet;
import java.util.spi.ToolProvider;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * Checks the package dependencies of the library's classes, as jdeps reads them from the jar,
 * against the layers file: usage {@code java check-java-layers.java <jar> <layers file>}. Fails
 * on a package the file does not list, a dependency it does not allow, and any cycle.
 */
public class CheckJavaLayers {
  private static final String LIBRARY = "tq.brindlecast.openh264";
  private static final Pattern EDGE =
      Pattern.compile("^\\s+(" + Pattern.quote(LIBRARY) + "\\S*)\\s+->\\s+(" + Pattern.quote(LIBRARY)
          + "\\S*)\\s");

  public static void main(String[] args) throws IOException {
    Map<String, Set<String>> allowed = readLayers(Path.of(args[1]));
    Map<String, Set<String>> uses = dependencies(Path.of(args[0]));
    List<String> problems = new ArrayList<>();
    for (Map.Entry<String, Set<String>> entry : uses.entrySet()) {
      String from = entry.getKey();
      if (!allowed.containsKey(from)) {
        problems.add(from + " is not listed in the layers file");
        continue;
      }
      for (String to : entry.getValue()) {
        if (!allowed.get(from).contains(to)) {
          problems.add(from + " uses " + to + ", which its layer may not use");
        }
      }
    }
    problems.addAll(cycles(uses));
    uses.forEach((from, to) -> System.out.println(from + " -> " + to));
    if (!problems.isEmpty()) {
      problems.forEach(problem -> System.out.println("FAIL: " + problem));
      System.exit(1);
    }
    System.out.println("packages and layers agree; no cycle");
  }

  /** Each package with the packages it may use; "package: other other ...". */
  static Map<String, Set<String>> readLayers(Path file) throws IOException {
    Map<String, Set<String>> allowed = new TreeMap<>();
    for (String line : Files.readAllLines(file)) {
      line = line.strip();
      if (line.isEmpty() || line.startsWith("#")) {
        continue;
      }
      int colon = line.indexOf(':');
      Set<String> targets = new TreeSet<>(List.of(line.substring(colon + 1).strip().split("\\s+")));
      targets.remove("");
      allowed.put(line.substring(0, colon).strip(), targets);
    }
    return allowed;
  }

  /** The library's packages in the jar, each with the other library packages it uses. */
  static Map<String, Set<String>> dependencies(Path jar) {
    ToolProvider jdeps = ToolProvider.findFirst("jdeps").orElseThrow();
    StringWriter out = new StringWriter();
    int status =
        jdeps.run(new PrintWriter(out), new PrintWriter(System.err), "-verbose:package",
            "-filter:none", "-e", Pattern.quote(LIBRARY) + ".*", jar.toString());
    if (status != 0) {
      throw new IllegalStateException("jdeps failed with status " + status);
    }
    Map<String, Set<String>> uses = new TreeMap<>();
    for (String line : out.toString().split("\n")) {
      Matcher edge = EDGE.matcher(line + " ");
      if (edge.find()) {
        Set<String> targets = uses.computeIfAbsent(edge.group(1), key -> new TreeSet<>());
        if (!edge.group(1).equals(edge.group(2))) {
          targets.add(edge.group(2));
        }
      }
    }
    if (uses.isEmpty()) {
      throw new IllegalStateException("jdeps found no package of " + LIBRARY + " in " + jar);
    }
    return uses;
  }

  /** Every package that reaches itself again, with the path it takes. */
  static List<String> cycles(Map<String, Set<String>> uses) {
    List<String> found = new ArrayList<>();
    for (String start : uses.keySet()) {
      List<String> path = pathBack(uses, start, start, new ArrayList<>(List.of(start)), new TreeSet<>());
      if (path != null) {
        found.add("cycle: " + String.join(" -> ", path));
      }
    }
    return found;
  }

  private static List<String> pathBack(
      Map<String, Set<String>> uses, String start, String at, List<String> path, Set<String> seen) {
    for (String next : uses.getOrDefault(at, Set.of())) {
      if (next.equals(start)) {
        List<String> cycle = new ArrayList<>(path);
        cycle.add(start);
        return cycle;
      }
      if (seen.add(next)) {
        path.add(next);
        List<String> cycle = pathBack(uses, start, next, path, seen);
        if (cycle != null) {
          return cycle;
        }
        path.remove(path.size() - 1);
      }
    }
    return null;
  }
}
