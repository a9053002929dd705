// Playing straight into a PipeWire graph, through PipeWire's own client
// library.
//
// Through pipewire-pulse, PipeWire's PulseAudio server, the least a stream
// gets is requests of 256 frames with three of them queued on top of the
// node's own latency: a new sound reached the sink some 25 ms after its
// start where PulseAudio took 17, a pause 40 to 60 ms where it took 29 to 50.
// A stream of PipeWire's own has no queue of that kind: the graph asks it for
// one cycle's frames at a time, and it asks the graph for cycles of
// kNodeLatency frames. The mix is made in the stream's real-time thread, in
// the callback in which PipeWire asks for it, straight into PipeWire's buffer:
// the callback never allocates, locks or waits (it took 0.15 ms at most).
// With that a new sound was at the sink 8 ms after its start (median; the
// graph at 256 frames), 4 ms with a recorder of 5 ms taking the graph down to
// 128, where PulseAudio took 16 to 18 in the same runs. At 256 frames no
// faulty block in half a minute of tone, quiet or beside two busy processes.
// At 128 frames every client of the graph has 2.7 ms to answer each cycle,
// and on a two-core virtual machine the stream came too late now and then
// (0 to 4 faulty blocks in half a minute; the recorder and the server's own
// driver missed cycles too): pipewire-pulse's queue hides that, for 15 ms
// more delay. (Another program that changes the graph's cycle while the game
// plays costs a gap of 32 to 64 frames, as it does PipeWire's own pw-play.)
//
// The stream mixes only while it runs (PipeWire's "streaming"). Before the
// session manager has linked it to a sink, with no sink to link it to, and
// while the server is away, the silent clock keeps the game's time instead;
// a MixHandover sees that only one of them mixes at a time.
//
// When the server goes away (restarted, or our connection ended) the game
// goes on on the clock from that moment, whether or not the stream had been
// asked for any sound yet, and the server is asked again every two seconds
// from the library's loop thread; a try that has not reached the server
// after kGiveUpSeconds is dropped for a new one. The stream takes over from
// the clock at the frame it reached once it runs again.
//
// libpipewire is opened on first use, and only when the server's socket is
// there, so that a machine without PipeWire starts as fast.

#include <pipewire/context.h>
#include <pipewire/core.h>
#include <pipewire/keys.h>
#include <pipewire/loop.h>
#include <pipewire/pipewire.h>
#include <pipewire/properties.h>
#include <pipewire/stream.h>
#include <pipewire/thread-loop.h>
#include <sched.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "audio/engine/internal.h"
#include "audio/engine/opened_library.h"
#include "audio/engine/pipewire_format.h"

// PipeWire's loop and core calls are macros built on GNU statement
// expressions, which clang's pedantic warnings name at each use.
#ifdef __clang__
#pragma clang diagnostic ignored "-Wgnu-statement-expression"
#endif

namespace snd {

namespace {

// The graph's cycle the stream asks for: 5.3 ms. The graph runs at the
// least any of its nodes asks for (a recorder or voice chat of the player's
// may ask for less).
constexpr const char* kNodeLatency = "256/48000";

// How long open() waits for the server to take the stream, and, while the
// server is away, how often it is asked again and when a try that has not
// reached it is dropped for a new one.
constexpr int kOpenSeconds = 2;
constexpr int kRetrySeconds = 2;
constexpr int kGiveUpSeconds = 5;

constexpr std::uint32_t kFrameBytes = 2 * sizeof(float);

struct PipeWireApi {
    decltype(&pw_init) init = nullptr;
    decltype(&pw_thread_loop_new) loopNew = nullptr;
    decltype(&pw_thread_loop_destroy) loopDestroy = nullptr;
    decltype(&pw_thread_loop_start) loopStart = nullptr;
    decltype(&pw_thread_loop_stop) loopStop = nullptr;
    decltype(&pw_thread_loop_lock) lock = nullptr;
    decltype(&pw_thread_loop_unlock) unlock = nullptr;
    decltype(&pw_thread_loop_signal) signal = nullptr;
    decltype(&pw_thread_loop_get_time) deadlineIn = nullptr;
    decltype(&pw_thread_loop_timed_wait_full) waitUntil = nullptr;
    decltype(&pw_thread_loop_get_loop) loopOf = nullptr;
    decltype(&pw_context_new) contextNew = nullptr;
    decltype(&pw_context_destroy) contextDestroy = nullptr;
    decltype(&pw_context_connect) connect = nullptr;
    decltype(&pw_core_disconnect) disconnect = nullptr;
    decltype(&pw_properties_new) propertiesNew = nullptr;
    decltype(&pw_stream_new) streamNew = nullptr;
    decltype(&pw_stream_destroy) streamDestroy = nullptr;
    decltype(&pw_stream_add_listener) streamListen = nullptr;
    decltype(&pw_stream_connect) streamConnect = nullptr;
    decltype(&pw_stream_get_state) streamState = nullptr;
    decltype(&pw_stream_dequeue_buffer) dequeue = nullptr;
    decltype(&pw_stream_queue_buffer) queue = nullptr;

    // False when libpipewire is missing or lacks one of these.
    bool load() {
        OpenedLibrary library("libpipewire-0.3.so.0");
        library.find(init, "pw_init");
        library.find(loopNew, "pw_thread_loop_new");
        library.find(loopDestroy, "pw_thread_loop_destroy");
        library.find(loopStart, "pw_thread_loop_start");
        library.find(loopStop, "pw_thread_loop_stop");
        library.find(lock, "pw_thread_loop_lock");
        library.find(unlock, "pw_thread_loop_unlock");
        library.find(signal, "pw_thread_loop_signal");
        library.find(deadlineIn, "pw_thread_loop_get_time");
        library.find(waitUntil, "pw_thread_loop_timed_wait_full");
        library.find(loopOf, "pw_thread_loop_get_loop");
        library.find(contextNew, "pw_context_new");
        library.find(contextDestroy, "pw_context_destroy");
        library.find(connect, "pw_context_connect");
        library.find(disconnect, "pw_core_disconnect");
        library.find(propertiesNew, "pw_properties_new");
        library.find(streamNew, "pw_stream_new");
        library.find(streamDestroy, "pw_stream_destroy");
        library.find(streamListen, "pw_stream_add_listener");
        library.find(streamConnect, "pw_stream_connect");
        library.find(streamState, "pw_stream_get_state");
        library.find(dequeue, "pw_stream_dequeue_buffer");
        library.find(queue, "pw_stream_queue_buffer");
        if (!library.whole()) {
            return false;
        }
        init(nullptr, nullptr);
        return true;
    }
};

const PipeWireApi* pipewireApi() {
    static const PipeWireApi* api = [] {
        static PipeWireApi loaded;
        return loaded.load() ? &loaded : nullptr;
    }();
    return api;
}

// The server's socket as libpipewire finds it: PIPEWIRE_REMOTE, a path or a
// name in PIPEWIRE_RUNTIME_DIR, else in XDG_RUNTIME_DIR; the name is
// pipewire-0 unless PIPEWIRE_REMOTE gives another. Empty when there is no
// folder to look in.
std::string serverSocket() {
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    const std::string name = remote != nullptr && *remote != '\0' ? remote : "pipewire-0";
    if (name.front() == '/') {
        return name;
    }
    for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR"}) {
        const char* folder = std::getenv(variable);
        if (folder != nullptr && *folder != '\0') {
            return std::string(folder) + "/" + name;
        }
    }
    return {};
}

class PipeWireOutput final : public Output {
public:
    PipeWireOutput(const PipeWireApi& api, std::string address) : pw(api), socket(std::move(address)) {}

    ~PipeWireOutput() override {
        if (threadLoop != nullptr) {
            pw.lock(threadLoop);
            if (timer != nullptr) {
                pw_loop_destroy_source(loop, timer);
            }
            dropConnection();
            pw.unlock(threadLoop);
            pw.loopStop(threadLoop);
        }
        fallback.reset();
        if (context != nullptr) {
            pw.contextDestroy(context);
        }
        if (threadLoop != nullptr) {
            pw.loopDestroy(threadLoop);
        }
    }

    // "silent" while the server is away and the game plays to a clock.
    const char* name() const override { return away.load() ? "silent" : "pipewire"; }

    bool open(System* target) {
        system = target;
        threadLoop = pw.loopNew("redavave-sound", nullptr);
        if (threadLoop == nullptr) {
            return false;
        }
        loop = pw.loopOf(threadLoop);
        // client-rt.conf: the stream's thread at real-time priority, where
        // the system grants it.
        context = pw.contextNew(loop,
                                pw.propertiesNew(PW_KEY_CONFIG_NAME, "client-rt.conf", PW_KEY_APP_NAME, "Redavave",
                                                 nullptr),
                                0);
        if (context == nullptr || pw.loopStart(threadLoop) < 0) {
            return false;
        }
        pw.lock(threadLoop);
        timer = pw_loop_add_timer(loop, &PipeWireOutput::onTimer, this);
        bool ready = timer != nullptr && connect();
        timespec deadline{};
        pw.deadlineIn(threadLoop, &deadline, static_cast<std::int64_t>(kOpenSeconds) * SPA_NSEC_PER_SEC);
        while (ready && !reached && !failed) {
            ready = pw.waitUntil(threadLoop, &deadline) == 0;
        }
        ready = ready && reached && !failed;
        opened = ready;
        if (ready) {
            follow(pw.streamState(stream, nullptr));
        }
        pw.unlock(threadLoop);
        return ready;
    }

private:
    // With the loop locked: a connection to the server and a stream on it
    // asked for; false when the server is not there.
    bool connect() {
        reached = false;
        failed = false;
        core = pw.connect(context, nullptr, 0);
        if (core == nullptr) {
            std::snprintf(reason, sizeof reason, "%s", std::strerror(errno));
            return false;
        }
        static const pw_core_events coreEvents = [] {
            pw_core_events events{};
            events.version = PW_VERSION_CORE_EVENTS;
            events.error = &PipeWireOutput::onCoreError;
            return events;
        }();
        coreListener = {};
        pw_core_add_listener(core, &coreListener, &coreEvents, this);

        // The player's mixer shows the stream under the game's name and icon.
        pw_properties* properties =
            pw.propertiesNew(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Game",
                             PW_KEY_NODE_LATENCY, kNodeLatency, PW_KEY_APP_NAME, "Redavave", PW_KEY_APP_ICON_NAME,
                             "redavave", nullptr);
        pw_stream* made = pw.streamNew(core, "Game", properties);
        if (made == nullptr) {
            std::snprintf(reason, sizeof reason, "no stream: %s", std::strerror(errno));
            return false;
        }
        static const pw_stream_events streamEvents = [] {
            pw_stream_events events{};
            events.version = PW_VERSION_STREAM_EVENTS;
            events.state_changed = &PipeWireOutput::onStreamState;
            events.process = &PipeWireOutput::onProcess;
            return events;
        }();
        streamListener = {};
        pw.streamListen(made, &streamListener, &streamEvents, this);
        stream = made;
        liveStream.store(made, std::memory_order_release);

        std::uint8_t space[256];
        spa_pod_builder builder{};
        spa_pod_builder_init(&builder, space, sizeof space);
        const spa_pod* formats[] = {stereoFloatFormat(&builder, kMixRate)};
        const auto flags =
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
        const int result = pw.streamConnect(stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, formats, 1);
        if (result < 0) {
            std::snprintf(reason, sizeof reason, "no stream: %s", std::strerror(-result));
            return false;
        }
        return true;
    }

    // With the loop locked: the stream and the connection let go. The
    // stream's thread has left its callback for good once this returns.
    void dropConnection() {
        if (stream != nullptr) {
            spa_hook_remove(&streamListener);
            liveStream.store(nullptr, std::memory_order_release);
            pw.streamDestroy(stream);
            stream = nullptr;
        }
        if (core != nullptr) {
            spa_hook_remove(&coreListener);
            pw.disconnect(core);
            core = nullptr;
        }
    }

    static void onCoreError(void* user, std::uint32_t id, int, int result, const char* message) {
        if (id != PW_ID_CORE) {
            return;  // about one object, not the connection
        }
        auto* self = static_cast<PipeWireOutput*>(user);
        std::snprintf(self->reason, sizeof self->reason, "%s",
                      message != nullptr && *message != '\0' ? message : std::strerror(-result));
        self->failed = true;
        self->pw.signal(self->threadLoop, false);
        if (self->opened) {
            self->lose();
        }
    }

    static void onStreamState(void* user, pw_stream_state, pw_stream_state state, const char* error) {
        auto* self = static_cast<PipeWireOutput*>(user);
        if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
            std::snprintf(self->reason, sizeof self->reason, "%s",
                          error != nullptr ? error : "the server ended the stream");
            self->failed = true;
        }
        self->reached = self->reached || state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING;
        self->pw.signal(self->threadLoop, false);
        if (self->opened) {
            self->follow(state);
        }
    }

    // Once open() has its stream: the stream mixes while it runs, the clock
    // otherwise; a stream that fails means the server is lost.
    void follow(pw_stream_state state) {
        if (failed) {
            lose();
            return;
        }
        if (reached) {
            pw_loop_update_timer(loop, timer, nullptr, nullptr, false);  // no need to give up on this try
        }
        if (state != PW_STREAM_STATE_STREAMING) {
            toClock();
            return;
        }
        if (away.load()) {
            away.store(false);
            tell(OutputEvent::Back, nullptr);
        }
        toStream();
    }

    // The server went away, or a new try to reach it failed.
    void lose() {
        toClock();
        if (!away.load()) {
            away.store(true);
            tell(OutputEvent::Lost, reason);
        }
        retryIn(kRetrySeconds);
    }

    // The clock mixes from here on, the stream no more.
    void toClock() {
        if (fallback == nullptr) {
            handover.toClock();
            fallback = openSilentOutput(system);
        }
    }

    // The stream mixes from its next callback on, from where the clock stood.
    void toStream() {
        fallback.reset();
        handover.toStream();
    }

    void tell(OutputEvent event, const char* why) {
        char detail[sizeof reason + 512];
        std::snprintf(detail, sizeof detail, "PipeWire server %s%s%s", socket.c_str(), why != nullptr ? ": " : "",
                      why != nullptr ? why : "");
        impl(system)->tellOutput(event, detail);
    }

    // A new try at the server `seconds` from now, in place of any earlier.
    void retryIn(int seconds) {
        timespec when{};
        when.tv_sec = seconds;
        pw_loop_update_timer(loop, timer, &when, nullptr, false);
    }

    // In the loop's thread, so that neither the game nor the clock waits for
    // the server.
    static void onTimer(void* user, std::uint64_t) {
        auto* self = static_cast<PipeWireOutput*>(user);
        self->dropConnection();
        if (self->connect()) {
            self->retryIn(kGiveUpSeconds);
        } else {
            self->lose();
        }
    }

    // PipeWire wants the next cycle's frames: as many as the graph asks
    // for, mixed straight into its buffer.
    static void onProcess(void* user) {
        auto* self = static_cast<PipeWireOutput*>(user);
        pw_stream* stream = self->liveStream.load(std::memory_order_acquire);
        if (stream == nullptr) {
            return;
        }
        if (!self->raised) {
            self->raised = true;
            self->raiseUnlessRealTime();
        }
        pw_buffer* buffer = self->pw.dequeue(stream);
        if (buffer == nullptr) {
            return;
        }
        spa_data& data = buffer->buffer->datas[0];
        auto* out = static_cast<float*>(data.data);
        if (out != nullptr) {
            std::uint32_t frames = data.maxsize / kFrameBytes;
            if (buffer->requested != 0) {
                frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, buffer->requested));
            }
            if (self->handover.enter()) {
                self->system->mix(out, static_cast<int>(frames));
                self->handover.leave();
            } else {
                std::memset(out, 0, frames * kFrameBytes);
            }
            data.chunk->offset = 0;
            data.chunk->stride = kFrameBytes;
            data.chunk->size = frames * kFrameBytes;
            buffer->size = frames;
        }
        self->pw.queue(stream, buffer);
    }

    // PipeWire gives the stream's thread real-time priority itself where it
    // can; where it could not, the thread gets the mixing threads' own.
    static void raiseUnlessRealTime() {
        const int policy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
        if (policy != SCHED_FIFO && policy != SCHED_RR) {
            raiseMixingThread();
        }
    }

    const PipeWireApi& pw;
    const std::string socket;  // for the log
    System* system = nullptr;
    pw_thread_loop* threadLoop = nullptr;
    pw_loop* loop = nullptr;
    pw_context* context = nullptr;
    MixHandover handover;
    std::atomic<pw_stream*> liveStream{nullptr};  // read by the stream's thread
    bool raised = false;                          // stream's thread only
    // The rest with the loop locked.
    pw_core* core = nullptr;
    spa_hook coreListener{};
    pw_stream* stream = nullptr;
    spa_hook streamListener{};
    spa_source* timer = nullptr;
    bool opened = false;
    bool reached = false;  // this try's stream is at the server
    bool failed = false;   // this try's connection or stream failed
    char reason[256] = {};
    std::unique_ptr<Output> fallback;  // the clock that mixes while the stream does not
    std::atomic<bool> away{false};     // read by name() on the game's thread
};

}  // namespace

std::unique_ptr<Output> openPipeWireOutput(System* system) {
    std::string socket = serverSocket();
    struct stat found {};
    if (socket.empty() || stat(socket.c_str(), &found) != 0 || !S_ISSOCK(found.st_mode)) {
        return nullptr;
    }
    const PipeWireApi* api = pipewireApi();
    if (api == nullptr) {
        return nullptr;
    }
    auto output = std::make_unique<PipeWireOutput>(*api, std::move(socket));
    if (!output->open(system)) {
        return nullptr;
    }
    return output;
}

}  // namespace snd
