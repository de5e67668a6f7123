// The maker's mode's track panel (F2): each track of the current scene plotted over the
// scene's span, a line for each number of its value, its keys as points, a line at the frame's
// time and the value there; the selected track highlighted, and the fields of its key, which
// are dragged or typed. Drawn with Dear ImGui inside the overlay's frame; a click on a plot is
// taken from the event itself, as the timeline bar's is.
#pragma once

#include "base/track_file.h"
#include "render/track_source.h"

#include <cstdint>
#include <vector>

constexpr float kOverlayMargin = 6.0f;      // pixels between the overlay's panels and the window's edge
constexpr float kOverlayPanelAlpha = 0.6f;  // the panels' background

// What the panel shows.
struct TrackPanelFacts {
  const char* scene = "";               // the scene's short name
  const SceneTracks* tracks = nullptr;  // the current scene's; null before the first frame
  const TrackFileKeys* keys = nullptr;  // its file's keys (with a preview's change), in the file's order
  Vec3 values[kMaxTracksPerFile];       // each track's value in the frame, as drawn
  uint32_t nowCs = 0;                   // the frame's time on the scene's clock, centiseconds
  uint32_t spanCs = 0;                  // the scene's length, centiseconds
  uint32_t startMs = 0;                 // show time of the scene's start
  int selected = 0;                     // the selected track
  bool keySelected = false;             // a key of it is selected, at selectedKey
  uint32_t selectedKey = 0;             // centiseconds
  bool holding = false;                 // the mouse holds the camera
  const char* message = "";             // the last edit's outcome
  const char* errors = "";              // the track files that do not read now
};

// What the maker did in the panel since the requests were last taken.
struct TrackPanelRequests {
  int selectTrack = -1;    // a plot clicked: its track; -1 = none
  bool selectKey = false;  // a key of it clicked, at keyTime
  uint32_t keyTime = 0;    // centiseconds
  int64_t seekMs = -1;     // show time clicked on a plot; -1 = none
  bool editing = false;    // a field of the key is changing: edited holds the key as it stands
  bool editDone = false;   // the field let go after a change: edited is to be written
  TrackKey edited;         // time, value, tangent
};

class TrackPanel {
 public:
  bool visible = false;  // toggled by F2
  float left = 0;        // the panel's window from the last draw, window pixels
  float top = 0;
  float right = 0;
  float bottom = 0;
  float plotLeft = 0;  // the plots' left edge and size, pixels
  float plotWidth = 0;
  float plotHeight = 0;
  float plotTops[kMaxTracksPerFile] = {};
  int plots = 0;                                      // plots drawn
  std::vector<uint32_t> keyTimes[kMaxTracksPerFile];  // each plot's key times, for clicks
  uint32_t spanCs = 0;                                // of the scene drawn
  uint32_t startMs = 0;
  float fields[2 * kMaxTrackComponents] = {};  // the key's value, then its tangent, as edited
  bool fieldsLive = false;                     // the fields hold a change not yet let go
  TrackPanelRequests requests;

  // Draws the panel inside an ImGui frame, at the right of a window width pixels wide, down to bottomEdge.
  void draw(const TrackPanelFacts& facts, int width, float bottomEdge);
  // A mouse press at x, y: true when the panel is under it; on a plot it selects the track (and
  // a key within reach) and asks for its time.
  bool click(float x, float y);
  // Whether the panel is shown under x, y.
  bool covers(float x, float y) const;
  // The requests since the last call; the fields' state stays.
  TrackPanelRequests take();

 private:
  // The fields of track's key (of keys) the panel edits, dragged in steps of a plot's range.
  void drawFields(const TrackPanelFacts& facts, const TrackRef* track, const TrackKeys* keys, float range);
};
