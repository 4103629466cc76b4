#pragma once

// Every output format, in the order of the optFileFormat members (their stored numbers). A new
// format is its description file (X.cpp defining kOutputFormatX) and one line here.
#define TUNEVALE_OUTPUT_FORMATS(FORMAT)                                                                                \
    FORMAT(WAV)                                                                                                        \
    FORMAT(WMA)                                                                                                        \
    FORMAT(MP3)                                                                                                        \
    FORMAT(OGG)                                                                                                        \
    FORMAT(Ipod)                                                                                                       \
    FORMAT(FLAC)                                                                                                       \
    FORMAT(Opus)                                                                                                       \
    FORMAT(AAC)                                                                                                        \
    FORMAT(ALAC)                                                                                                       \
    FORMAT(AIFF)                                                                                                       \
    FORMAT(WavPack)
