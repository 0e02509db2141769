// The page's sound output (a row of audio/sound_output.h): the module rendered on
// the main thread by MusicRenderFrames, posted to the page's AudioWorklet
// (tivrel-worklet.js) in chunks, kept WebAudioLeadSeconds ahead of what the worklet
// has played. The page script (tivrel-page.js) gives the module object
// `tivrelAudio`: ready(), post(Float32Array), clear(), hold(bool), played(),
// latency() (the context's reported output latency in seconds), volume(0..1),
// underruns(), close().
//
// Heard = rendered - buffered - output latency, as natively: buffered is what was
// posted and not yet played (the worklet reports what it took, extrapolated on the
// context's clock between reports). Never below the frame the output was started at,
// never backwards, never above what was rendered.
#include "web/web_audio_output.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "audio/audio.h"
#include "audio/sound_output.h"

EM_JS(int, JsAudioReady, (), { return Module.tivrelAudio && Module.tivrelAudio.ready() ? 1 : 0; });
EM_JS(void, JsAudioPost, (const int16_t* samples, int frames), {
    const source = HEAP16.subarray(samples >> 1, (samples >> 1) + frames * 2);
    const chunk = new Float32Array(frames * 2);
    for (let i = 0; i < chunk.length; i++)
        chunk[i] = source[i] / 32768;
    Module.tivrelAudio.post(chunk);
});
EM_JS(void, JsAudioClear, (), { Module.tivrelAudio.clear(); });
EM_JS(void, JsAudioHold, (int hold), { Module.tivrelAudio.hold(hold != 0); });
EM_JS(double, JsAudioPlayed, (), { return Module.tivrelAudio.played(); });
EM_JS(double, JsAudioLatency, (), { return Module.tivrelAudio.latency(); });
EM_JS(void, JsAudioVolume, (double gain), { Module.tivrelAudio.volume(gain); });
EM_JS(int, JsAudioUnderruns, (), { return Module.tivrelAudio ? Module.tivrelAudio.underruns() : 0; });
EM_JS(void, JsAudioClose, (), {
    if (Module.tivrelAudio)
        Module.tivrelAudio.close();
});

namespace {

constexpr double WebAudioLeadSeconds = 0.2;
constexpr int ChunkFrames = 1024;

struct WebAudioState {
    bool pulling = false;
    uint64_t rendered = 0;     // song frames rendered (MusicRenderFrames)
    uint64_t sent = 0;         // frames posted since the last clear
    uint64_t floorFrame = 0;   // heard never goes below this
    uint64_t heardLast = 0;    // the last answer of framesHeard
    uint64_t heardAtHalt = 0;
    bool halted = false;
};

WebAudioState Web;

uint64_t Buffered()
{
    const double played = std::min(JsAudioPlayed(), double(Web.sent));
    return Web.sent - uint64_t(std::max(played, 0.0));
}

bool WebAudioOpen(std::string* reason)
{
    if (JsAudioReady() == 0) {
        *reason = "no sound device (this browser offers no Web Audio)";
        return false;
    }
    Web = WebAudioState{};
    return true;
}

void WebAudioStart(uint64_t heardFrame)
{
    // Going on after a pause keeps the frames queued; any other start (the song's
    // start, a restart at a scene) begins with an empty queue.
    const bool resume = Web.halted && heardFrame == Web.heardAtHalt && heardFrame != 0;
    if (!resume) {
        JsAudioClear();
        Web.sent = 0;
        Web.rendered = heardFrame;
    }
    Web.floorFrame = Web.heardLast = heardFrame;
    Web.halted = false;
    Web.pulling = true;
    JsAudioHold(0);
    PumpWebAudio();
}

void WebAudioHalt()
{
    if (!Web.pulling)
        return;
    Web.heardAtHalt = Web.heardLast;
    JsAudioHold(1);
    Web.pulling = false;
    Web.halted = true;
}

int WebAudioLatencyFrames() { return int(Buffered()) + int(JsAudioLatency() * MusicSampleRate + 0.5); }

uint64_t WebAudioFramesHeard()
{
    if (!Web.pulling)
        return Web.heardLast;
    const uint64_t behind = uint64_t(WebAudioLatencyFrames());
    uint64_t heard = Web.rendered > behind ? Web.rendered - behind : 0;
    heard = std::clamp(heard, std::max(Web.floorFrame, Web.heardLast), std::max(Web.rendered, Web.floorFrame));
    Web.heardLast = heard;
    return heard;
}

void WebAudioSetVolume(int percent) { JsAudioVolume(std::clamp(percent, 0, 100) / 100.0); }

void WebAudioClose()
{
    Web.pulling = false;
    JsAudioClose();
}

}   // namespace

void PumpWebAudio()
{
    if (!Web.pulling)
        return;
    const uint64_t lead = uint64_t(WebAudioLeadSeconds * MusicSampleRate);
    static int16_t chunk[ChunkFrames * 2];
    for (uint64_t buffered = Buffered(); buffered < lead; buffered += ChunkFrames) {
        Web.rendered = MusicRenderFrames(chunk, ChunkFrames);
        JsAudioPost(chunk, ChunkFrames);
        Web.sent += ChunkFrames;
    }
}

int WebAudioUnderruns() { return JsAudioUnderruns(); }

const SoundOutput WebAudioSoundOutput = {"web audio",         WebAudioOpen,          WebAudioStart,     WebAudioHalt,
                                         WebAudioFramesHeard, WebAudioLatencyFrames, WebAudioSetVolume, WebAudioClose};
