// The maker's mode: its frame loop, keys, screenshots, the music that follows the clock, and
// the tracks edited from the picture.
#include "demo/dev_mode.h"

#include "base/gl.h"
#include "base/png_writer.h"
#include "demo/dev_overlay.h"
#include "demo/dev_tracks.h"
#include "render/frame_readback.h"
#include "render/gpu_timer.h"
#include "render/shader_reload.h"
#include "show/replay.h"
#include "show/scene_table.h"
#include "show/show.h"
#include "show/transport.h"
#include "show/virtual_clock.h"
#include "synth/audio.h"
#include "synth/sample_rate.h"
#include "synth/song_player.h"

#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The transport command of a key, if it has one.
bool transportCommandFor(const SDL_keysym& key, TransportCommand& command) {
  const bool shift = (key.mod & KMOD_SHIFT) != 0;
  switch (key.sym) {
    case SDLK_SPACE: command = TransportCommand::PauseResume; return true;
    case SDLK_LEFT: command = shift ? TransportCommand::BackLong : TransportCommand::Back; return true;
    case SDLK_RIGHT: command = shift ? TransportCommand::ForwardLong : TransportCommand::Forward; return true;
    case SDLK_PAGEUP: command = TransportCommand::PreviousScene; return true;
    case SDLK_PAGEDOWN: command = TransportCommand::NextScene; return true;
    case SDLK_HOME: command = TransportCommand::Home; return true;
    case SDLK_COMMA: command = TransportCommand::FrameBack; return true;
    case SDLK_PERIOD: command = TransportCommand::FrameForward; return true;
    default: return false;
  }
}

// Writes the finished frame in the back buffer to path as the capture tool writes its
// pictures. Never over an existing file or through a link: the picture is written under a
// temporary name and linked to path, which fails rather than replace anything that appeared
// meanwhile. False with a reason in error.
bool saveFrame(const std::string& path, int width, int height, std::string& error) {
  struct stat info;
  if (lstat(path.c_str(), &info) == 0) {
    error = path + " already exists; it is left as it is";
    return false;
  }
  std::vector<uint8_t> rgb;
  readFrame(width, height, rgb);
  PendingOutputs pending;  // removes the temporary on every return
  if (!writePng(path, width, height, rgb.data(), error, &pending)) return false;
  if (link(pending.files[0].writePath.c_str(), path.c_str()) != 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

// The show's host in the maker's mode: the frame's tick comes from the transport, every scene
// counts from its own timeline tick (as in the capture tool), and a finished frame is saved
// when asked, then covered by the overlay, then shown.
class DevHost : public ShowHost {
 public:
  SdlHost& window;
  Show& show;
  const SongPlayer& song;
  bool muted = false;
  uint32_t frameMs = 0;            // the grid frame's tick: what is drawn
  uint32_t showMs = 0;             // the show time it stands for: what F12's file is named after
  bool paused = false;             // the transport stands still
  bool screenshotWanted = false;   // F12 was pressed
  Clock::time_point frameStart;    // when this frame's work began
  GpuFrameTimer gpu;
  DevOverlay overlay;
  DevTracks tracks;
  std::string trackErrors;         // tracks.errorText() for the overlay of this frame

  DevHost(SdlHost& w, Show& s, const SongPlayer& p) : window(w), show(s), song(p) {}
  bool pollQuit() override { return false; }  // the loop reads the events before each frame
  uint32_t ticks() override { return frameMs; }
  uint32_t sceneClockStart(uint32_t entryMs, uint32_t /*now*/) override { return entryMs; }
  void beforeRender(Scene& scene) override { tracks.prepare(scene, show.position - 1, frameMs); }
  void present() override;

 private:
  void saveScreenshot();
  void describeTracks(TrackPanelFacts& facts, SceneTracks& list);
};

void DevHost::saveScreenshot() {
  std::string path = stillFileName(showMs);
  std::string error;
  if (saveFrame(path, show.width, show.height, error))
    std::fprintf(stderr, "demo: saved %s\n", path.c_str());
  else
    std::fprintf(stderr, "demo: %s\n", error.c_str());
}

// What the track panel shows of the scene just drawn; list holds its tracks.
void DevHost::describeTracks(TrackPanelFacts& facts, SceneTracks& list) {
  int entry = show.position - 1;
  Scene& scene = *show.current;
  scene.listTracks(list);
  facts.scene = kSceneTable[entry].shortName;
  facts.tracks = &list;
  facts.keys = list.file ? &tracks.shownKeys(list) : nullptr;
  for (int i = 0; i < list.count; ++i) facts.values[i] = trackValue(list.tracks[i], scene.centiseconds);
  facts.nowCs = scene.centiseconds;
  facts.spanCs = (show.timeline[entry + 1].startMs - show.timeline[entry].startMs) / 10;
  facts.startMs = show.timeline[entry].startMs;
  facts.selected = tracks.selected;
  facts.keySelected = tracks.keySelected;
  facts.selectedKey = tracks.selectedKey;
  facts.holding = tracks.hold.active;
  facts.message = tracks.message.c_str();
  facts.errors = trackErrors.c_str();
}

void DevHost::present() {
  double cpuMs = std::chrono::duration<double, std::milli>(Clock::now() - frameStart).count();
  gpu.endFrame();
  if (screenshotWanted) saveScreenshot();  // before the overlay covers the frame
  screenshotWanted = false;
  if (overlay.visible || overlay.panel.visible) {
    OverlayFacts facts;
    SceneTracks list;  // read by the panel while it draws
    trackErrors = tracks.errorText();
    facts.trackError = trackErrors.c_str();
    if (overlay.panel.visible) describeTracks(facts.panel, list);
    facts.showMs = showMs;
    facts.paused = paused;
    facts.entry = show.position - 1;
    facts.sceneMs = show.current->milliseconds;
    facts.cpuMs = cpuMs;
    facts.gpuMs = gpu.lastMs;
    show.current->reportCounters(facts.counters);
    facts.songRendered = song.totalFrames ? static_cast<double>(song.renderedFrames.load()) / song.totalFrames : 1.0;
    facts.muted = muted;
    facts.shaderError = lastShaderError().c_str();  // as the frame's own builds left it
    overlay.draw(show.timeline, facts, show.width, show.height);
  }
  checkGlError(__LINE__);
  window.present();
}

// The maker's session: the show, its clock and its music.
struct DevSession {
  Show show;
  Transport transport;
  SongPlayer song;
  DevHost host;
  bool audio = false;       // an audio device plays the song
  int firstEntry = 0;       // the timeline entry the scenes were last rewound to
  bool drawnAny = false;    // a frame has been drawn
  uint32_t drawnMs = 0;     // tick of the last frame drawn
  bool jumpUntimed = false;  // a key jumped and the frame at its time is not drawn yet
  Clock::time_point jumpKeyAt;  // when that key was read
  std::clock_t jumpCpuAt = 0;   // the process's CPU time then, all threads (the renderer's too)

  explicit DevSession(SdlHost& window) : host(window, show, song) {}
};

// Points the music at the transport: from the sample of its time, playing or paused.
void followMusic(DevSession& s) {
  pauseSong(s.song, s.transport.paused, sampleFrameAt(s.transport.anchorMs));
}

// A mouse event on the picture steers the current scene's camera: a button held and moved
// turns it, the wheel moves it in and out. True when event was the mouse's.
bool steerCamera(DevSession& s, const SDL_Event& event) {
  DevTracks& tracks = s.host.tracks;
  Scene* scene = s.show.current;
  bool wheel = (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP) &&
               (event.button.button == SDL_BUTTON_WHEELUP || event.button.button == SDL_BUTTON_WHEELDOWN);
  switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
      if (!wheel) tracks.pressButton(true);
      if (wheel && scene) tracks.dolly(*scene, event.button.button == SDL_BUTTON_WHEELUP ? 1 : -1);
      return true;
    case SDL_MOUSEBUTTONUP:
      if (!wheel) tracks.pressButton(false);
      return true;
    case SDL_MOUSEMOTION:
      if (scene) tracks.turn(*scene, event.motion.xrel, event.motion.yrel);
      return true;
    default:
      return false;
  }
}

// The track keys: Tab selects a track, K keys it (or the held camera), Delete removes its key
// at the frame's time (where it has none there, its key selected in the panel), Ctrl+Z undoes.
// True when key was one of them.
bool editTracks(DevSession& s, const SDL_keysym& key) {
  DevTracks& tracks = s.host.tracks;
  Scene* scene = s.show.current;
  if (!scene) return false;
  if (key.sym == SDLK_TAB) {
    tracks.cycle(*scene, (key.mod & KMOD_SHIFT) ? -1 : 1);
  } else if (key.sym == SDLK_k) {
    tracks.keyNow(*scene);
  } else if (key.sym == SDLK_DELETE) {
    tracks.removeNow(*scene);
  } else if (key.sym == SDLK_z && (key.mod & KMOD_CTRL)) {
    tracks.undo();
  } else {
    return false;
  }
  return true;
}

// Takes what the maker did in the track panel: a track or key clicked (and its time sought),
// a key's field changing (drawn live) or let go (written).
void takePanelRequests(DevSession& s) {
  TrackPanelRequests requests = s.host.overlay.panel.take();
  DevTracks& tracks = s.host.tracks;
  if (requests.selectTrack >= 0) {
    tracks.selected = requests.selectTrack;
    tracks.keySelected = requests.selectKey;
    tracks.selectedKey = requests.keyTime;
  }
  if (requests.seekMs >= 0) {
    seekTransport(s.transport, requests.seekMs, SDL_GetTicks());
    followMusic(s);
  }
  if (requests.editDone && s.show.current) {
    tracks.setSelectedKey(*s.show.current, requests.edited);
  } else if (requests.editing) {
    tracks.preview.active = true;
    tracks.preview.entry = tracks.entry;
    tracks.preview.track = tracks.selected;
    tracks.preview.key = requests.edited;
  } else {
    tracks.preview.active = false;
  }
}

// Reads the pending events; false when the mode must end (Escape, the window closed).
bool handleEvents(DevSession& s) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_QUIT) return false;
    if (s.host.overlay.handleEvent(event) || steerCamera(s, event) || event.type != SDL_KEYDOWN) continue;
    const SDL_keysym& key = event.key.keysym;
    TransportCommand command;
    if (key.sym == SDLK_ESCAPE) return false;
    if (editTracks(s, key)) continue;
    if (key.sym == SDLK_F1) {
      s.host.overlay.toggle();
    } else if (key.sym == SDLK_F2) {
      s.host.overlay.togglePanel();
    } else if (key.sym == SDLK_F12) {
      s.host.screenshotWanted = true;
    } else if (transportCommandFor(key, command)) {
      if (applyTransport(s.transport, s.show.timeline, command, SDL_GetTicks())) {
        s.jumpUntimed = true;
        s.jumpKeyAt = Clock::now();
        s.jumpCpuAt = std::clock();
      }
      followMusic(s);
    }
  }
  int64_t clicked = s.host.overlay.takeSeekRequest();
  if (clicked >= 0) {
    seekTransport(s.transport, clicked, SDL_GetTicks());
    followMusic(s);
  }
  takePanelRequests(s);
  return true;
}

// Says how long the key's jump took to reach the screen: from reading the key to the end of
// the first frame at its time (a key waits up to one frame before it is read), and the CPU
// time the process spent on it, which other work on the machine does not inflate.
void reportJump(DevSession& s, uint32_t ms) {
  s.jumpUntimed = false;
  double took = std::chrono::duration<double, std::milli>(Clock::now() - s.jumpKeyAt).count();
  double cpu = 1000.0 * static_cast<double>(std::clock() - s.jumpCpuAt) / CLOCKS_PER_SEC;
  int entry = entryAt(s.show.timeline, ms);
  std::fprintf(stderr, "demo: %s (%s) drawn %.0f ms after the key, %.0f ms of CPU\n", formatShowTime(ms).c_str(),
               entry < kSceneCount ? kSceneTable[entry].shortName : "end", took, cpu);
}

// Draws the frame of the transport's present time, with the shaders and track files saved
// since the last one.
void drawFrame(DevSession& s) {
  reloadChangedShaders();
  s.host.tracks.reloadChanged();
  uint32_t tick = SDL_GetTicks();
  uint32_t ms = transportMs(s.transport, tick);
  if (!s.transport.paused && ms >= kLastShowMs) {
    // The end holds the last frame, so the maker can go back from there.
    applyTransport(s.transport, s.show.timeline, TransportCommand::PauseResume, tick);
    followMusic(s);
  }
  uint32_t frameMs = frameOnScreenMs(ms);
  if (s.drawnAny) jumpShow(s.show, s.firstEntry, s.drawnMs, frameMs);
  s.host.frameMs = frameMs;
  s.host.showMs = ms;
  s.host.paused = s.transport.paused;
  s.host.frameStart = Clock::now();
  s.host.gpu.beginFrame();
  stepFrame(s.show, s.host);
  s.drawnMs = frameMs;
  s.drawnAny = true;
  if (s.jumpUntimed) reportJump(s, ms);
}

}  // namespace

int runDevMode(const DemoOptions& options, SdlHost& window) {
  auto session = std::make_unique<DevSession>(window);
  DevSession& s = *session;
  buildDemoTimeline(s.show);
  s.show.width = window.surface->w;
  s.show.height = window.surface->h;
  s.host.muted = options.mute;

  // The music's random draws come before the scenes', as in the plain show; the device plays
  // a copy of the song rendered on its own synthesizer.
  prepareMusic();
  startSongRender(s.song, sampleFrameAt(kShowEndMs));
  s.audio = !options.mute;
  if (s.audio && openAudioDevice(songAudioCallback, &s.song) != 0) return -1;

  s.host.overlay.start();
  s.host.gpu.start();
  startShaderWatch();  // says why when it cannot; the mode goes on without reloads
  s.host.tracks.start();
  SDL_EnableUNICODE(1);  // the panel's fields take typed text
  seekShow(s.show, options.fromMs);
  s.firstEntry = s.show.position;
  startTransport(s.transport, options.fromMs, SDL_GetTicks());
  followMusic(s);
  if (s.audio) SDL_PauseAudio(0);

  while (handleEvents(s)) drawFrame(s);

  // The callback stops for good before the song it reads goes.
  if (s.audio) SDL_CloseAudio();
  stopSongRender(s.song);
  stopShaderWatch();
  s.host.tracks.stop();
  s.host.gpu.stop();
  s.host.overlay.stop();
  return 0;
}
