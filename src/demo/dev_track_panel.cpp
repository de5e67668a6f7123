// The track panel: the current scene's tracks as curves, and the fields of a key.
#include "demo/dev_track_panel.h"

#include "render/track.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr float kPanelShare = 0.4f;         // of the window's width the panel takes
constexpr float kPanelMinWidth = 220.0f;    // pixels, where the window allows
constexpr float kPlotMinHeight = 18.0f;     // pixels of one track's plot
constexpr float kPlotMaxHeight = 72.0f;     // pixels, where the window has room
constexpr int kPlotSamples = 200;           // points along a plotted curve
constexpr float kKeyRadius = 2.5f;          // pixels, a key's point
constexpr float kSelectedKeyRadius = 4.5f;  // pixels, the selected key's
constexpr float kKeyReachPixels = 6.0f;     // a click this close to a key in time takes the key
constexpr float kFieldDragPixels = 200.0f;  // pixels of drag across a plot's whole value range
constexpr float kFlatRange = 1.0f;          // value range plotted for a track that never changes
// The numbers of a value in turn (x, y, z); a float track takes the first.
constexpr ImU32 kComponentColours[kMaxTrackComponents] = {IM_COL32(255, 120, 100, 255), IM_COL32(120, 230, 120, 255),
                                                          IM_COL32(120, 160, 255, 255)};
constexpr ImU32 kFloatColour = IM_COL32(240, 220, 120, 255);
constexpr ImU32 kPlotBack = IM_COL32(20, 20, 28, 200);
constexpr ImU32 kSelectedBack = IM_COL32(50, 50, 80, 230);
constexpr ImU32 kSelectedEdge = IM_COL32(200, 200, 255, 255);
constexpr ImU32 kNowColour = IM_COL32(255, 255, 255, 200);
constexpr ImU32 kSelectedKeyColour = IM_COL32(255, 255, 255, 255);
constexpr float kLine = 1.0f;          // pixels, a curve's width
constexpr float kSelectedLine = 2.0f;  // the selected track's
const ImVec4 kSelectedText(0.75f, 0.8f, 1.0f, 1.0f);
const ImVec4 kErrorText(1.0f, 0.45f, 0.4f, 1.0f);

// keys as a track to evaluate, the first components numbers of each.
KeyframeTrack<Vec3> curveOf(const TrackKeys& keys) {
  KeyframeTrack<Vec3> curve;
  for (const TrackKey& key : keys.keys)
    curve.addKey(Vec3(key.value[0], key.value[1], key.value[2]), Vec3(key.tangent[0], key.tangent[1], key.tangent[2]),
                 key.time);
  curve.finish();
  return curve;
}

// "yaw  0.5027" or "camPos  1 0 -3.5", with the camera's tracks marked.
std::string valueLine(const TrackRef& track, Vec3 value) {
  char text[128];
  if (trackComponents(track) == 1)
    std::snprintf(text, sizeof text, "%s%s  %.5g", track.name, track.camera ? " (camera)" : "", value.x);
  else
    std::snprintf(text, sizeof text, "%s%s  %.5g %.5g %.5g", track.name, track.camera ? " (camera)" : "", value.x,
                  value.y, value.z);
  return text;
}

// The key the fields edit: the selected one, else the one at the frame's time; null when none.
const TrackKey* editedKey(const TrackPanelFacts& facts, const TrackKeys& keys) {
  uint32_t time = facts.keySelected ? facts.selectedKey : facts.nowCs;
  for (const TrackKey& key : keys.keys)
    if (key.time == time) return &key;
  return nullptr;
}

// Widens low .. high to take in the first components numbers of v.
void include(const float* v, int components, float& low, float& high) {
  for (int c = 0; c < components; ++c) {
    low = std::min(low, v[c]);
    high = std::max(high, v[c]);
  }
}

// Plots keys of track in the box at origin of size: the curve of each number over the span,
// the keys within it as points, the frame's time as a line. Returns the value range shown.
float plotKeys(ImDrawList* draw, ImVec2 origin, ImVec2 size, const TrackPanelFacts& facts, const TrackRef& track,
               const TrackKeys& keys, bool selected) {
  int components = trackComponents(track);
  KeyframeTrack<Vec3> curve = curveOf(keys);
  float times[kPlotSamples];
  Vec3 samples[kPlotSamples];
  float low = INFINITY, high = -INFINITY;
  for (int s = 0; s < kPlotSamples; ++s) {
    times[s] = static_cast<float>(static_cast<double>(facts.spanCs) * s / (kPlotSamples - 1));
    samples[s] = curve.evaluate(static_cast<uint32_t>(times[s]));
    const float numbers[kMaxTrackComponents] = {samples[s].x, samples[s].y, samples[s].z};
    include(numbers, components, low, high);
  }
  for (const TrackKey& key : keys.keys)
    if (key.time <= facts.spanCs) include(key.value, components, low, high);
  if (!(high - low > 0)) {
    low -= kFlatRange / 2;
    high += kFlatRange / 2;
  }
  float span = std::max(static_cast<float>(facts.spanCs), 1.0f);
  auto x = [&](float cs) { return origin.x + cs / span * size.x; };
  auto y = [&](float v) { return origin.y + size.y - (v - low) / (high - low) * size.y; };

  ImVec2 corner(origin.x + size.x, origin.y + size.y);
  draw->AddRectFilled(origin, corner, selected ? kSelectedBack : kPlotBack);
  if (selected) draw->AddRect(origin, corner, kSelectedEdge);
  for (int c = 0; c < components; ++c) {
    ImU32 colour = components == 1 ? kFloatColour : kComponentColours[c];
    ImVec2 points[kPlotSamples];
    for (int s = 0; s < kPlotSamples; ++s) points[s] = ImVec2(x(times[s]), y(component(samples[s], c)));
    draw->AddPolyline(points, kPlotSamples, colour, 0, selected ? kSelectedLine : kLine);
    for (const TrackKey& key : keys.keys) {
      if (key.time > facts.spanCs) continue;
      bool chosen = selected && facts.keySelected && key.time == facts.selectedKey;
      draw->AddCircleFilled(ImVec2(x(static_cast<float>(key.time)), y(key.value[c])),
                            chosen ? kSelectedKeyRadius : kKeyRadius, chosen ? kSelectedKeyColour : colour);
    }
  }
  float now = x(static_cast<float>(std::min(facts.nowCs, facts.spanCs)));
  draw->AddLine(ImVec2(now, origin.y), ImVec2(now, corner.y), kNowColour);
  return high - low;
}

}  // namespace

void TrackPanel::drawFields(const TrackPanelFacts& facts, const TrackRef* track, const TrackKeys* keys, float range) {
  const TrackKey* key = track && keys ? editedKey(facts, *keys) : nullptr;
  bool active = false, changed = false, done = false;
  if (key) {
    int components = trackComponents(*track);
    if (!fieldsLive || requests.edited.time != key->time) {
      std::copy(key->value, key->value + components, fields);
      std::copy(key->tangent, key->tangent + components, fields + components);
    }
    ImGui::Text("key at %u (%.2f s): value, tangent", key->time, key->time / 100.0);
    float fieldWidth = plotWidth / (2 * components) - ImGui::GetStyle().ItemSpacing.x;
    for (int f = 0; f < 2 * components; ++f) {
      ImGui::PushID(f);
      if (f > 0) ImGui::SameLine();
      ImGui::SetNextItemWidth(fieldWidth);
      changed |= ImGui::DragFloat("##field", &fields[f], range / kFieldDragPixels, 0.0f, 0.0f, "%.5g",
                                  ImGuiSliderFlags_NoRoundToFormat);
      active |= ImGui::IsItemActive();
      done |= ImGui::IsItemDeactivatedAfterEdit();
      ImGui::PopID();
    }
    requests.edited = *key;
    std::copy(fields, fields + components, requests.edited.value);
    std::copy(fields + components, fields + 2 * components, requests.edited.tangent);
  } else if (track) {
    ImGui::TextUnformatted("no key here: K adds one");
  }
  fieldsLive = (fieldsLive || changed) && active && !done;
  requests.editing = fieldsLive;
  requests.editDone = requests.editDone || done;
}

void TrackPanel::draw(const TrackPanelFacts& facts, int width, float bottomEdge) {
  float panelWidth = std::min(width - 2 * kOverlayMargin, std::max(kPanelMinWidth, width * kPanelShare));
  ImGui::SetNextWindowPos(ImVec2(width - kOverlayMargin - panelWidth, kOverlayMargin));
  ImGui::SetNextWindowSize(ImVec2(panelWidth, std::max(bottomEdge - kOverlayMargin, kPlotMinHeight)));
  ImGui::SetNextWindowBgAlpha(kOverlayPanelAlpha);
  ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings |
                           ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_NoNav;
  ImGui::Begin("tracks", nullptr, flags);
  ImVec2 at = ImGui::GetWindowPos(), size = ImGui::GetWindowSize();
  left = at.x;
  top = at.y;
  right = at.x + size.x;
  bottom = at.y + size.y;
  plots = 0;
  spanCs = facts.spanCs;
  startMs = facts.startMs;
  const SceneTracks* tracks = facts.tracks;
  const TrackRef* selectedTrack = nullptr;
  const TrackKeys* selectedKeys = nullptr;
  float selectedRange = kFlatRange;
  if (!tracks || !tracks->file || tracks->count == 0 || !facts.keys) {
    ImGui::Text("%s: no tracks", facts.scene);
  } else {
    ImGui::Text("%s %.2f s%s", facts.scene, facts.nowCs / 100.0, facts.holding ? "  camera held: K keys it" : "");
    float lines = ImGui::GetTextLineHeightWithSpacing();
    float room = bottom - ImGui::GetCursorScreenPos().y - 4 * ImGui::GetFrameHeightWithSpacing() - 2 * lines;
    plotHeight = std::clamp(room / tracks->count - lines, kPlotMinHeight, kPlotMaxHeight);
    for (int i = 0; i < tracks->count; ++i) {
      const TrackRef& track = tracks->tracks[i];
      int index = findTrack(tracks->file->format, track.name);
      if (index < 0) continue;
      const TrackKeys& keys = facts.keys->tracks[index];
      bool selected = i == facts.selected;
      std::string line = valueLine(track, facts.values[i]);
      if (selected)
        ImGui::TextColored(kSelectedText, "%s", line.c_str());
      else
        ImGui::TextUnformatted(line.c_str());
      ImVec2 origin = ImGui::GetCursorScreenPos();
      plotLeft = origin.x;
      plotWidth = std::max(ImGui::GetContentRegionAvail().x, 1.0f);
      plotTops[plots] = origin.y;
      ImGui::Dummy(ImVec2(plotWidth, plotHeight));
      float range =
          plotKeys(ImGui::GetWindowDrawList(), origin, ImVec2(plotWidth, plotHeight), facts, track, keys, selected);
      keyTimes[plots].clear();
      for (const TrackKey& key : keys.keys)
        if (key.time <= facts.spanCs) keyTimes[plots].push_back(key.time);
      ++plots;
      if (!selected) continue;
      selectedTrack = &track;
      selectedKeys = &keys;
      selectedRange = range;
    }
  }
  drawFields(facts, selectedTrack, selectedKeys, selectedRange);
  if (facts.message[0]) ImGui::TextWrapped("%s", facts.message);
  if (facts.errors[0]) {
    ImGui::PushStyleColor(ImGuiCol_Text, kErrorText);
    ImGui::TextWrapped("%s", facts.errors);
    ImGui::PopStyleColor();
  }
  ImGui::End();
}

bool TrackPanel::covers(float x, float y) const { return visible && x >= left && x < right && y >= top && y < bottom; }

bool TrackPanel::click(float x, float y) {
  if (!covers(x, y)) return false;
  for (int i = 0; i < plots; ++i) {
    if (y < plotTops[i] || y >= plotTops[i] + plotHeight || x < plotLeft || x >= plotLeft + plotWidth) continue;
    double cs = std::clamp((x - plotLeft) / plotWidth, 0.0f, 1.0f) * spanCs;
    requests.selectTrack = i;
    requests.selectKey = false;
    // The nearest key within reach.
    double reach = kKeyReachPixels / plotWidth * spanCs;
    for (uint32_t time : keyTimes[i]) {
      double off = std::fabs(time - cs);
      if (off > reach || (requests.selectKey && off >= std::fabs(requests.keyTime - cs))) continue;
      requests.selectKey = true;
      requests.keyTime = time;
    }
    uint32_t at = requests.selectKey ? requests.keyTime : static_cast<uint32_t>(cs);
    requests.seekMs = startMs + static_cast<int64_t>(at) * 10;
  }
  return true;
}

TrackPanelRequests TrackPanel::take() {
  TrackPanelRequests taken = requests;
  requests.selectTrack = -1;
  requests.selectKey = false;
  requests.seekMs = -1;
  requests.editDone = false;
  return taken;
}
