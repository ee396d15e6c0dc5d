// What the command line asks of the console: whether standard error is a
// terminal (a progress line that rewrites itself) or a file or pipe (one
// line per picture), and Ctrl+C. The first Ctrl+C only raises a flag that
// the stop queries answer and the batch walk looks at; a second one ends
// the process the system's way.
//
// Text in and out is UTF-8: the arguments as the system has them (on
// Windows read in UTF-16, whatever the ANSI code page), and what is
// printed (on a Windows console written in UTF-16, elsewhere as UTF-8).
#ifndef CHROMALINE_CLI_CONSOLE_H_
#define CHROMALINE_CLI_CONSOLE_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The program's arguments, argv[0] first. `argc` and `argv` are main's; on
// Windows they are read again from the UTF-16 command line, and an
// argument with * or ? in its last part is replaced by the names it
// matches, sorted (there the program does what a POSIX shell does; a
// pattern that matches nothing stays as it is).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Writes `text` to stdout or stderr as it is (no newline added).
void WriteText(std::FILE* stream, const std::string& text);

bool StderrIsTerminal();
bool StdoutIsTerminal();

// A picture through standard input or output, byte for byte (binary mode
// on Windows). False with the system's reason in *error.
bool ReadStandardInput(std::vector<uint8_t>* bytes, std::string* error);
bool WriteStandardOutput(const std::vector<uint8_t>& bytes, std::string* error);
void InstallInterruptHandler();
bool InterruptRequested();

#endif  // CHROMALINE_CLI_CONSOLE_H_
