// stb_image_write alone, the way a PNG sequence is written: one opaque frame
// encoded FRAMES times, whole files, spread over as many threads as cores.
//   quorlin_png_encode FOLDER FRAMES WIDTH HEIGHT
#include "output/picture.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char **argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s FOLDER FRAMES WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const int frames = std::stoi(argv[2]), width = std::stoi(argv[3]), height = std::stoi(argv[4]);
    // The trivial shader's colour.
    const unsigned char colour[4] = {64, 128, 191, 255};
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = colour[i % 4];
    const int threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    std::vector<std::thread> workers;
    int status = 0;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int frame = t; frame < frames; frame += threads) {
                const std::string path = folder + "/" + std::to_string(frame) + ".png";
                if (!writePicture(pixels.data(), width, height, path).empty())
                    status = 1;
            }
        });
    for (std::thread &worker : workers)
        worker.join();
    return status;
}
