// The capture tool's output side: how files come into place, the WAV file's bytes, what a
// sequence replaces, how a finished video is judged, and stand-in encoders that fail.
#include "base/output_file.h"
#include "capture/child_process.h"
#include "capture/encoder.h"
#include "capture/folders.h"
#include "capture/supersample.h"
#include "capture/video_probe.h"
#include "capture/wav_writer.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

void writeText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// Files, and links' targets, are written under unique temporary names beside them; a failed
// one goes, named as the user's file; a committed one replaces the target with the usual
// permissions, not mkstemp's, and the link stays a link. Devices and "-" are written in place.
TEST(OutputFile, TemporariesAreMadeBesideTheFileAndOnlyCommittedOnesRemain) {
  TempFolder folder;
  std::string error;
  mode_t old = umask(022);
  writeText(folder.at("target.wav"), "old");
  ASSERT_EQ(symlink(folder.at("target.wav").c_str(), folder.at("link.wav").c_str()), 0);
  OutputFile a = planOutput(folder.at("link.wav"), false), b = planOutput(folder.at("link.wav"), false);
  FILE *fa = openOutput(a, error), *fb = openOutput(b, error);
  ASSERT_TRUE(fa && fb) << error;
  const std::string failed = a.writePath, kept = b.writePath;
  EXPECT_NE(failed, kept);
  const std::string besideTarget = folder.at("target.wav.??????") + kTemporarySuffix;
  EXPECT_TRUE(fnmatch(besideTarget.c_str(), failed.c_str(), FNM_PATHNAME) == 0 &&
              fnmatch(besideTarget.c_str(), kept.c_str(), FNM_PATHNAME) == 0) << kept;
  EXPECT_FALSE(closeOutput(a, fa, false, ENOSPC, error));
  EXPECT_EQ(error, "cannot write " + folder.at("link.wav") + ": " + std::strerror(ENOSPC));
  EXPECT_FALSE(exists(failed));
  std::fputs("new", fb);
  EXPECT_TRUE(closeOutput(b, fb, true, 0, error)) << error;
  EXPECT_TRUE(exists(kept) && readFile(folder.at("target.wav")) == "old");
  EXPECT_TRUE(commitOutput(b, true, error)) << error;
  EXPECT_TRUE(!exists(kept) && readFile(folder.at("target.wav")) == "new");
  umask(old);
  struct stat target, link;
  ASSERT_TRUE(stat(folder.at("target.wav").c_str(), &target) == 0 && lstat(folder.at("link.wav").c_str(), &link) == 0);
  EXPECT_EQ(target.st_mode & 0777, 0644u);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  EXPECT_TRUE(planOutput("/dev/null", true).inPlace && planOutput("-", true).toStdout);
  EXPECT_FALSE(planOutput("-", false).toStdout);
}

// What cannot be written is known before any work: a folder named as the file, a link to
// nothing (a rename would replace the link), a missing folder, more music than a WAV holds.
TEST(OutputFile, FoldersDanglingLinksAndMissingFoldersAreRefusedBeforeWriting) {
  TempFolder folder;
  ASSERT_EQ(mkdir(folder.at("v.mp4").c_str(), 0777), 0);
  ASSERT_EQ(symlink(folder.at("nowhere.wav").c_str(), folder.at("dangling.wav").c_str()), 0);
  const std::vector<std::pair<std::string, std::string>> refused = {
      {folder.at("v.mp4"), "folder"},
      {folder.at("dangling.wav"), "symbolic link"},
      {folder.at("missing/x.wav"), std::strerror(ENOENT)},
  };
  const int16_t samples[2] = {0, 0};
  std::string error;
  for (const auto& r : refused) {
    OutputFile out = planOutput(r.first, true);
    EXPECT_TRUE(!checkOutput(out, error) && error.find(r.second) != std::string::npos) << r.first << ": " << error;
    EXPECT_LT(createOutput(out, error), 0) << r.first;
    EXPECT_TRUE(!writeWav(r.first, samples, 1, error) && error.find(r.first) != std::string::npos) << error;
  }
  EXPECT_FALSE(writeWav(folder.at("big.wav"), samples, kMaxWavFrames + 1, error));
  EXPECT_FALSE(exists(folder.at("big.wav")));
}

// A WAV file: header fields and little-endian samples, byte for byte.
TEST(WavWriter, HeaderAndLittleEndianSamples) {
  TempFolder folder;
  const int16_t samples[6] = {0, -1, 32767, -32767, 0x1234, -0x1234};
  std::string error;
  ASSERT_TRUE(writeWav(folder.at("music.wav"), samples, 3, error)) << error;
  // 44100 Hz stereo 16-bit: 176400 bytes a second, 4 a frame; 12 bytes of data.
  const char expected[] = "RIFF\x30\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0"
                          "data\x0C\0\0\0" "\0\0\xFF\xFF\xFF\x7F\x01\x80\x34\x12\xCC\xED";
  EXPECT_EQ(readFile(folder.at("music.wav")), std::string(expected, sizeof expected - 1));
}

TEST(SequenceFolder, OnlyAnEarlierCapturesFramesAndMusicAreRemoved) {
  TempFolder folder;
  const std::vector<std::pair<const char*, bool>> files = {  // a name, and whether it goes
      {"frame-000000.png", true}, {"frame-000099.png", true}, {"frame-80000.png", true}, {"music.wav", true},
      {"notes.txt", false},       {"frame-cover.png", false}, {"frame-.png", false},    {"frame-000001.png.bak", false},
      {"music.wav.txt", false}};
  for (const auto& file : files) writeText(folder.at(file.first), "x");
  ASSERT_TRUE(clearEarlierSequence(folder.path));
  for (const auto& file : files) EXPECT_NE(exists(folder.at(file.first)), file.second) << file.first;
}

// ffprobe's report for a 15-frame 160x90 capture with 1.5 s of music.
const char* const kGoodReport =
    "streams.stream.0.codec_name=\"h264\"\n"
    "streams.stream.0.codec_type=\"video\"\n"
    "streams.stream.0.width=160\n"
    "streams.stream.0.height=90\n"
    "streams.stream.0.pix_fmt=\"yuv420p\"\n"
    "streams.stream.0.color_space=\"bt709\"\n"
    "streams.stream.0.nb_read_packets=\"15\"\n"
    "streams.stream.1.codec_name=\"aac\"\n"
    "streams.stream.1.codec_type=\"audio\"\n"
    "streams.stream.1.nb_read_packets=\"66\"\n"
    "format.duration=\"1.500000\"\n";

// 66150 audio frames: 65 packets of 1024 hold them, the encoder adds one.
const VideoExpectation kGood = {160, 90, 15, 66150, 1.5};

TEST(VideoProbe, AMatchingReportPassesTruncatedOrWrongVideosFailWithTheMismatch) {
  std::string error;
  EXPECT_TRUE(checkProbeReport(kGoodReport, kGood, error)) << error;
  const std::vector<std::pair<std::pair<std::string, std::string>, std::string>> faults = {
      {{"nb_read_packets=\"15\"", "nb_read_packets=\"7\""}, "7 of 15 frames"},
      {{"nb_read_packets=\"66\"", "nb_read_packets=\"30\""}, "audio holds 30"},
      {{"width=160", "width=162"}, "162x90"},
      {{"\"h264\"", "\"hevc\""}, "hevc"},
      {{"\"bt709\"", "\"unknown\""}, "yuv420p unknown"},  // converted and tagged with the old matrix
      {{"format.duration", "chapters.chapter.0.id=0\nformat.duration"}, "1 chapters, not 0"},
      {{"format.duration=\"1.500000\"", "format.duration=\"0.700000\""}, "lasts 0.700000"},
      {{"format.duration=\"1.500000\"", ""}, "unknown time"},
      {{"streams.stream.1.codec_type=\"audio\"", "streams.stream.1.codec_type=\"subtitle\""}, "subtitle"},
      {{"streams.stream.1.codec_name=\"aac\"\nstreams.stream.1.codec_type=\"audio\"\n"
        "streams.stream.1.nb_read_packets=\"66\"\n", ""}, "0 audio"},
  };
  for (const auto& fault : faults) {
    std::string report = kGoodReport;
    report.replace(report.find(fault.first.first), fault.first.first.size(), fault.first.second);
    EXPECT_TRUE(!checkProbeReport(report, kGood, error) && error.find(fault.second) != std::string::npos)
        << fault.second << ": " << error;
  }
  EXPECT_FALSE(checkProbeReport("", kGood, error));
  VideoExpectation chaptered = kGood;  // an mp4's chapters come with the text track that holds them
  chaptered.chapters = chaptered.chapterTracks = 1;
  const std::string track = "streams.stream.2.codec_type=\"data\"\n";
  EXPECT_TRUE(checkProbeReport(kGoodReport + track + "chapters.chapter.0.id=0\n", chaptered, error)) << error;
  EXPECT_FALSE(checkProbeReport(kGoodReport + track, chaptered, error));
}

// Each block is averaged in linear light: black beside white is the level of half the light
// (188), not the level halfway (128); a flat block keeps its level at every factor; halfway
// between two levels rounds up.
TEST(Supersample, BlocksAreAveragedInLinearLightAndRoundedToTheNearestLevel) {
  const std::vector<std::pair<std::vector<uint8_t>, uint8_t>> blocks = {
      {{0, 255, 255, 0}, 188}, {{0, 0, 0, 255}, 137}, {{10, 10, 9, 9}, 10}, {{6, 9, 6, 9}, 8},
      {{128, 128, 128, 129}, 128}, {{254, 255, 255, 255}, 255}, {{0, 0, 0, 1}, 0}, {{0, 0, 1, 1}, 1}};
  for (const auto& block : blocks) {
    std::vector<uint8_t> big(12), out(3);
    for (int i = 0; i < 4; ++i) big[i * 3] = big[i * 3 + 1] = big[i * 3 + 2] = block.first[i];
    reduceInLinearLight(big.data(), 1, 1, 2, out.data());
    EXPECT_TRUE(out == std::vector<uint8_t>(3, block.second)) << testing::PrintToString(block.first) << int(out[0]);
  }
  for (int factor = kMinSupersample; factor <= kMaxSupersample; ++factor) {
    std::vector<uint8_t> big(256 * 3 * factor * factor), out(256 * 3);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i / 3 % (256 * factor) / factor);
    reduceInLinearLight(big.data(), 256, 1, factor, out.data());
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i / 3) << "factor " << factor;
  }
}

// Stand-in encoders running a case's shell commands: a clean run passes and gets the speed and
// quality level asked for in place of the defaults; a failing status, a reported error, a
// signal or a stop before the frames are all failures naming the cause.
TEST(Encoder, FailuresAreReportedAndTheSettingsReachFfmpeg) {
  signal(SIGPIPE, SIG_IGN);  // as the capture tool's clean-up set-up does: a dead ffmpeg is a failed write
  TempFolder folder;
  std::vector<uint8_t> frame(16 * 16 * 3, 1);
  const std::string noteArgs = "echo \"$@\" > '" + folder.at("args") + "'; cat > /dev/null";
  const std::vector<std::tuple<std::string, std::string, const char*, int>> cases = {
      {noteArgs, "", kDefaultEncoderPreset, kDefaultCrf},
      {noteArgs, "", "ultrafast", 30},
      {"cat > /dev/null; echo 'disk full' >&2; exit 1", "ffmpeg failed with status 1:\n  disk full", "", 0},
      {"cat > /dev/null; echo 'Error writing trailer' >&2; exit 0",
       "ffmpeg reported an error:\n  Error writing trailer", "", 0},
      {"cat > /dev/null; kill -9 $$", "ffmpeg was ended by signal 9", "", 0},
      {"exit 0", "ffmpeg stopped taking frames", "", 0},
  };
  for (const auto& [script, failure, preset, crf] : cases) {
    const std::string ffmpeg = folder.at("ffmpeg");
    writeText(ffmpeg, "#!/bin/sh\n" + script + "\n");
    ASSERT_EQ(chmod(ffmpeg.c_str(), 0755), 0);
    VideoEncoder encoder;
    encoder.preset = preset;
    encoder.crf = crf;
    std::string error, finishError;
    ASSERT_TRUE(startEncoder(encoder, ffmpeg, 16, 16, 10, "music.wav", "v.mkv", "matroska", true, error));
    bool ok = true;
    for (int i = 0; i < 200 && ok; ++i) ok = sendFrame(encoder, frame.data(), error);
    bool finished = finishEncoder(encoder, finishError);
    EXPECT_TRUE((ok && finished) == failure.empty() && (ok ? finishError : error).find(failure) != std::string::npos)
        << script << ": " << error << " / " << finishError;
    if (*preset) {
      const std::string args = readFile(folder.at("args"));
      EXPECT_NE(args.find(std::string("-c:v libx264 -preset ") + preset + " -crf " + std::to_string(crf)),
                std::string::npos) << args;
    }
  }
}

// A helper's idle time grows only by what this process waited for it, at most
// kMaxCountedLookSeconds a look (a capture stopped for minutes blames the helper for no more),
// and any change to the file it writes, size or only time, is progress.
TEST(ChildProcess, IdleTimeLeavesOutStoppedTimeAndCountsRewritesAsProgress) {
  TempFolder folder;
  writeText(folder.at("out"), "0123456789");
  ProgressWatch watch;
  startWatch(watch, -1, folder.at("out"));
  watch.lastLook -= std::chrono::seconds(300);  // as if stopped for five minutes
  double idle = lookForProgress(watch, false);
  EXPECT_TRUE(idle > 0 && idle <= kMaxCountedLookSeconds) << idle;
  watch.lastLook -= std::chrono::seconds(300);
  EXPECT_LE(lookForProgress(watch, false), 2 * kMaxCountedLookSeconds);
  // Rewritten in place, same size: a later modification time is progress.
  struct timespec times[2] = {{0, UTIME_OMIT}, {watch.fileChangeNs / 1000000000 + 5, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, folder.at("out").c_str(), times, 0), 0);
  EXPECT_EQ(lookForProgress(watch, false), 0);
  watch.lastLook -= std::chrono::milliseconds(500);
  EXPECT_GT(lookForProgress(watch, false), 0.4);
  EXPECT_EQ(lookForProgress(watch, true), 0);  // what the caller saw counts too
}

}  // namespace
