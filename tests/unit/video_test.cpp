// Video inputs' pure logic: ffmpeg's command lines, its log lines and ffprobe's answer.
#include "inputs/messages.h"
#include "inputs/video/decoding_child.h"
#include "inputs/video/video_names.h"
#include "inputs/video/video_probe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

std::string joined(const std::vector<std::string> &words) {
    std::string line;
    for (const std::string &word : words)
        line += (line.empty() ? "" : " ") + word;
    return line;
}

TEST(Video, DecodeCommandLines) {
    const std::string common = "ff -nostdin -hide_banner -nostats -loglevel level+info ";
    const std::string output = " -fps_mode passthrough -f rawvideo -flush_packets 1 pipe:1";
    DecodeRequest file;
    file.ffmpeg = "ff";
    file.input = "a b.mp4";
    EXPECT_EQ(joined(decodeArguments(file)), common +
                                                 "-copyts -i file:a b.mp4 -map 0:v:0 -vf "
                                                 "showinfo=checksum=0,vflip,format=rgba" +
                                                 output);
    file.seek = 3.5;
    file.keepFrom = 3.25;
    EXPECT_EQ(joined(decodeArguments(file)),
              common +
                  "-noaccurate_seek -ss 3.500000 -copyts -i file:a b.mp4 -map 0:v:0 -vf "
                  "select='gte(t,3.250000)',showinfo=checksum=0,vflip,format=rgba" +
                  output);
    DecodeRequest camera{"ff", "/dev/video0", true, "v4l2", "640x480", false, 9.0, 9.0};
    EXPECT_EQ(joined(decodeArguments(camera)),
              common +
                  "-fflags nobuffer -probesize 32 -analyzeduration 0 -f v4l2 -video_size "
                  "640x480 -i /dev/video0 -map 0:v:0 -vf showinfo=checksum=0,format=rgba" +
                  output);
}

TEST(Video, LogLinesAnnounceFramesAndErrors) {
    const std::string info = "[Parsed_showinfo_0 @ 0x55d3eb262880] [info] ";
    LogReading reading;
    FrameHeader header;
    EXPECT_FALSE(
        readLogLine(info + "config in time_base: 1/15360, frame_rate: 30/1", reading, header));
    // (line, announces a frame, its time, width, height): a time far from 0
    // keeps its precision, and a frame without one keeps the last.
    const std::tuple<std::string, bool, double, int, int> cases[] = {
        {"n:   3 pts:   1536 pts_time:0.1  pos: 48 fmt:yuv420p sar:1/1 s:320x240 i:P iskey:1 ",
         true, 0.1, 320, 240},
        {"n:9 pts:15360000512 pts_time:1e+06 fmt:rgba s:7x5 type:P", true, 1e6 + 1.0 / 30, 7, 5},
        {"n:  10 pts:NOPTS pts_time:NOPTS fmt:rgba s:8x6 ", true, 1e6 + 1.0 / 30, 8, 6},
        {"  side data - User Data Unregistered:", false, 0, 0, 0},
        {"color_range:unknown color_space:unknown s:1x1", false, 0, 0, 0},
    };
    for (const auto &[line, frame, time, width, height] : cases) {
        header = FrameHeader{};
        EXPECT_EQ(readLogLine(info + line, reading, header), frame) << line;
        EXPECT_NEAR(header.time, time, 1e-9) << line;
        EXPECT_EQ(header.size, glm::ivec2(width, height)) << line;
    }
    EXPECT_FALSE(readLogLine("[mov,mp4 @ 0x1] [error] moov atom not found", reading, header));
    EXPECT_EQ(reading.lastError, "moov atom not found");
    EXPECT_FALSE(readLogLine("[fatal] Stream map '0:v:0' matches no streams.", reading, header));
    EXPECT_EQ(reading.lastError, "Stream map '0:v:0' matches no streams.");
    EXPECT_FALSE(readLogLine("[warning] Past duration too large", reading, header));
    EXPECT_EQ(reading.lastError, "Stream map '0:v:0' matches no streams.");
}

TEST(Video, ProbeTakesTheStreamsLengthElseTheFiles) {
    VideoProbe probe;
    EXPECT_EQ(readProbe("streams.stream.0.width=64\nstreams.stream.0.height=48\n"
                        "streams.stream.0.start_time=\"0.100000\"\n"
                        "streams.stream.0.duration=\"2.000000\"\nformat.start_time=\"0.0\"\n"
                        "format.duration=\"2.5\"\n",
                        probe),
              "");
    EXPECT_EQ(probe.size, glm::ivec2(64, 48));
    EXPECT_EQ(probe.start, 0.1);
    EXPECT_EQ(probe.duration, 2.0);
    EXPECT_EQ(readProbe("streams.stream.0.width=8\nstreams.stream.0.height=6\n"
                        "streams.stream.0.start_time=\"0.000000\"\n"
                        "streams.stream.0.duration=\"N/A\"\nformat.start_time=\"1.4\"\n"
                        "format.duration=\"3.000000\"\n",
                        probe),
              "");
    EXPECT_EQ(probe.start, 1.4);
    EXPECT_EQ(probe.duration, 3.0);
    EXPECT_EQ(readProbe("format.start_time=\"0.0\"\nformat.duration=\"3.0\"\n", probe),
              kNoVideoStream);
}

TEST(Video, NamesThatMeanAVideo) {
    for (const char *video : {"clip.mp4", "a/b.MKV", "c.mov", "d.webm", "e.Avi"})
        EXPECT_TRUE(isVideoFile(video)) << video;
    for (const char *other : {"anim.gif", "mp4", "clip.mp4.png", "webm/x.jpg", ".mp4"})
        EXPECT_FALSE(isVideoFile(other)) << other;
    const std::filesystem::path dev = std::filesystem::path(testing::TempDir()) / "quorlin-dev";
    std::filesystem::remove_all(dev);
    std::filesystem::create_directories(dev);
    EXPECT_EQ(firstCamera(dev.string()), "");
    for (const char *name : {"video10", "videox", "video", "video2", "vbi0", "video-1"})
        std::ofstream(dev / name).put('\n');
    EXPECT_EQ(firstCamera(dev.string()), (dev / "video2").string());
    std::filesystem::remove_all(dev);
}

} // namespace
