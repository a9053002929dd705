#include "tests/e2e/pictures.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace e2e {

std::filesystem::path artefacts() {
    const std::filesystem::path folder = std::filesystem::path(REDAVAVE_BINARY_DIR) / "test-artefacts" / "e2e";
    std::filesystem::create_directories(folder);
    return folder;
}

bool greenText(Pixel p) { return p[1] > 128 && p[0] < 80 && p[2] < 160; }
bool whiteText(Pixel p) { return p[0] > 150 && p[1] > 150 && p[2] > 150; }
bool veilOverSpace(Pixel p) { return p[0] <= 3 && p[1] <= 3 && p[2] >= 60 && p[2] <= 80; }

Box rowsBox(const Image& image, int from, int to, const std::function<bool(Pixel)>& test) {
    Box box;
    for (int up = std::max(from, 0); up < to && up < image.height; ++up) {
        const int y = image.height - 1 - up;
        for (int x = 0; x < image.width; ++x) {
            if (test(image.at(x, y))) {
                box.bottom = box.empty() ? up : box.bottom;
                box.top = up;
                box.left = box.empty() || x < box.left ? x : box.left;
                box.right = x > box.right ? x : box.right;
            }
        }
    }
    return box;
}

double hudScale(const Image& image) {
    return std::max(1.0, std::min(image.height / 1200.0, image.width / 1280.0));
}

int grown(const Image& image, double figure) { return static_cast<int>(std::lround(figure * hudScale(image))); }

double veilShare(const Image& image) {
    long veil = 0, all = 0;
    for (int y = 0; y < image.height - grown(image, 100); y += 2) {
        for (int x = 0; x < image.width; x += 2) {
            veil += veilOverSpace(image.at(x, y)) ? 1 : 0;
            ++all;
        }
    }
    return all == 0 ? 0.0 : static_cast<double>(veil) / static_cast<double>(all);
}

Box selectedSongRow(const Image& image) {
    return rowsBox(image, image.height / 2 + grown(image, 15), image.height / 2 + grown(image, 45), whiteText);
}

Box scoreRow(const Image& image) {
    return rowsBox(image, image.height / 2 + grown(image, 100), image.height / 2 + grown(image, 145), greenText);
}

bool inScoreMenu(const Image& image) { return !scoreRow(image).empty() && veilShare(image) > 0.3; }

bool playing(const Image& image) { return scoreRow(image).empty() && veilShare(image) < 0.02; }

bool showsSelectedName(const Image& image, int cells) {
    constexpr int kPrefixCells = 10;
    const double cell = 20.0 * hudScale(image);
    const int lineEnd = grown(image, 40) + static_cast<int>((kPrefixCells + cells) * cell);
    const Box line = selectedSongRow(image);
    return !line.empty() && line.right < lineEnd && line.right >= lineEnd - static_cast<int>(cell) + 4;
}

Image waitForPicture(GameProcess& game, const std::string& name, double seconds,
                     const std::function<bool(const Image&)>& wanted) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    Image image;
    do {
        image = game.screenshot();
        if (!image.rgb.empty() && wanted(image)) {
            break;
        }
        sleepFor(0.05);
    } while (game.running() && std::chrono::steady_clock::now() < deadline);
    if (!image.rgb.empty()) {
        game.keepLastScreenshot(artefacts() / (name + ".png"));
    }
    return image;
}

void sleepFor(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

}  // namespace e2e
