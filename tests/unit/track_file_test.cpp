// Track files: bad files are refused with their line; random and broken bytes never get past
// the reader; the document edits a line at a time and undoes back to the same bytes; the
// maker's held camera keyed at once. What the shipped keys draw is held by the reference frames.
#include "base/track_document.h"
#include "demo/dev_tracks.h"
#include "scenes/forest/forest_scene.h"
#include "scenes/pacman/pacman_scene.h"
#include "test_helpers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>

namespace {

const std::string kShippedTracks = DEMO_SOURCE_DIR "/tracks";

// Every test's scenes read the shipped files, wherever the tests run from.
class ShippedTracks : public ::testing::Environment {
  void SetUp() override { useTrackFolder(kShippedTracks); }
};
const auto* const kShippedTracksEnvironment = ::testing::AddGlobalTestEnvironment(new ShippedTracks);

// A float track a and a 3-vector track v.
const TrackFileFormat kFormat = {{{"a", 1}, {"v", 3}}, 2};
const std::string kGood = "track a\n0 1 0\ntrack v\n5 1 2 3 4 5 6\n";

TEST(TrackFiles, BadFilesAreRefusedWithTheLineAndWhatIsWrong) {
  std::string huge = kGood;
  while (huge.size() <= kMaxTrackFileBytes) huge += "# a comment line of some length, to fill the file\n";
  const int hugeLine = std::count(huge.begin(), huge.begin() + kMaxTrackFileBytes, '\n') + 1;
  const std::pair<std::string, std::string> cases[] = {
      {"", "f:1: the file ends without track a"},
      {"track a\n0 1 0\n", "f:2: the file ends without track v"},
      {"track a\ntrack v\n5 1 2 3 4 5 6\n", "f:1: track a has no keys"},
      {"0 1 0\n", "f:1: a key before the first track line"},
      {kGood + "track b\n", "f:5: unknown track 'b' (this file holds a and v)"},
      {kGood + "track a\n", "f:5: track a again (it began at line 1)"},
      {"track a\n0 1\n",
       "f:2: a key of a is a time and 2 numbers (1 of the value, 1 of the tangent); this line has 1 after its time"},
      {"track v\n0 1 2 3 4 5 6 7\n",
       "f:2: a key of v is a time and 6 numbers (3 of the value, 3 of the tangent); this line has 7 after its time"},
      {"track a\n0 0x10 0\n", "f:2: '0x10' is not a number"},
      {"track a\n0 1 inf\n", "f:2: 'inf' is not a finite number"},
      {"track a\n0 1" + std::string(80, '0') + " 0\n",
       "f:2: '1000000000000000000000000000000000000000...' is out of a float's range"},
      {"track a\n-5 1 0\n", "f:2: the time '-5' is negative"},
      {"track a\n1.5 1 0\n", "f:2: the time '1.5' is not a whole number of centiseconds"},
      {"track a\n4294967296 1 0\n", "f:2: the time '4294967296' is past 4294967295 centiseconds"},
      {"track a\n7 1 0\n7 2 0\n", "f:3: time 7 is already a key of a (line 2)"},
      {"track a\n0 1 0\n" + std::string("\0", 1), "f:3: not text: a NUL byte"},
      {"track a\n0 1 0\r\r\n", "f:2: not text: the control character 0x0d"},  // a CR that ends no line
      {"# \xc0\x80 \xed\xa0\x80\n", "f:1: not text: bytes that are not UTF-8"},  // an overlong NUL, a surrogate
      {"# \xe2\x82", "f:1: not text: bytes that are not UTF-8"},                 // cut short
      {"\n#" + std::string(kMaxTrackLineBytes, ' ') + "\n", "f:2: the line is longer than 4096 bytes"},
      {std::string(kMaxTrackFileLines + 1, '\n'), "f:65537: more than 65536 lines"},
      {huge, "f:" + std::to_string(hugeLine) + ": the file is larger than 1 MiB (1048576 bytes)"},
  };
  TrackFileKeys keys;
  std::string error;
  for (const auto& [bytes, message] : cases) {
    EXPECT_FALSE(parseTrackFile(bytes, "f", kFormat, keys, error)) << message;
    EXPECT_EQ(error, message);
  }
  // Text: tabs, comments anywhere, UTF-8, "\r\n", no end on the last line, exponents.
  ASSERT_TRUE(parseTrackFile("# \xcf\x80 \xf0\x9f\x8e\xac\r\ntrack v  # v\t\r\n4294967295\t-0 .5 1e-3 2.5E+2 0 0\r\n"
                             "track a\n\n  3 1 0 # last",
                             "f", kFormat, keys, error))
      << error;
  EXPECT_TRUE(keys.tracks[1].keys[0].time == 4294967295u && keys.tracks[1].keys[0].value[2] == 0.001f &&
              keys.tracks[1].keys[0].tangent[0] == 250.0f && keys.tracks[0].keys[0].line == 6);
  // A FIFO nobody writes is not waited for.
  TempFolder folder;
  ASSERT_EQ(mkfifo(folder.at("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(readTrackFile(folder.at("fifo"), kFormat, keys, error));
  EXPECT_EQ(error, folder.at("fifo") + ": not a regular file");
}

// Whatever the bytes, the reader ends with finite keys or with one message naming a line of
// the file; the sanitizer tree runs this too.
TEST(TrackFiles, RandomAndBrokenBytesNeverGetPastTheReader) {
  std::mt19937 random(20240533);
  const std::string shipped = readFile(kShippedTracks + "/pacman.txt");
  const std::string pieces[] = {"track tint\n", "1e39", "-4294967296", std::string(5000, '7'), std::string("\0", 1),
                                "\xff", "\xe2\x82", "\r", "\t", "#", ".", "nan", "\n", " "};
  int accepted = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string bytes = shipped;
    if (round % 4 == 0) {  // random bytes
      bytes.resize(random() % 600);
      for (char& c : bytes) c = static_cast<char>(random());
    } else if (round % 4 == 1) {  // cut short
      bytes.resize(random() % bytes.size());
    } else {  // pieces put in, bytes changed
      for (int n = random() % 6; n >= 0; --n) {
        size_t at = random() % bytes.size();
        if (random() % 3 == 0) bytes[at] = static_cast<char>(random());
        else bytes.insert(at, pieces[random() % std::size(pieces)]);
      }
    }
    TrackFileKeys keys;
    std::string error;
    if (parseTrackFile(bytes, "fuzz", pacmanTrackFile.format, keys, error)) {
      ++accepted;
      for (int t = 0; t < pacmanTrackFile.format.count; ++t) {
        ASSERT_FALSE(keys.tracks[t].keys.empty());
        for (const TrackKey& key : keys.tracks[t].keys)
          for (int i = 0; i < 3; ++i) ASSERT_TRUE(std::isfinite(key.value[i]) && std::isfinite(key.tangent[i]));
      }
      continue;
    }
    char* rest = nullptr;
    unsigned long line = std::strtoul(error.c_str() + 5, &rest, 10);
    const unsigned long lines = std::count(bytes.begin(), bytes.end(), '\n') + 1;
    ASSERT_TRUE(error.rfind("fuzz:", 0) == 0 && line >= 1 && line <= lines && std::string(rest).rfind(": ", 0) == 0 &&
                error.find('\n') == std::string::npos)
        << error;
  }
  EXPECT_GT(accepted, 100);  // the changes reach past the first checks too
}

TEST(TrackDocument, EditsTouchOnlyTheirLinesAndUndoGivesBackTheSameBytes) {
  const std::string original = "# the camera\ntrack a\n0      4    0   # start\n1600   2.5132741   0\r\n\ntrack v # v\n"
                               "5\t1 2 3\t4 5 6\n9\t1 1 1\t0 0 0";
  TempFolder folder;
  const std::string path = folder.at("t.txt");
  std::ofstream(path, std::ios::binary) << original;
  TrackDocument document;
  std::string error;
  ASSERT_TRUE(document.open(path, kFormat, error)) << error;
  std::vector<std::string> expected = document.lines;
  // A key between two: laid out like the one before it, numbers in their shortest exact form.
  TrackKey key{800, {0.1f}, {-1.0f / 3}};
  ASSERT_TRUE(document.addKey(0, key, error)) << error;
  expected.insert(expected.begin() + 3, "800    0.1  -0.33333334\n");
  // Changed keys keep their unchanged numbers' text, their comment and their line end.
  key = document.keys.tracks[0].keys[2];
  key.tangent[0] = 1e-7f;
  ASSERT_TRUE(document.setKey(0, key, error)) << error;
  expected[4] = "1600   2.5132741   1e-07\r\n";
  key = document.keys.tracks[0].keys[0];
  key.tangent[0] = 12.5f;
  ASSERT_TRUE(document.setKey(0, key, error)) << error;
  expected[2] = "0      4    12.5 # start\n";
  EXPECT_EQ(document.lines, expected);
  key.time = 20;  // after the last line, which has no end
  for (int i = 0; i < 3; ++i) key.value[i] = key.tangent[i] = 0.5f * i;
  ASSERT_TRUE(document.addKey(1, key, error)) << error;
  EXPECT_EQ(document.lines.back(), "20\t0 0.5 1\t0 0.5 1");
  ASSERT_TRUE(document.removeKey(1, 5, error) && document.removeKey(0, 800, error)) << error;
  EXPECT_EQ(readFile(path), document.text());
  // Refusals change nothing.
  ASSERT_TRUE(document.removeKey(1, 9, error)) << error;
  const size_t edits = document.history.size();
  auto refused = [&](bool done, const std::string& message) {
    EXPECT_TRUE(!done && error == path + ": " + message) << error;
  };
  refused(document.addKey(0, document.keys.tracks[0].keys[0], error), "track a has a key at 0 already");
  refused(document.removeKey(1, 5, error), "track v has no key at 5");
  refused(document.removeKey(1, 20, error), "the key at 20 is the only one of track v");
  key.value[1] = NAN;
  refused(document.setKey(1, key, error), "a key's numbers must be finite");
  EXPECT_EQ(document.history.size(), edits);
  // Keys on several tracks, added where there is none and set where there is one: one edit.
  // One that cannot be made writes none of them.
  int both[2] = {0, 1};
  TrackKey keys[2] = {document.keys.tracks[0].keys[0], document.keys.tracks[1].keys[0]};
  keys[0].time = 900;
  keys[1].value[2] = 7.0f;
  keys[1].value[1] = NAN;
  refused(document.putKeys(both, keys, 2, error), "a key's numbers must be finite");
  keys[1].value[1] = 2.0f;
  ASSERT_TRUE(document.putKeys(both, keys, 2, error)) << error;
  EXPECT_EQ(document.history.size(), edits + 1);
  EXPECT_EQ(document.lines.back(), "20\t0 2   7\t0 0.5 1");  // each number at its column
  EXPECT_EQ(document.keys.tracks[0].keys.size(), 3u);
  // The whole history back: byte for byte the file it was, and nothing left beside it.
  while (!document.history.empty()) ASSERT_TRUE(document.undo(error)) << error;
  EXPECT_EQ(readFile(path), original);
  EXPECT_FALSE(document.undo(error));
  using std::filesystem::directory_iterator;
  EXPECT_EQ(std::distance(directory_iterator(folder.path), directory_iterator()), 1);
}

TEST(TrackDocument, KeepsTheLastEditsAndNeverWritesOverWhatItDidNotRead) {
  TempFolder folder;
  const std::string path = folder.at("t.txt");
  std::ofstream(path) << kGood;
  chmod(path.c_str(), 0640);
  TrackDocument document;
  std::string error;
  ASSERT_TRUE(document.open(path, kFormat, error)) << error;
  TrackKey key;
  for (key.time = 1; key.time <= kTrackUndoDepth + 8; ++key.time) ASSERT_TRUE(document.addKey(0, key, error)) << error;
  struct stat info;
  EXPECT_TRUE(stat(path.c_str(), &info) == 0 && (info.st_mode & 0777) == 0640);  // the old file's permissions
  for (int i = 0; i < kTrackUndoDepth; ++i) ASSERT_TRUE(document.undo(error)) << error;
  EXPECT_FALSE(document.undo(error));
  EXPECT_EQ(document.keys.tracks[0].keys.size(), 9u);  // the first 8 edits stay
  // Changed behind its back, or replaced by a link: not written, the link and its target kept.
  std::ofstream(path) << kGood;
  EXPECT_FALSE(document.addKey(0, key, error));
  EXPECT_EQ(error, path + ": not written: it changed since it was read");
  ASSERT_TRUE(document.open(path, kFormat, error) && unlink(path.c_str()) == 0);
  std::ofstream(folder.at("target")) << kGood;
  ASSERT_EQ(symlink(folder.at("target").c_str(), path.c_str()), 0);
  EXPECT_FALSE(document.addKey(0, key, error));
  EXPECT_EQ(error, path + ": not written: it is no longer a regular file (a link is not followed)");
  EXPECT_TRUE(readFile(folder.at("target")) == kGood && exists(path));
}

TEST(DevTracks, AHeldCameraIsDrawnThenKeyedAsOneEditThatUndoTakesBack) {
  TempFolder folder;
  ASSERT_TRUE(std::filesystem::copy_file(kShippedTracks + "/forest.txt", folder.at("forest.txt")));
  const std::string path = folder.at("forest.txt"), original = readFile(path);
  useTrackFolder(folder.path);
  ForrestScene scene;
  fillSceneTracks(scene);
  scene.centiseconds = 1234;  // no camera track has a key there
  DevTracks tracks;
  tracks.prepare(scene, 0, 12340);
  const float yaw = scene.yawTrack.evaluate(1234), distance = scene.distanceTrack.evaluate(1234);
  tracks.pressButton(true);
  tracks.turn(scene, 40, 0);
  tracks.pressButton(false);
  tracks.dolly(scene, 2);
  tracks.prepare(scene, 0, 12340);  // the same frame: still held, at every time
  const float heldYaw = scene.yawTrack.evaluate(0), heldDistance = scene.distanceTrack.evaluate(3200);
  EXPECT_TRUE(heldYaw != yaw && heldDistance < distance);
  EXPECT_EQ(scene.pitchTrack.evaluate(0), scene.pitchTrack.evaluate(1234));
  tracks.keyNow(scene);
  tracks.prepare(scene, 0, 12340);
  EXPECT_TRUE(scene.yawTrack.evaluate(1234) == heldYaw && scene.distanceTrack.evaluate(1234) == heldDistance);
  EXPECT_NE(scene.yawTrack.evaluate(0), heldYaw);  // the keys again
  const std::string keyedText = "\n" + readFile(path);
  int keyed = 0;
  for (size_t at = keyedText.find("\n1234 "); at != std::string::npos; at = keyedText.find("\n1234 ", at + 1)) ++keyed;
  EXPECT_EQ(keyed, 4);  // distance, yaw, pitch and height; not the tint nor the focus
  tracks.undo();
  EXPECT_EQ(readFile(path), original);
  useTrackFolder(kShippedTracks);
  std::string error;
  EXPECT_TRUE(loadTrackFile(forestTrackFile, error)) << error;
}

}  // namespace
