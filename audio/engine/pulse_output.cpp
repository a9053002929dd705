// Playing straight to a PulseAudio server (or PipeWire speaking its protocol).
//
// Through SDL the mix is handed over by SDL's audio thread, which libpulse's
// event thread wakes at normal priority, and SDL asks the server to keep one
// 512-frame buffer queued. With both cores busy (load average near 10) a
// steady tone had 94 dropouts a minute that way, 258 with two more busy
// processes, while the engine's stream rings never ran dry; four buffers
// through SDL still had 26 and 56, and a new sound then took 60 ms to the
// sink. Even with the server's own threads at real-time priority SDL's path
// had 44 a minute beside two busy processes.
//
// Here the mix is made in libpulse's event thread itself, when the server
// asks for more, and that thread gets the real-time priority the mixing
// thread gets elsewhere. The mixer still works in 512-frame blocks; the
// server is asked to keep kTargetBlocks of them queued. With that (and the
// server at real-time priority) no dropout in a minute of tone, quiet or
// beside two busy processes, at load 9 to 14, and a new sound at the sink
// 16 ms after it is started (median; 21 ms worst). With the server at its
// usual priorities the gaps came from the server's side: no underflow was
// reported to us, and a plain client with 32 ms queued had them too.
//
// PipeWire's PulseAudio server, pipewire-pulse, is told from PulseAudio by
// its name before the stream is made, since it reads the stream's buffer
// attributes otherwise (see kPipeWireRequestBytes); its requests are then
// answered frame for frame. The gaps a steady tone had there, a few a minute,
// were of two kinds: silence put in while pipewire-pulse's main thread, which
// moves the clients' writes into their queues, came late behind busy
// processes (that thread needs the real-time priority PulseAudio's does), and
// a whole 128-frame graph cycle of ours lost, which stopped with the requests
// below. With both, no faulty block in a minute of tone, quiet or beside two
// busy processes, whether the graph ran at 128 or 256 frames.
//
// When the server goes away (restarted, or our sink removed) the game goes on
// on a silent clock from that moment, whether or not the server had asked for
// any sound yet, and the server is asked again every two seconds from
// libpulse's event thread; a new stream takes over from the clock at the
// frame it reached. The game's thread and the clock never wait for that.
//
// libpulse is opened on first use, so that a machine without it starts as
// fast and falls back to SDL's drivers.

#include <pthread.h>
#include <pulse/context.h>
#include <pulse/def.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/operation.h>
#include <pulse/sample.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <sched.h>
#include <sys/time.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "audio/engine/internal.h"
#include "audio/engine/opened_library.h"

namespace snd {

namespace {

// The server keeps this many 512-frame blocks queued: 21 ms, enough for the
// measurements above.
constexpr int kTargetBlocks = 2;

// While the server is away the game plays on a silent clock and asks the
// server again this often; a try that has had no answer after kGiveUpSeconds
// (a server that takes the connection and then hangs, or is just going away)
// is dropped for a new one.
constexpr int kRetrySeconds = 2;
constexpr int kGiveUpSeconds = 5;

struct PulseApi {
    decltype(&pa_threaded_mainloop_new) mainloopNew = nullptr;
    decltype(&pa_threaded_mainloop_free) mainloopFree = nullptr;
    decltype(&pa_threaded_mainloop_start) mainloopStart = nullptr;
    decltype(&pa_threaded_mainloop_stop) mainloopStop = nullptr;
    decltype(&pa_threaded_mainloop_lock) lock = nullptr;
    decltype(&pa_threaded_mainloop_unlock) unlock = nullptr;
    decltype(&pa_threaded_mainloop_wait) wait = nullptr;
    decltype(&pa_threaded_mainloop_signal) signal = nullptr;
    decltype(&pa_threaded_mainloop_get_api) mainloopApi = nullptr;
    decltype(&pa_context_new) contextNew = nullptr;
    decltype(&pa_context_connect) contextConnect = nullptr;
    decltype(&pa_context_disconnect) contextDisconnect = nullptr;
    decltype(&pa_context_unref) contextUnref = nullptr;
    decltype(&pa_context_get_state) contextState = nullptr;
    decltype(&pa_context_set_state_callback) contextOnState = nullptr;
    decltype(&pa_context_errno) contextErrno = nullptr;
    decltype(&pa_context_get_server) contextServer = nullptr;
    decltype(&pa_strerror) errorText = nullptr;
    decltype(&pa_stream_new) streamNew = nullptr;
    decltype(&pa_stream_connect_playback) streamConnect = nullptr;
    decltype(&pa_stream_disconnect) streamDisconnect = nullptr;
    decltype(&pa_stream_unref) streamUnref = nullptr;
    decltype(&pa_stream_get_state) streamState = nullptr;
    decltype(&pa_stream_set_state_callback) streamOnState = nullptr;
    decltype(&pa_stream_set_write_callback) streamOnWrite = nullptr;
    decltype(&pa_stream_write) streamWrite = nullptr;
    decltype(&pa_context_get_server_info) serverInfo = nullptr;
    decltype(&pa_operation_unref) operationUnref = nullptr;

    // False when libpulse is missing or lacks one of these.
    bool load() {
        OpenedLibrary library("libpulse.so.0");
        library.find(mainloopNew, "pa_threaded_mainloop_new");
        library.find(mainloopFree, "pa_threaded_mainloop_free");
        library.find(mainloopStart, "pa_threaded_mainloop_start");
        library.find(mainloopStop, "pa_threaded_mainloop_stop");
        library.find(lock, "pa_threaded_mainloop_lock");
        library.find(unlock, "pa_threaded_mainloop_unlock");
        library.find(wait, "pa_threaded_mainloop_wait");
        library.find(signal, "pa_threaded_mainloop_signal");
        library.find(mainloopApi, "pa_threaded_mainloop_get_api");
        library.find(contextNew, "pa_context_new");
        library.find(contextConnect, "pa_context_connect");
        library.find(contextDisconnect, "pa_context_disconnect");
        library.find(contextUnref, "pa_context_unref");
        library.find(contextState, "pa_context_get_state");
        library.find(contextOnState, "pa_context_set_state_callback");
        library.find(contextErrno, "pa_context_errno");
        library.find(contextServer, "pa_context_get_server");
        library.find(errorText, "pa_strerror");
        library.find(streamNew, "pa_stream_new");
        library.find(streamConnect, "pa_stream_connect_playback");
        library.find(streamDisconnect, "pa_stream_disconnect");
        library.find(streamUnref, "pa_stream_unref");
        library.find(streamState, "pa_stream_get_state");
        library.find(streamOnState, "pa_stream_set_state_callback");
        library.find(streamOnWrite, "pa_stream_set_write_callback");
        library.find(streamWrite, "pa_stream_write");
        library.find(serverInfo, "pa_context_get_server_info");
        library.find(operationUnref, "pa_operation_unref");
        return library.whole();
    }
};

const PulseApi* pulseApi() {
    static const PulseApi* api = [] {
        static PulseApi loaded;
        return loaded.load() ? &loaded : nullptr;
    }();
    return api;
}

constexpr std::size_t kBlockBytes = sizeof(float) * 2 * kDeviceBufferFrames;

// pipewire-pulse reads the same request otherwise than PulseAudio. Asked to
// keep kTargetBlocks blocks queued with requests of a block, it gives the
// stream a node latency of one request and queues three requests on top: a
// new sound reached the sink 38 ms after its start where PulseAudio took 16,
// a pause 52 ms where PulseAudio took 28. With requests of a quarter of the
// target (256 frames, also the least it takes) the node runs at 256 frames
// and three of them are queued: 25 ms and 31 to 40 ms. Less than that it
// does not give: a target of two requests and a few frames, or of one block
// with requests of a quarter block, came to the same 25 ms.
constexpr std::size_t kPipeWireRequestBytes = kTargetBlocks * kBlockBytes / 4;

class PulseOutput final : public Output {
public:
    explicit PulseOutput(const PulseApi& api) : pa(api), block(2 * kDeviceBufferFrames) {}

    ~PulseOutput() override {
        if (mainloop == nullptr) {
            return;
        }
        pa.lock(mainloop);
        if (retryTimer != nullptr) {
            pa_mainloop_api* loop = pa.mainloopApi(mainloop);
            loop->time_free(retryTimer);
        }
        dropConnection();
        pa.unlock(mainloop);
        pa.mainloopStop(mainloop);
        pa.mainloopFree(mainloop);
        fallback.reset();
    }

    // "silent" while the server is away and the game plays to a clock.
    const char* name() const override { return away.load() ? "silent" : "pulse"; }

    bool open(System* target) {
        system = target;
        mainloop = pa.mainloopNew();
        if (mainloop == nullptr) {
            return false;
        }
        if (!newContext() || pa.mainloopStart(mainloop) < 0) {
            return false;
        }
        pa.lock(mainloop);
        const bool ready = connect();
        opened = ready;
        if (ready) {
            noteServer();
        }
        pa.unlock(mainloop);
        return ready;
    }

private:
    // With the main loop locked (or not yet running): a context that
    // connects to the server the player's setup names (PULSE_SERVER,
    // client.conf); none is started for us.
    bool newContext() {
        context = pa.contextNew(pa.mainloopApi(mainloop), "Redavave");
        if (context == nullptr) {
            return false;
        }
        pa.contextOnState(context, &PulseOutput::onContextState, this);
        return pa.contextConnect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    }

    // With the main loop locked: the context and then the stream ready.
    bool connect() {
        for (;;) {
            const pa_context_state_t state = pa.contextState(context);
            if (state == PA_CONTEXT_READY) {
                break;
            }
            if (!PA_CONTEXT_IS_GOOD(state)) {
                return false;
            }
            pa.wait(mainloop);
        }
        if (!askServer()) {
            return false;
        }
        while (!serverKnown) {
            if (!PA_CONTEXT_IS_GOOD(pa.contextState(context))) {
                return false;
            }
            pa.wait(mainloop);
        }
        if (!newStream()) {
            return false;
        }
        for (;;) {
            const pa_stream_state_t state = pa.streamState(stream);
            if (state == PA_STREAM_READY) {
                return true;
            }
            if (!PA_STREAM_IS_GOOD(state)) {
                return false;
            }
            pa.wait(mainloop);
        }
    }

    // With the main loop locked and the context ready: the playback stream
    // asked for.
    bool newStream() {
        pa_sample_spec sampleFormat{};
        sampleFormat.format = PA_SAMPLE_FLOAT32NE;
        sampleFormat.rate = kMixRate;
        sampleFormat.channels = 2;
        stream = pa.streamNew(context, "Game", &sampleFormat, nullptr);
        if (stream == nullptr) {
            return false;
        }
        pa.streamOnState(stream, &PulseOutput::onStreamState, this);
        pa.streamOnWrite(stream, &PulseOutput::onWrite, this);
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.tlength = static_cast<std::uint32_t>(kTargetBlocks * kBlockBytes);
        attributes.prebuf = static_cast<std::uint32_t>(-1);
        attributes.minreq = static_cast<std::uint32_t>(onPipeWire ? kPipeWireRequestBytes : kBlockBytes);
        attributes.fragsize = static_cast<std::uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
        if (pa.streamConnect(stream, nullptr, &attributes, flags, nullptr, nullptr) < 0) {
            return false;
        }
        return true;
    }

    // With the main loop locked and the context ready: which server it is
    // (its stream is asked for according to that) is asked for.
    bool askServer() {
        asked = true;
        serverKnown = false;
        pa_operation* asking = pa.serverInfo(context, &PulseOutput::onServerInfo, this);
        if (asking == nullptr) {
            return false;
        }
        pa.operationUnref(asking);
        return true;
    }

    static void onServerInfo(pa_context*, const pa_server_info* info, void* user) {
        auto* self = static_cast<PulseOutput*>(user);
        self->onPipeWire = info != nullptr && info->server_name != nullptr &&
                           std::strstr(info->server_name, "PipeWire") != nullptr;
        self->serverKnown = true;
        self->pa.signal(self->mainloop, 0);
        if (self->opened && self->fallback != nullptr && self->stream == nullptr && !self->newStream()) {
            self->lose();
        }
    }

    // With the main loop locked: the stream and the context let go.
    void dropConnection() {
        asked = false;
        if (stream != nullptr) {
            pa.streamOnWrite(stream, nullptr, nullptr);
            pa.streamOnState(stream, nullptr, nullptr);
            pa.streamDisconnect(stream);
            pa.streamUnref(stream);
            stream = nullptr;
        }
        if (context != nullptr) {
            pa.contextOnState(context, nullptr, nullptr);
            pa.contextDisconnect(context);
            pa.contextUnref(context);
            context = nullptr;
        }
    }

    static void onContextState(pa_context*, void* user) {
        auto* self = static_cast<PulseOutput*>(user);
        self->pa.signal(self->mainloop, 0);
        self->stateChanged();
    }

    static void onStreamState(pa_stream*, void* user) {
        auto* self = static_cast<PulseOutput*>(user);
        self->pa.signal(self->mainloop, 0);
        self->stateChanged();
    }

    // Until open() has its stream it decides alone. From then on a server
    // that goes away, whether or not it has asked for sound yet, leaves the
    // game on a silent clock, and the server is asked again until it
    // answers; then the stream takes over from the clock.
    void stateChanged() {
        if (!opened) {
            return;
        }
        const pa_context_state_t contextState = pa.contextState(context);
        const pa_stream_state_t streamState = stream != nullptr ? pa.streamState(stream) : PA_STREAM_UNCONNECTED;
        if (!PA_CONTEXT_IS_GOOD(contextState) || (stream != nullptr && !PA_STREAM_IS_GOOD(streamState))) {
            lose();
        } else if (fallback == nullptr) {
            return;  // playing
        } else if (contextState == PA_CONTEXT_READY && stream == nullptr && !asked) {
            if (!askServer()) {
                lose();
            }
        } else if (streamState == PA_STREAM_READY) {
            comeBack();
        }
    }

    // The server went away, or a new try to reach it failed.
    void lose() {
        if (fallback == nullptr) {
            // The stream's requests stop; the clock's go on from the same
            // frame. Nothing here mixes, so the two never meet.
            fallback = openSilentOutput(system);
            away.store(true);
            const int error = context != nullptr ? pa.contextErrno(context) : PA_ERR_UNKNOWN;
            tell(OutputEvent::Lost, pa.errorText(error));
        }
        retryIn(kRetrySeconds);
    }

    // The new stream is ready and has not been asked for sound yet: the
    // clock stops here and the stream goes on from the frame it reached.
    void comeBack() {
        noteServer();
        if (retryTimer != nullptr) {
            pa_mainloop_api* loop = pa.mainloopApi(mainloop);
            loop->time_restart(retryTimer, nullptr);
        }
        fallback.reset();
        away.store(false);
        tell(OutputEvent::Back, nullptr);
    }

    // With the context ready: the address it reached, for the log.
    void noteServer() {
        const char* address = pa.contextServer(context);
        std::snprintf(server, sizeof server, "%s", address != nullptr ? address : "?");
    }

    // The log names the server that is there: PulseAudio itself or PipeWire's
    // PulseAudio server, as the last answer from that address said.
    void tell(OutputEvent event, const char* reason) {
        char detail[sizeof server + 128];
        std::snprintf(detail, sizeof detail, "%s server %s%s%s", onPipeWire ? "pipewire-pulse" : "PulseAudio", server,
                      reason != nullptr ? ": " : "", reason != nullptr ? reason : "");
        impl(system)->tellOutput(event, detail);
    }

    // A new try at the server `seconds` from now, in place of any earlier.
    void retryIn(int seconds) {
        timeval when{};
        gettimeofday(&when, nullptr);
        when.tv_sec += seconds;
        pa_mainloop_api* loop = pa.mainloopApi(mainloop);
        if (retryTimer == nullptr) {
            retryTimer = loop->time_new(loop, &when, &PulseOutput::onRetry, this);
        } else {
            loop->time_restart(retryTimer, &when);
        }
    }

    // In the event thread, so that neither the game nor the clock waits for
    // the server.
    static void onRetry(pa_mainloop_api*, pa_time_event*, const timeval*, void* user) {
        auto* self = static_cast<PulseOutput*>(user);
        self->dropConnection();
        if (!self->newContext()) {
            self->lose();
        } else if (PA_CONTEXT_IS_GOOD(self->pa.contextState(self->context))) {
            self->retryIn(kGiveUpSeconds);
        }
    }

    // The server wants `bytes` more, mixed at most a block at a time.
    static void onWrite(pa_stream* stream, std::size_t bytes, void* user) {
        auto* self = static_cast<PulseOutput*>(user);
        if (!self->raised) {
            self->raised = true;
            raiseMixingThread();
        }
        // PulseAudio's requests are answered in whole blocks, pipewire-pulse's
        // (half blocks) exactly.
        constexpr std::size_t kFrameBytes = 2 * sizeof(float);
        std::size_t frames = self->onPipeWire ? std::max<std::size_t>(1, bytes / kFrameBytes)
                                              : std::max<std::size_t>(1, bytes / kBlockBytes) * kDeviceBufferFrames;
        while (frames > 0) {
            const std::size_t piece = std::min<std::size_t>(frames, kDeviceBufferFrames);
            self->system->mix(self->block.data(), static_cast<int>(piece));
            self->pa.streamWrite(stream, self->block.data(), piece * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
            frames -= piece;
        }
    }

    const PulseApi& pa;
    System* system = nullptr;
    pa_threaded_mainloop* mainloop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    std::vector<float> block;
    bool raised = false;  // event thread only
    // The rest with the main loop locked.
    bool opened = false;
    bool asked = false;        // the server's kind asked for on this context
    bool serverKnown = false;  // and the answer in
    bool onPipeWire = false;   // pipewire-pulse, not PulseAudio itself
    std::unique_ptr<Output> fallback;  // the clock that mixes while the server is away
    pa_time_event* retryTimer = nullptr;
    char server[256] = {};
    std::atomic<bool> away{false};  // read by name() on the game's thread
};

}  // namespace

std::unique_ptr<Output> openPulseOutput(System* system) {
    const PulseApi* api = pulseApi();
    if (api == nullptr) {
        return nullptr;
    }
    auto output = std::make_unique<PulseOutput>(*api);
    if (!output->open(system)) {
        return nullptr;
    }
    return output;
}

}  // namespace snd
