#include "tests/e2e/game_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

void sleepSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// The C strings of `texts`, ended by a null, as exec takes them; they live as long as `texts`.
std::vector<char*> cStrings(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// PPM (P6, 8 bits) as ImageMagick writes it.
Image readPpm(const std::string& bytes) {
    Image image;
    std::istringstream in(bytes);
    std::string magic;
    int maxValue = 0;
    in >> magic >> image.width >> image.height >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255 || image.width <= 0 || image.height <= 0) {
        return {};
    }
    image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
    if (in.gcount() != static_cast<std::streamsize>(image.rgb.size())) {
        return {};
    }
    return image;
}

}  // namespace

std::string run(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (status != nullptr) {
            *status = -1;
        }
        return output;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    const int result = pclose(pipe);
    if (status != nullptr) {
        *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    }
    return output;
}

namespace {
// The generated tree when it is there; the sound start-up needs its effects either way.
testworld::WorldOptions gameTree() {
    testworld::WorldOptions options;
    options.generatedAssets = std::filesystem::is_directory(std::filesystem::path(REDAVAVE_RUN_DIR) / "resources/Textures");
    options.effects = true;
    options.lockFolder = true;
    return options;
}
}  // namespace

GameFolder::GameFolder() : world_("e2e", gameTree()) {
    if (!world_.ok()) {
        std::fprintf(stderr, "e2e folder: %s\n", world_.error().c_str());
    }
    if (std::getenv("REDAVAVE_KEEP_E2E") != nullptr) {
        world_.keep();
    }
#ifdef REDAVAVE_WINDOWS_GAME_DIR
    // The Windows game makes its own folder its working folder: a copy of it
    // and its DLLs goes into the test's folder.
    for (const auto& entry : std::filesystem::directory_iterator(REDAVAVE_WINDOWS_GAME_DIR)) {
        const std::string extension = entry.path().extension().string();
        if (entry.path().filename() == "redavave.exe" || extension == ".dll") {
            std::filesystem::copy_file(entry.path(), path() / entry.path().filename());
        }
    }
#endif
}

GameFolder::~GameFolder() = default;

void GameFolder::addSong(const std::string& name, double seconds, int frequency) const {
    run("ffmpeg -loglevel error -y -f lavfi -i sine=frequency=" + std::to_string(frequency) +
        ":duration=" + std::to_string(seconds) + " " + quote((musicFolder() / name).string()));
}

std::vector<std::string> GameFolder::logLines() const {
    std::vector<std::string> lines;
    std::istringstream in(logText());
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();  // the Windows game's log is a text file of CR LF lines
        }
        lines.push_back(line);
    }
    return lines;
}

bool GameFolder::waitForLogLine(const std::string& line, double seconds) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        for (const std::string& logged : logLines()) {
            if (logged == line) {
                return true;
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        sleepSeconds(0.05);
    }
}

std::string GameFolder::logText() const { return readFile(path() / "log.txt"); }

GameProcess::GameProcess(const GameFolder& folder, const std::vector<std::string>& args, bool withDisplay)
    : folder_(folder) {
    Launch launch;
    launch.withDisplay = withDisplay;
    start(args, launch);
}

GameProcess::GameProcess(const GameFolder& folder, const std::vector<std::string>& args, const Launch& launch)
    : folder_(folder) {
    start(args, launch);
}

void GameProcess::start(const std::vector<std::string>& args, const Launch& launch) {
    const GameFolder& folder = folder_;
    const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    const auto replaced = [&](const std::string& name) {
        for (const std::string& entry : launch.environment) {
            if (nameOf(entry) == name) {
                return true;
            }
        }
        return false;
    };
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string entry = *variable;
        const std::string name = nameOf(entry);
        if (name == "XDG_RUNTIME_DIR" || name == "SDL_AUDIODRIVER" || name == "PULSE_SERVER" ||
            name == "PIPEWIRE_REMOTE" || name == "PIPEWIRE_RUNTIME_DIR" || name == "REDAVAVE_MESSAGE_BOXES" ||
            replaced(name) || (!launch.display.empty() && name == "DISPLAY") ||
            (!launch.withDisplay && (name == "DISPLAY" || name == "WAYLAND_DISPLAY"))) {
            continue;
        }
        environment.push_back(entry);
    }
    environment.push_back("XDG_RUNTIME_DIR=" + folder.lockFolder().string());
    if (launch.soundServer.empty() && launch.pipewireRemote.empty()) {
        environment.push_back("SDL_AUDIODRIVER=dummy");
    }
    if (!launch.soundServer.empty()) {
        environment.push_back("PULSE_SERVER=" + launch.soundServer);
    }
    if (!launch.pipewireRemote.empty()) {
        environment.push_back("PIPEWIRE_REMOTE=" + launch.pipewireRemote);
    }
    if (launch.boxes != nullptr) {
        environment.push_back(std::string("REDAVAVE_MESSAGE_BOXES=") + launch.boxes);
    }
    environment.insert(environment.end(), launch.environment.begin(), launch.environment.end());
    display_ = launch.display;
    if (!display_.empty()) {
        environment.push_back("DISPLAY=" + display_);
    }

    std::vector<char*> envp = cStrings(environment);

    std::vector<std::string> argvStrings;
    if (!launch.program.empty()) {
        argvStrings = {launch.program};
    } else {
#ifdef REDAVAVE_GAME_LAUNCHER
        // The launcher (wine) runs the game's copy in the test's folder.
        argvStrings = {REDAVAVE_GAME_LAUNCHER, (folder.path() / "redavave.exe").string()};
#else
        argvStrings = {REDAVAVE_GAME_BINARY};
#endif
    }
    const std::string program = argvStrings.front();
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<char*> argv = cStrings(argvStrings);

    // Numbered by start, so two copies in one folder keep their own output.
    static int started = 0;
    ++started;
    const std::string out = (folder.path() / ("stdout-" + std::to_string(started) + ".txt")).string();
    const std::string err = (folder.path() / ("stderr-" + std::to_string(started) + ".txt")).string();
    outPath_ = out;
    errPath_ = err;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // The game's working folder is the test folder unless the launch names another.
    const std::filesystem::path workingFolder = launch.workingFolder.empty() ? folder.path() : launch.workingFolder;
    posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

GameProcess::~GameProcess() {
    if (pid_ > 0 && running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool GameProcess::running() {
    if (pid_ <= 0) {
        return false;
    }
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        pid_ = -1;
        return false;
    }
    return true;
}

int GameProcess::waitForExit(double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return -1;
        }
        sleepSeconds(0.05);
    }
    return exitCode_;
}

unsigned long GameProcess::waitForWindow(double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (window_ == 0 && running() && std::chrono::steady_clock::now() < deadline) {
        const std::string found =
            onDisplay("xdotool search --onlyvisible --pid " + std::to_string(pid_) + " --name 'Redavave 1.3' 2>/dev/null");
        window_ = std::strtoul(found.c_str(), nullptr, 10);
        if (window_ == 0) {
            sleepSeconds(0.1);
        }
    }
    return window_;
}

bool GameProcess::focus() {
    if (window_ == 0) {
        return false;
    }
    int status = 0;
    onDisplay("xdotool windowfocus --sync " + std::to_string(window_) + " 2>&1", &status);
    return status == 0;
}

bool GameProcess::key(const std::vector<std::string>& keys) {
    if (window_ == 0) {
        return false;
    }
    int status = focus() ? 0 : 1;
    for (const std::string& name : keys) {
        int keyStatus = 0;
        onDisplay("xdotool key --delay 30 " + quote(name) + " 2>&1", &keyStatus);
        status |= keyStatus;
    }
    return status == 0;
}

Image captureWindow(unsigned long window, const std::filesystem::path& file) {
    int status = 0;
    run("import -depth 8 -window " + std::to_string(window) + " " + quote("ppm:" + file.string()) + " 2>&1", &status);
    return status == 0 ? readPpm(readFile(file)) : Image{};
}

Image GameProcess::screenshot(const std::filesystem::path& keepAs) {
    // The window of a game that has ended may linger (wine's does), and
    // import waits on it for good.
    if (window_ == 0 || !running()) {
        return {};
    }
    const std::filesystem::path file = folder_.path() / "screenshot.ppm";
    int status = 0;
    onDisplay("import -depth 8 -window " + std::to_string(window_) + " " + quote("ppm:" + file.string()) + " 2>&1",
              &status);
    if (status != 0) {
        return {};
    }
    if (!keepAs.empty()) {
        keepLastScreenshot(keepAs);
    }
    return readPpm(readFile(file));
}

void GameProcess::keepLastScreenshot(const std::filesystem::path& keepAs) const {
    std::filesystem::create_directories(keepAs.parent_path());
    run("convert " + quote((folder_.path() / "screenshot.ppm").string()) + " " + quote(keepAs.string()));
}

std::string GameProcess::onDisplay(const std::string& command, int* status) const {
    return run(display_.empty() ? command : "DISPLAY=" + quote(display_) + " " + command, status);
}

VirtualScreen::VirtualScreen(int width, int height) {
    // Xvfb writes the number it took to this pipe once it is ready for clients.
    int ready[2] = {-1, -1};
    if (pipe(ready) != 0) {
        error_ = "no pipe for Xvfb";
        return;
    }
    const std::string fd = std::to_string(ready[1]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> argvText = {"Xvfb", "-displayfd", fd, "-screen", "0", screen, "-nolisten", "tcp",
                                         "-noreset"};
    std::vector<char*> argv = cStrings(argvText);
    // Its output is of no use here; only its pipe end stays open in it.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int stream : {0, 1, 2}) {
        posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", stream == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    if (spawned != 0) {
        pid_ = -1;
        close(ready[0]);
        error_ = "Xvfb cannot be started";
        return;
    }
    std::string number;
    char c = 0;
    while (read(ready[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(ready[0]);
    if (number.empty()) {
        error_ = "Xvfb did not start a " + screen + " screen";
        return;
    }
    display_ = ":" + number;
}

VirtualScreen::~VirtualScreen() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string GameProcess::standardError() const { return readFile(errPath_); }
std::string GameProcess::standardOutput() const { return readFile(outPath_); }

}  // namespace e2e
