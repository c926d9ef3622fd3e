// Names that mean a video: the file extensions that --texture plays, and the
// camera a set asks for by "camera".
#pragma once

#include <string>

// mp4, mkv, mov, webm or avi, in any case; a GIF stays a picture.
bool isVideoFile(const std::string &path);

inline const std::string kCamera = "camera";

// The first /dev/video* device in numeric order (video2 before video10);
// empty when there is none.
std::string firstCamera(const std::string &devices = "/dev");
