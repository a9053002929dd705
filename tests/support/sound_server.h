#pragma once

// A sound server of a test's own (PulseAudio, or PipeWire with
// pipewire-pulse), which the test may stop and start again at the same
// address, and a stand-in in front of a server that makes it vanish at a
// chosen moment. Linux only.

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace soundserver {

// scripts/sound-server.sh in a temporary folder of its own, stopped and the
// folder removed with the object.
class PrivateServer {
public:
    // `kind` as the script names it: "pulseaudio" or "pipewire".
    explicit PrivateServer(std::string kind = "pulseaudio");
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    // Starts it (again); false when it did not come up.
    bool start();
    // Stops it; its clients see the connection end.
    void stop();
    // PipeWire: stops and starts only pipewire-pulse, the PulseAudio server
    // its clients reach; the graph and the sink stay.
    void stopPulse();
    bool startPulse();
    // PipeWire: stops wireplumber, which links new streams to the sink.
    void stopSessionManager();
    // The address for PULSE_SERVER, the same across restarts.
    const std::string& address() const { return address_; }
    // PipeWire: its own socket, for PIPEWIRE_REMOTE; the same across restarts.
    const std::string& remote() const { return remote_; }

private:
    std::string kind_;
    std::string dir_;
    std::string address_;
    std::string remote_;
};

// How each playback stream of `application` on the PipeWire server at
// `remote` reaches it: "pipewire" for PipeWire's own API, else the client
// API the server names ("pipewire-pulse" for a PulseAudio client). Empty
// when it has none, or the server does not answer.
std::vector<std::string> playbackStreamApis(const std::string& remote, const std::string& application);

// Takes connections at a socket and never answers them: a server that hangs.
class MuteServer {
public:
    // Listens at `address` (unix:PATH), in place of whatever socket is there.
    explicit MuteServer(const std::string& address);
    ~MuteServer();  // the socket goes too, and with it the connections it held
    MuteServer(const MuteServer&) = delete;
    MuteServer& operator=(const MuteServer&) = delete;
    bool listening() const { return listener_ >= 0; }
    // Frees the address for another server; the connections taken so far
    // go on hanging.
    void stepAside();

private:
    std::string path_;
    int listener_ = -1;
};

// Listens at a socket of its own and passes each connection on to a real
// server, byte for byte, except the first one: once its playback stream has
// been created, the server's answer is passed on with no request for sound
// in it and whatever the server says after it is held back, so the client
// has a ready stream that the server has not yet asked to play. cut() then
// ends that connection: the server is gone before its first request.
class PulseProxy {
public:
    explicit PulseProxy(const std::string& server);
    ~PulseProxy();
    PulseProxy(const PulseProxy&) = delete;
    PulseProxy& operator=(const PulseProxy&) = delete;

    bool listening() const { return listener_ >= 0; }
    // unix:SOCKET, for PULSE_SERVER.
    std::string address() const { return "unix:" + socketPath_; }
    // For PULSE_CLIENTCONFIG: a client that sends all through the socket.
    // Shared memory would come with file descriptors on the side, which
    // the stand-in does not pass on.
    std::string clientConfig() const { return dir_ + "/client.conf"; }
    // Waits until the first connection's stream is ready; false on time-out.
    bool waitForStreamReady(double seconds);
    // Ends the first connection, at both ends.
    void cut();
    // Connections accepted so far.
    int connections() const { return accepted_.load(); }

private:
    struct Link {
        int client = -1;
        int server = -1;
        bool held = false;               // the first connection
        std::vector<unsigned char> up;   // client to server, not yet parsed
        std::vector<unsigned char> down; // server to client, not yet parsed
        unsigned createTag = 0;
        bool createSeen = false;
        bool ready = false;              // the stream's answer went through; the rest is held back
    };
    void run();
    void accept();
    // Passes `data` from one end of `link` to the other; false when the link is over.
    bool pass(Link& link, bool fromClient);
    void closeLink(Link& link);

    std::string server_;
    std::string dir_;
    std::string socketPath_;
    int listener_ = -1;
    std::atomic<bool> quit_{false};
    std::atomic<int> accepted_{0};
    std::mutex mutex_;
    std::condition_variable readyChanged_;
    bool streamReady_ = false;
    int heldClient_ = -1;
    int heldServer_ = -1;
    std::vector<Link> links_;  // proxy thread only
    std::thread thread_;
};

}  // namespace soundserver
