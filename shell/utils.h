// Console and command-line helpers of the process entry.
#ifndef KEELHAVEN_SHELL_UTILS_H_
#define KEELHAVEN_SHELL_UTILS_H_

#include <string>
#include <vector>

// Opens a new console and points standard output and standard error (the C
// streams, the C++ streams and the engine's own) at it. Does nothing when no
// console can be opened; failures are not reported.
void AttachNewConsole();

// Sets up the process's diagnostic output once its console is settled:
// lines written to std::cerr go where the native log goes (standard error,
// as UTF-16 to a console, and the log file once one is set), and Ctrl+C and
// Ctrl+Break in the console are ignored from now on.
void PrepareDiagnosticOutput();

// The process's command-line arguments after the program path, as UTF-8,
// in order; empty when the command line can't be split.
std::vector<std::string> ReadCommandLineArguments();

// The arguments of `command_line` after the program path, split as Windows
// splits a command line, each converted with ArgumentToUtf8 (an argument that
// can't be converted is an empty string, so the others keep their places).
std::vector<std::string> ArgumentsFromCommandLine(const wchar_t* command_line);

// UTF-8 of a NUL-terminated wide string. Null, empty text and text that is
// not valid UTF-16 (an unpaired surrogate) give an empty string.
std::string ArgumentToUtf8(const wchar_t* text);

#endif  // KEELHAVEN_SHELL_UTILS_H_
