#pragma once

#include <string>
#include <string_view>

namespace tunevale
{

// The extensions a file may have to be added, as one text that each extension is looked up in.
// The first line is the classic list; the rest are the other kinds the engine decodes (MP4 audio,
// Opus, AIFF, WavPack, Matroska and WebM, CAF, Wave64 and tracker modules).
inline constexpr std::string_view AcceptedExtensions =
    ".cda.wav.wma.mp1.mp2.mp3.mp4.ogg.aac.alac.flac.ac3.spx.mpc.tta.ape.ofr.midi.adx.wmv.asf.avi.mpg.mp2.mpeg.mp4."
    "mov.dat"
    ".m4a.m4b.opus.oga.aif.aiff.aifc.wv.webm.mka.mkv.caf.w64.mod.xm.it.s3m.mo3";

// The text after the last dot of the path's last component, empty when it has no dot.
std::string fileExtension(std::string_view path);

// True when "." + the extension occurs anywhere in AcceptedExtensions, regardless of letter case.
// This is a substring test on purpose: "x.mid" and "x.a" are accepted too.
bool hasAcceptedExtension(std::string_view path);

// True when the path ends in "cda" in any letter case: a CD track, which has no size of its own.
bool isCdTrack(std::string_view path);

// True when the path ends in "wma", "asf" or "wmv" in any letter case: a Windows Media file.
bool isWindowsMediaFile(std::string_view path);

} // namespace tunevale
