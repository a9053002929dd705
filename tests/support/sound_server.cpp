#include "tests/support/sound_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "tests/support/temp_resources.h"

namespace soundserver {

namespace {

// The script's output: the server's address, or nothing when it failed.
std::string script(const std::string& command, const std::string& dir, const std::string& kind = {}) {
    const std::string line =
        "bash '" REDAVAVE_SOURCE_DIR "/scripts/sound-server.sh' " + command + " '" + dir + "' " + kind;
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        out += buffer;
    }
    const int status = pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return status == 0 ? out : std::string();
}

int connectTo(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// A socket listening at `path`; -1 when it cannot be made.
int listenAt(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    unlink(path.c_str());
    if (fd >= 0 && (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string pathOf(const std::string& server) { return server.rfind("unix:", 0) == 0 ? server.substr(5) : server; }

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t wrote = send(fd, data, size, MSG_NOSIGNAL);
        if (wrote <= 0) {
            return false;
        }
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return true;
}

std::uint32_t bigEndian(const unsigned char* at) {
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) | at[3];
}

// The native protocol: each packet is a descriptor of five 32-bit words
// (length, channel, offset twice, flags) and `length` bytes. A command's
// bytes are tagged values and start with the command and its tag, each a
// 'L' and 32 bits; a reply repeats the tag. The answer to "create playback
// stream" goes on with the channel, the stream's index and the bytes the
// server wants first.
constexpr std::size_t kDescriptor = 20;
constexpr std::uint32_t kCommandChannel = 0xffffffffu;
constexpr std::uint32_t kReply = 2;
constexpr std::uint32_t kCreatePlaybackStream = 3;
constexpr std::size_t kMissingAt = 21;  // after 'L' command, 'L' tag, 'L' channel, 'L' index and the 'L' of it

// The command and tag of a command packet's bytes, when it has them.
bool commandOf(const unsigned char* body, std::size_t size, std::uint32_t* command, std::uint32_t* tag) {
    if (size < 10 || body[0] != 'L' || body[5] != 'L') {
        return false;
    }
    *command = bigEndian(body + 1);
    *tag = bigEndian(body + 6);
    return true;
}

}  // namespace

PrivateServer::PrivateServer(std::string kind)
    : kind_(std::move(kind)), dir_(testworld::makeTempFolder("sound").string()) {}

PrivateServer::~PrivateServer() {
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

bool PrivateServer::start() {
    address_ = script("start", dir_, kind_);
    if (kind_ == "pipewire" && !address_.empty()) {
        remote_ = script("remote", dir_);
        return !remote_.empty();
    }
    return !address_.empty();
}

void PrivateServer::stop() { script("stop", dir_); }

void PrivateServer::stopPulse() { script("stop-pulse", dir_); }

bool PrivateServer::startPulse() { return script("start-pulse", dir_) == address_ && !address_.empty(); }

void PrivateServer::stopSessionManager() { script("stop-session", dir_); }

std::vector<std::string> playbackStreamApis(const std::string& remote, const std::string& application) {
    std::vector<std::string> apis;
    FILE* pipe = popen(("PIPEWIRE_REMOTE='" + remote + "' pw-dump 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return apis;
    }
    // pw-dump writes an array of objects, one property a line; each object
    // opens with "  {" and closes with "  }".
    std::string object;
    char line[1024];
    auto has = [&object](const std::string& text) { return object.find(text) != std::string::npos; };
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        object += line;
        if (std::strncmp(line, "  }", 3) != 0) {
            continue;
        }
        if (has("\"type\": \"PipeWire:Interface:Node\"") && has("\"media.class\": \"Stream/Output/Audio\"") &&
            has("\"application.name\": \"" + application + "\"")) {
            const std::string key = "\"client.api\": \"";
            const std::size_t at = object.find(key);
            apis.push_back(at == std::string::npos
                               ? "pipewire"
                               : object.substr(at + key.size(), object.find('"', at + key.size()) - at - key.size()));
        }
        object.clear();
    }
    pclose(pipe);
    return apis;
}

MuteServer::MuteServer(const std::string& address) : path_(pathOf(address)), listener_(listenAt(path_)) {}

MuteServer::~MuteServer() {
    if (listener_ >= 0) {
        close(listener_);
    }
    stepAside();
}

void MuteServer::stepAside() {
    if (!path_.empty()) {
        unlink(path_.c_str());
        path_.clear();
    }
}

PulseProxy::PulseProxy(const std::string& server)
    : server_(pathOf(server)),
      dir_(testworld::makeTempFolder("proxy").string()),
      socketPath_(dir_ + "/native") {
    if (FILE* config = std::fopen(clientConfig().c_str(), "w")) {
        std::fputs("autospawn = no\nenable-shm = no\nenable-memfd = no\n", config);
        std::fclose(config);
    }
    listener_ = listenAt(socketPath_);
    if (listener_ >= 0) {
        thread_ = std::thread([this] { run(); });
    }
}

PulseProxy::~PulseProxy() {
    quit_.store(true);
    if (thread_.joinable()) {
        thread_.join();
    }
    for (Link& link : links_) {
        closeLink(link);
    }
    if (listener_ >= 0) {
        close(listener_);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

bool PulseProxy::waitForStreamReady(double seconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    return readyChanged_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return streamReady_; });
}

void PulseProxy::cut() {
    std::lock_guard<std::mutex> lock(mutex_);
    // The proxy's thread sees both ends over and closes them.
    if (heldClient_ >= 0) {
        shutdown(heldClient_, SHUT_RDWR);
    }
    if (heldServer_ >= 0) {
        shutdown(heldServer_, SHUT_RDWR);
    }
}

void PulseProxy::run() {
    while (!quit_.load()) {
        std::vector<pollfd> watched{{listener_, POLLIN, 0}};
        for (const Link& link : links_) {
            watched.push_back({link.client, POLLIN, 0});
            watched.push_back({link.server, POLLIN, 0});
        }
        if (poll(watched.data(), watched.size(), 20) <= 0) {
            continue;
        }
        for (std::size_t i = 0; i < links_.size(); ++i) {
            Link& link = links_[i];
            const pollfd& client = watched[1 + 2 * i];
            const pollfd& server = watched[2 + 2 * i];
            if (link.client < 0) {
                continue;
            }
            if (((client.revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !pass(link, true)) ||
                ((server.revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !pass(link, false))) {
                closeLink(link);
            }
        }
        if ((watched[0].revents & POLLIN) != 0) {
            accept();
        }
    }
}

void PulseProxy::accept() {
    Link link;
    link.client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (link.client < 0) {
        return;
    }
    link.server = connectTo(server_);
    if (link.server < 0) {
        close(link.client);
        return;
    }
    link.held = accepted_.fetch_add(1) == 0;
    if (link.held) {
        std::lock_guard<std::mutex> lock(mutex_);
        heldClient_ = link.client;
        heldServer_ = link.server;
    }
    links_.push_back(std::move(link));
}

bool PulseProxy::pass(Link& link, bool fromClient) {
    unsigned char buffer[65536];
    const ssize_t got = recv(fromClient ? link.client : link.server, buffer, sizeof buffer, 0);
    if (got <= 0) {
        return false;
    }
    const int to = fromClient ? link.server : link.client;
    if (!link.held) {
        return writeAll(to, buffer, static_cast<std::size_t>(got));
    }
    if (link.ready) {
        // Held back from the client; the client's own words still go on.
        return !fromClient || writeAll(to, buffer, static_cast<std::size_t>(got));
    }
    std::vector<unsigned char>& pending = fromClient ? link.up : link.down;
    pending.insert(pending.end(), buffer, buffer + got);
    // Whole packets go on one by one, so that nothing after the stream's
    // answer reaches the client.
    std::size_t at = 0;
    while (pending.size() - at >= kDescriptor) {
        const std::uint32_t length = bigEndian(&pending[at]);
        const std::size_t size = kDescriptor + length;
        if (pending.size() - at < size) {
            break;
        }
        unsigned char* body = &pending[at + kDescriptor];
        std::uint32_t command = 0;
        std::uint32_t tag = 0;
        const bool isCommand = bigEndian(&pending[at + 4]) == kCommandChannel && commandOf(body, length, &command, &tag);
        bool answer = false;
        if (isCommand && fromClient && command == kCreatePlaybackStream) {
            link.createSeen = true;
            link.createTag = tag;
        } else if (isCommand && !fromClient && link.createSeen && command == kReply && tag == link.createTag &&
                   length >= kMissingAt + 4 && body[kMissingAt - 1] == 'L') {
            std::memset(body + kMissingAt, 0, 4);
            answer = true;
        }
        if (!writeAll(to, &pending[at], size)) {
            return false;
        }
        at += size;
        if (answer) {
            link.ready = true;
            pending.clear();
            std::lock_guard<std::mutex> lock(mutex_);
            streamReady_ = true;
            readyChanged_.notify_all();
            return true;
        }
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

void PulseProxy::closeLink(Link& link) {
    if (link.held) {
        std::lock_guard<std::mutex> lock(mutex_);
        heldClient_ = heldServer_ = -1;
    }
    if (link.client >= 0) {
        close(link.client);
    }
    if (link.server >= 0) {
        close(link.server);
    }
    link.client = link.server = -1;
}

}  // namespace soundserver
