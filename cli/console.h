// File: cli/console.h
//
// What the command line asks of the console: whether standard error is a
// terminal (a progress line that rewrites itself) or a file or pipe (one
// line per picture), and Ctrl+C. The first Ctrl+C only raises a flag that
// the stop queries answer and the batch walk looks at; a second one ends
// the process the system's way.
#ifndef CHROMALINE_HOST_CONSOLE_H_
#define CHROMALINE_HOST_CONSOLE_H_

bool StderrIsTerminal();
void InstallInterruptHandler();
bool InterruptRequested();

#endif  // CHROMALINE_HOST_CONSOLE_H_
