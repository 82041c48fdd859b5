// standard_output: the end of a program's output on standard output, checked.
//
// Offers: close_standard_output.
// Depends on: the C standard I/O library.
//
// What a program prints may still sit in the stdio buffer when it ends, and a full disk,
// a closed descriptor or a broken pipe show only when the buffer is written out or the
// stream closed. A program that printed its result (--help, --version, a listing) ends with
//     return close_standard_output("salad") ? 0 : 1;
#pragma once

namespace textdemo {

// Flushes and closes standard output. False when anything written to it was lost; then
// "PROGRAM: cannot write standard output: REASON" goes to standard error, except for a
// reader that went away (EPIPE), which a pipeline into `head` expects to pass in silence.
// Nothing may be printed on standard output afterwards.
bool close_standard_output(const char* program);

}  // namespace textdemo
