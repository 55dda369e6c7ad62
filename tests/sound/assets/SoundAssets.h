// Generators of the sound and video test data: small, deterministic files written from scratch
// (PCM in WAV/AIFF/VOC containers, Ogg Vorbis through libvorbisenc, tracker modules, and MPEG-1 system
// streams of flat-colour intra pictures with silent Layer II audio).
#pragma once
#include <cstdint>
#include <string>

namespace ydxsnd {

// PCM: a square wave of `frames` sample frames (8-bit unsigned or 16-bit little-endian signed).
std::string Wav(int bits, int channels, int rate, int frames);
// A WAV with a "LIST" chunk before "fmt " and another chunk between "fmt " and "data".
std::string WavWithExtraChunks(int rate);
// AIFF with big-endian signed PCM.
std::string Aiff(int bits, int channels, int rate, int frames);
// An AIFF whose chunk after "COMM" has a length that, added in 32 bits, leads back to that chunk.
std::string AiffWithChunkPointingBack();
// VOC with one 8-bit data block (rate code 256 - 1000000 / rate), or a "new format" 16-bit block.
std::string Voc8(int rate, int samples);
std::string Voc16(int channels, int rate, int samples);
// Ogg Vorbis of a sine tone; the stream serial is fixed, so equal arguments give equal bytes.
std::string OggVorbis(int channels, int rate, double seconds, float quality = 0.0f);
// A 4-channel "M.K." module with one looping square-wave sample playing on row 0.
std::string ModModule();
// An "Extended Module" with one empty pattern and one instrument holding a looping square wave.
std::string XmModule();
// Header stubs: enough for the signatures, nothing that plays.
std::string S3mStub();
std::string ItStub();

// MPEG-1: `frames` intra pictures of one flat colour (given as Y, Cb, Cr) at 25 pictures a second,
// multiplexed with silent mono 48 kHz Layer II audio into a system stream that opens with the video's
// sequence header.
std::string MpegSystem(int width, int height, int frames, int y, int cb, int cr, bool withAudio = true);
// A system stream that carries only the silent audio.
std::string MpegAudioOnly(int audioFrames);
// The video elementary stream alone.
std::string MpegVideo(int width, int height, int frames, int y, int cb, int cr);

bool Save(const std::string& path, const std::string& bytes);

}  // namespace ydxsnd
