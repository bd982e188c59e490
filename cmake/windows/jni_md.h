/* The machine-dependent JNI definitions for Windows x64, for cross-builds
 * whose JDK is a Linux one. The JNI types have the same widths as on Linux
 * x64; only the export and calling-convention macros differ. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
