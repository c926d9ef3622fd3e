// Decoding in a child process: stb_image's decoders have crashed on corrupt
// files, and a picture from anywhere must cost a message, never the program.
#pragma once

#include "inputs/image_files.h"

// decodeImage's work and answers: the header checked here, the pixels decoded in a forked child
// that hands the pixels back through shared memory. A child that dies says so. The pixels' deleter
// gives the shared memory back.
std::string decodeApart(const unsigned char *bytes, std::size_t size, int maxSide, bool upright,
                        DecodedImage &image);
