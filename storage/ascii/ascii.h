// The ASCII driver ("ASCII", "Ascii File Driver 1.0"): plain text files in
// which every record is one line. Point a FileObject's entry at AsciiDriver()
// and use the ordinary operations through driver::Perform.
//
// The record may hold only FIXSTR fields and groups of them (other types only
// where they overlay earlier storage); a file declared with keys or blobs
// fails with 47. A record's pointer is the 1-based byte offset of the first
// byte of its line; POSITION texts carry that pointer as 4 bytes,
// little-endian.
//
// Options (SEND commands, and "/" options of the file's driver option text
// applied at OPEN): "CLIP=ON|OFF", "TAB=n", "ENDOFRECORD=count,b1,b2...",
// "FILEBUFFERS=n", "QUICKSCAN=ON|OFF"; a command without "=" answers the
// current value.
#pragma once

#include "storage/driver/driver.h"

namespace tavero::ascii {

// The one ASCII driver of the process.
driver::DriverEntry& AsciiDriver();

}  // namespace tavero::ascii
