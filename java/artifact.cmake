# The Maven artifact around tqh264bridge.jar: its pom, a jar of the sources
# and a jar of the javadoc, next to the jar in the build folder. Javadoc runs
# with every doclint check and fails the build on any warning, so the
# published documentation stays complete.
set(TQ_MAVEN_GROUP_ID tq.brindlecast)
set(TQ_MAVEN_ARTIFACT_ID tqh264bridge)
set(TQ_POM ${CMAKE_BINARY_DIR}/tqh264bridge.pom CACHE INTERNAL "The jar's pom")
set(TQ_SOURCES_JAR ${CMAKE_BINARY_DIR}/tqh264bridge-sources.jar CACHE INTERNAL "The sources jar")
set(TQ_JAVADOC_JAR ${CMAKE_BINARY_DIR}/tqh264bridge-javadoc.jar CACHE INTERNAL "The javadoc jar")
configure_file(pom.xml.in ${TQ_POM} @ONLY)

get_filename_component(_tq_jdk_bin "${Java_JAVAC_EXECUTABLE}" DIRECTORY)
find_program(TQ_JAVADOC NAMES javadoc HINTS ${_tq_jdk_bin} REQUIRED)

set(_tq_sources_root ${CMAKE_CURRENT_SOURCE_DIR}/src/main/java)
set(_tq_legal_stage ${CMAKE_CURRENT_BINARY_DIR}/artifact-legal)
set(_tq_javadoc_dir ${CMAKE_CURRENT_BINARY_DIR}/javadoc)

# LICENSE and NOTICE go into META-INF of both jars, as in the main jar.
add_custom_command(OUTPUT ${_tq_legal_stage}/META-INF/LICENSE ${_tq_legal_stage}/META-INF/NOTICE
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_tq_legal_stage}/META-INF
  COMMAND ${CMAKE_COMMAND} -E copy ${_tq_legal} ${_tq_legal_stage}/META-INF/
  DEPENDS ${_tq_legal})

add_custom_command(OUTPUT ${TQ_SOURCES_JAR}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${TQ_SOURCES_JAR}
  COMMAND ${Java_JAR_EXECUTABLE} --create --file ${TQ_SOURCES_JAR} -C ${_tq_sources_root} .
          -C ${_tq_legal_stage} META-INF
  DEPENDS ${TQ_JAVA_SOURCES} ${_tq_legal_stage}/META-INF/LICENSE ${_tq_legal_stage}/META-INF/NOTICE
  COMMENT "Packing tqh264bridge-sources.jar")

add_custom_command(OUTPUT ${TQ_JAVADOC_JAR}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_tq_javadoc_dir} ${TQ_JAVADOC_JAR}
  COMMAND ${TQ_JAVADOC} -quiet -Xdoclint:all -Werror -Xmaxwarns 10000 -notimestamp
          -encoding UTF-8 --release 17 -d ${_tq_javadoc_dir}
          -doctitle "libtqh264bridge ${PROJECT_VERSION}"
          -windowtitle "libtqh264bridge ${PROJECT_VERSION}"
          ${TQ_JAVA_SOURCES}
  COMMAND ${Java_JAR_EXECUTABLE} --create --file ${TQ_JAVADOC_JAR} -C ${_tq_javadoc_dir} .
          -C ${_tq_legal_stage} META-INF
  DEPENDS ${TQ_JAVA_SOURCES} ${_tq_legal_stage}/META-INF/LICENSE ${_tq_legal_stage}/META-INF/NOTICE
  COMMENT "Checking the javadoc (doclint, warnings fail) and packing tqh264bridge-javadoc.jar"
  VERBATIM)
# The jar is tqh264bridge_jar's output: depending on that target, not on the
# file, keeps its rule from running twice at once in a parallel build.
add_custom_target(tqh264bridge_maven_artifact ALL
  DEPENDS ${TQ_SOURCES_JAR} ${TQ_JAVADOC_JAR} ${TQ_POM})
add_dependencies(tqh264bridge_maven_artifact tqh264bridge_jar)
